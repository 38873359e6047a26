#pragma once

#include <QImage>
#include <QString>

#include "codec/RowSource.h"

// PNG straight through libpng, with the settings and chunks the toolkit's
// writer uses (IHDR, the ICC profile under its description, the resolution,
// the picture's text keys, IDAT at the zlib level its quality selects): the
// toolkit writer's file byte for byte, without loading the toolkit's image
// plug-ins and, for writeRows(), without the picture ever being whole in
// memory.
//
// Pure functions; safe from any thread.
namespace PngWriter {

// Whether write() takes image: 32-bit pictures with or without alpha. The
// toolkit's writer keeps the others' own layouts (palettes, grey, 16 bits).
bool takes(const QImage &image);

// Writes image to path (created or truncated) at quality (0..100, as the
// toolkit's writer reads it: 100 stores, 0 compresses hardest; -1 is zlib's
// default). Every write and the close are checked; on failure the file is
// removed and *error, when given, holds the reason.
bool write(const QImage &image, int quality, const QString &path, QString *error = nullptr);

// Writes an opaque picture of size whose rows come from next, a block at a
// time from the top, with metadata's resolution, text keys and colour space
// (a frame of any size): the same bytes as write() of the whole RGB32
// picture. On failure the file is removed and *error says why;
// *sourceFailed (when given) tells whether next gave up rather than the
// writing.
bool writeRows(const QSize &size, const QImage &metadata, int quality, const RowSource &next,
    const QString &path, QString *error = nullptr, bool *sourceFailed = nullptr);

} // namespace PngWriter
