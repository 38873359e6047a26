#pragma once

#include <QImage>
#include <QString>

#include "codec/RowSource.h"

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

// Writes an opaque picture of size that is never whole in memory: its rows
// come from next, a strip at a time, and metadata (a frame of any size, such
// as JpegReader::RowReader's) gives the resolution and colour space. The same
// bytes as write() of the whole RGB32 picture. On failure the file is removed
// and *error says why; *sourceFailed (when given) tells whether next gave up
// rather than the writing.
bool writeRows(const QSize &size, const QImage &metadata, const RowSource &next,
    const QString &path, QString *error = nullptr, bool *sourceFailed = nullptr);

} // namespace TiffWriter
