#pragma once

#include <QImage>
#include <QString>

// Uncompressed TIFF straight through libtiff: contiguous 8-bit samples in
// strips of about 256 KB, each strip converted from the frame's rows in one
// pass (BGRX to RGB, BGRA to RGBA) with no copy of the picture. Opaque RGB32
// pictures get three samples; ARGB32 keeps unassociated alpha and
// ARGB32_Premultiplied associated alpha, as the toolkit's writer stores them.
// The resolution and the ICC profile are written as tags.
//
// Pure function; safe from any thread.
namespace TiffWriter {

// Writes image to path (created or truncated). Every write and the close are
// checked; on failure the file is removed and *error, when given, holds the
// reason ("no space left on the device").
bool write(const QImage &image, const QString &path, QString *error = nullptr);

} // namespace TiffWriter
