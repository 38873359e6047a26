#pragma once

#include <QImage>
#include <QString>

#include "codec/RowSource.h"

// Uncompressed BMP straight to the file: 24 bits a pixel, rows bottom-up, as
// the toolkit's writer stores 32-bit pictures (alpha is not kept; callers put
// transparent pictures on white first). The file is the toolkit writer's
// byte for byte, without loading the toolkit's image plug-ins and, for
// writeRows(), without the picture ever being whole in memory: each block
// of rows goes to its place in the file as it comes.
//
// Pure functions; safe from any thread.
namespace BmpWriter {

// Whether write() takes image: 32-bit pictures and those the toolkit's
// writer turns into them (anything but 1 and 8-bit ones, which it stores
// with a palette).
bool takes(const QImage &image);

// Writes image to path (created or truncated). Every write and the close
// are checked; on failure the file is removed and *error, when given, holds
// the reason ("no space left on the device").
bool write(const QImage &image, const QString &path, QString *error = nullptr);

// Writes an opaque picture of size whose rows come from next, a block at a
// time from the top, with metadata's resolution (a frame of any size): the
// same bytes as write() of the whole RGB32 picture. On failure the file is
// removed and *error says why; *sourceFailed (when given) tells whether
// next gave up rather than the writing.
bool writeRows(const QSize &size, const QImage &metadata, const RowSource &next,
    const QString &path, QString *error = nullptr, bool *sourceFailed = nullptr);

} // namespace BmpWriter
