#pragma once

#include <QPair>
#include <QString>
#include <QVector>

#include "codec/OutputFormat.h"

// Reading option values of quorvel-cli. Interface thread, before a run.
namespace CliOptions {

// "jpg, png, bmp, webp or tif", for help and errors.
QString outputFormatChoices();

// Reads --to into *format (case-insensitive, "jpeg" and "tiff" included);
// false with the reason in *error when it is unknown.
bool readOutputFormat(const QString &value, OutputFormat *format, QString *error);

// Whether a file found in a folder is an image the program can read.
bool isImageFile(const QString &path);

// A whole decimal number within [min, max].
bool readInt(const QString &text, int min, int max, int *value);

// Files that share a base name, in row order, as the batch tools group them:
// one group goes to one worker, so that their outputs get distinct names in
// list order.
QVector<QVector<QPair<QString, int>>> groupByBaseName(const QVector<QPair<QString, int>> &files);

} // namespace CliOptions
