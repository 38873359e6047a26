#pragma once

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

// Grouping of a batch run's files by base name, shared by the batch tools.
namespace BatchNaming {

// File name without its last extension ("a.b.heic" -> "a.b"; "README" stays).
QString baseName(const QString &path);

// Groups of (path, row) sharing a base name (case-sensitive), each in list
// order, the groups ordered by their first file.
QVector<QVector<QPair<QString, int>>> groupByBaseName(const QStringList &files);

} // namespace BatchNaming
