#pragma once

#include <QImage>
#include <QString>

#include "codec/KImageWrapper.h"
#include "codec/OutputFormat.h"

// The shared steps of the batch tools around their pixel work, on the calling
// worker thread: the first frame of a source, and writing a result.
namespace BatchOutput {

// Frame 0 of path decoded by a wrapper of this call alone; null on failure,
// with the decoder's reason in error. With a size request (see
// KImageWrapper::setSizeRequest) the frame may come out smaller than the
// picture, but never smaller than the request.
QImage firstFrame(const QString &path, QString *error = nullptr,
    const KImageWrapper::SizeRequest &sizeRequest = KImageWrapper::SizeRequest());

// Writes image for source path in outputFormat into runFolder under a
// reserved free name (flattened onto white for formats without alpha). The
// written path, or empty (with why in error): then nothing is left in the folder.
QString write(const QImage &image, const QString &runFolder, const QString &path,
    OutputFormat outputFormat, QString *error = nullptr);

// Writes encoded bytes that are already the output (a losslessly turned JPEG)
// for source path as extension ext into runFolder, with the same naming and
// the same guarantees as write().
QString writeBytes(const QByteArray &bytes, const QString &runFolder, const QString &path,
    const QString &ext, QString *error = nullptr);

} // namespace BatchOutput
