#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

// JPEG decoding straight into the frame's own buffer through libjpeg-turbo:
// the library writes BGRX pixels into the rows of an RGB32 image, so there
// is no row buffer and no converted copy. The result is what the toolkit's
// reader gives for the same bytes (same IDCT, same upsampling): upright from
// the EXIF orientation, the ICC profile as its colour space, the JFIF density
// and the comment markers as text keys.
//
// With a minimum size, the picture is decoded at the smallest of libjpeg's
// scales (1/8 .. 8/8) that still covers it, which costs a fraction of a full
// decode; the caller scales the rest of the way.
//
// Pure functions over bytes; safe from any thread.
namespace JpegReader {

enum class Result {
    Decoded,
    // A JPEG this reader leaves to the toolkit (CMYK and YCCK); nothing done.
    Unsupported,
    // Not a JPEG, or the library gave up on it (corrupt data, too large).
    Failed
};

struct Header
{
    QSize size; // as stored, before the orientation is applied
    int orientation = 0; // EXIF orientation 1..8, 0 when there is none
    int components = 0;
    bool supported = false; // false for CMYK and YCCK
    // The size after the orientation is applied.
    QSize uprightSize() const { return orientation >= 5 ? size.transposed() : size; }
};

bool isJpeg(const QByteArray &bytes);

// The header facts, without decoding any pixel. False when bytes are not a
// readable JPEG header.
bool readHeader(const QByteArray &bytes, Header *header);

// Decodes bytes into *image (RGB32). minimum is in upright coordinates; an
// invalid size decodes at full size. maxPixels bounds the decoded size.
Result read(
    const QByteArray &bytes, QImage *image, const QSize &minimum = QSize(), qint64 maxPixels = 0);

} // namespace JpegReader
