#pragma once

#include <QImage>
#include <QString>

// The shared steps of the batch tools around their pixel work, on the calling
// worker thread: the first frame of a source, and writing a result.
namespace BatchOutput {

// Frame 0 of path decoded by a wrapper of this call alone; null on failure,
// with the decoder's reason in error.
QImage firstFrame(const QString &path, QString *error = nullptr);

// Writes image for source path in output format index into runFolder under a
// reserved free name (flattened onto white for formats without alpha). The
// written path, or empty (with why in error): then nothing is left in the folder.
QString write(const QImage &image, const QString &runFolder, const QString &path, int outputFormat,
    QString *error = nullptr);

} // namespace BatchOutput
