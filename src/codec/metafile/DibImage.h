#pragma once

#include <QImage>

// Device-independent bitmaps as metafiles embed them (BITMAPINFO header,
// colour table, pixel rows), turned into toolkit images. Every count and
// offset is checked against the bytes available and the pixel cap before
// anything is allocated. Pure functions; any thread.
namespace DibImage {

// header points at the BITMAPINFO (or BITMAPCOREINFO) of headerSize bytes,
// bits at the pixel data of bitsSize bytes. withAlpha keeps the fourth byte
// of 32-bit pixels as premultiplied alpha (AlphaBlend); otherwise such
// pixels are opaque. Run-length encoded bitmaps (BI_RLE8, BI_RLE4) come
// back with the pixels their runs skip transparent. Returns a null image
// for anything malformed, for compressions other than none, RLE8, RLE4, bit
// fields, JPEG and PNG, and for palette index bitmaps (their colours live in
// the player's palette).
QImage decode(const uchar *header, qint64 headerSize, const uchar *bits, qint64 bitsSize,
    bool withAlpha = false);

// A packed DIB: header, colour table and bits in one block (WMF records).
QImage decodePacked(const uchar *dib, qint64 size);

} // namespace DibImage
