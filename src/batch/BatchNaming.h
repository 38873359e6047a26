#pragma once

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

// Grouping of a batch run's files by base name, shared by the batch tools.
namespace BatchNaming {

// File name without its last extension ("a.b.heic" -> "a.b"; "README" stays).
QString baseName(const QString &path);

// The name to hand to the unique-name rule for an output of path in format
// ext: the base name plus ".ext", so that the rule's own suffix stripping
// keeps dots inside the base name ("holiday.v2.jpg" -> "holiday.v2.png").
QString outputName(const QString &path, const QString &ext);

// Groups of (path, row) sharing a base name (case-sensitive), each in list
// order, the groups ordered by their first file.
QVector<QVector<QPair<QString, int>>> groupByBaseName(const QStringList &files);

} // namespace BatchNaming
