#include "DibImage.h"

#include <QBuffer>
#include <QImageReader>

#include "codec/ImageLimits.h"

namespace DibImage {

namespace {

quint16 le16(const uchar *p) { return quint16(p[0] | (p[1] << 8)); }

quint32 le32(const uchar *p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

struct Header
{
    qint64 headerBytes = 0;
    qint64 width = 0;
    qint64 height = 0; // negative: rows run top-down
    int bitCount = 0;
    quint32 compression = 0;
    qint64 colorsUsed = 0;
    bool core = false; // BITMAPCOREHEADER: 3-byte colour entries
    quint32 masks[4] = { 0, 0, 0, 0 };
    bool hasMasks = false;
};

bool readHeader(const uchar *data, qint64 size, Header *h)
{
    if (size < 4)
        return false;
    h->headerBytes = le32(data);
    if (h->headerBytes == 12) {
        if (size < 12)
            return false;
        h->core = true;
        h->width = le16(data + 4);
        h->height = le16(data + 6);
        h->bitCount = le16(data + 10);
        return true;
    }
    if (h->headerBytes < 40 || h->headerBytes > size)
        return false;
    h->width = qint32(le32(data + 4));
    h->height = qint32(le32(data + 8));
    h->bitCount = le16(data + 14);
    h->compression = le32(data + 16);
    h->colorsUsed = le32(data + 32);
    if (h->headerBytes >= 56) {
        // V2 and later headers carry the masks themselves.
        for (int i = 0; i < 4; ++i)
            h->masks[i] = le32(data + 40 + 4 * i);
        h->hasMasks = true;
    }
    return true;
}

int shiftOf(quint32 mask)
{
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

int scaled(quint32 pixel, quint32 mask)
{
    if (!mask)
        return 0;
    const quint32 value = (pixel & mask) >> shiftOf(mask);
    const quint32 max = mask >> shiftOf(mask);
    return int((value * 255 + max / 2) / max);
}

QImage decodeEmbedded(const uchar *bits, qint64 bitsSize)
{
    QByteArray bytes(reinterpret_cast<const char *>(bits), int(qMin<qint64>(bitsSize, 1 << 30)));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    if (format != "jpeg" && format != "png")
        return QImage();
    const QSize size = reader.size();
    if (!ImageLimits::sizeAllowed(size.width(), size.height()))
        return QImage();
    return reader.read();
}

// Compressed bitmaps above this many pixels need at least one byte of data
// per kMaxRlePixelsPerByte pixels: a few bytes of runs cannot claim a
// gigabyte of picture.
constexpr qint64 kRleFreePixels = qint64(16) * 1024 * 1024;
constexpr qint64 kMaxRlePixelsPerByte = 4096;

// BI_RLE8 (bpp 8) and BI_RLE4 (bpp 4): runs of one index (two alternating
// ones for RLE4), literal runs padded to 16 bits, end of line, end of
// bitmap and a delta that skips pixels. Rows run bottom-up. Pixels the data
// never sets stay transparent, so what lies below shows through as GDI
// leaves it untouched. Every read is checked against bitsSize and every
// write against the picture; data that ends early leaves the rest unset.
QImage decodeRle(const uchar *bits, qint64 bitsSize, qint64 width, qint64 height, int bpp,
    const QVector<QRgb> &colors)
{
    QImage image(int(width), int(height), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return QImage();
    image.fill(Qt::transparent);
    const bool four = bpp == 4;
    qint64 x = 0, y = 0; // y counts rows from the bottom
    auto put = [&](qint64 px, int index) {
        if (px < width && y < height)
            reinterpret_cast<QRgb *>(image.scanLine(int(height - 1 - y)))[px] = colors[index];
    };
    qint64 i = 0;
    while (i + 1 < bitsSize && y < height) {
        const int count = bits[i];
        const int value = bits[i + 1];
        i += 2;
        if (count > 0) {
            const qint64 end = qMin<qint64>(x + count, width);
            for (qint64 k = 0; x + k < end; ++k)
                put(x + k, four ? ((k & 1) ? value & 0x0F : value >> 4) : value);
            x += count;
        } else if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // delta: right and up
            if (i + 1 >= bitsSize)
                break;
            x += bits[i];
            y += bits[i + 1];
            i += 2;
        } else { // literal run of value pixels
            const qint64 bytes = four ? (value + 1) / 2 : value;
            if (bytes > bitsSize - i)
                break;
            const qint64 end = qMin<qint64>(x + value, width);
            for (qint64 k = 0; x + k < end; ++k) {
                const int index = four ? ((k & 1) ? bits[i + k / 2] & 0x0F : bits[i + k / 2] >> 4)
                                       : bits[i + k];
                put(x + k, index);
            }
            x += value;
            i += (bytes + 1) & ~qint64(1);
        }
    }
    return image;
}

} // namespace

QImage decode(
    const uchar *header, qint64 headerSize, const uchar *bits, qint64 bitsSize, bool withAlpha)
{
    Header h;
    if (!header || !bits || bitsSize <= 0 || !readHeader(header, headerSize, &h))
        return QImage();
    if (h.compression == 4 || h.compression == 5)
        return decodeEmbedded(bits, bitsSize);
    const bool topDown = h.height < 0;
    const qint64 width = h.width;
    const qint64 height = topDown ? -h.height : h.height;
    if (!ImageLimits::sizeAllowed(width, height))
        return QImage();
    const int bpp = h.bitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return QImage();
    const bool rle = (h.compression == 1 && bpp == 8) || (h.compression == 2 && bpp == 4);
    if (rle) {
        // Compressed bitmaps are bottom-up only.
        if (topDown
            || (width * height > kRleFreePixels
                && width * height / kMaxRlePixelsPerByte > bitsSize))
            return QImage();
    } else if (h.compression != 0 && !(h.compression == 3 && (bpp == 16 || bpp == 32))) {
        return QImage();
    }

    // Colour table (or masks) follow the header.
    const qint64 entryBytes = h.core ? 3 : 4;
    qint64 tableOffset = h.headerBytes;
    if (h.compression == 3 && !h.hasMasks) {
        if (tableOffset + 12 > headerSize)
            return QImage();
        for (int i = 0; i < 3; ++i)
            h.masks[i] = le32(header + tableOffset + 4 * i);
        h.masks[3] = 0;
        tableOffset += 12;
    }
    QVector<QRgb> colors;
    if (bpp <= 8) {
        qint64 count = h.colorsUsed > 0 ? h.colorsUsed : (qint64(1) << bpp);
        count = qMin<qint64>(count, qint64(1) << bpp);
        if (tableOffset + count * entryBytes > headerSize)
            return QImage();
        colors.resize(int(1 << bpp));
        colors.fill(qRgb(0, 0, 0));
        for (qint64 i = 0; i < count; ++i) {
            const uchar *e = header + tableOffset + i * entryBytes;
            colors[int(i)] = qRgb(e[2], e[1], e[0]);
        }
    }

    if (rle)
        return decodeRle(bits, bitsSize, width, height, bpp, colors);

    const qint64 stride = ((width * bpp + 31) / 32) * 4;
    if (stride * height > bitsSize)
        return QImage();

    QImage image(int(width), int(height),
        withAlpha && bpp == 32 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull())
        return QImage();
    quint32 masks[4] = { 0x7C00, 0x03E0, 0x001F, 0 };
    if (bpp == 32)
        masks[0] = 0x00FF0000, masks[1] = 0x0000FF00, masks[2] = 0x000000FF, masks[3] = 0;
    if (h.compression == 3)
        for (int i = 0; i < 4; ++i)
            masks[i] = h.masks[i];

    for (qint64 y = 0; y < height; ++y) {
        const uchar *row = bits + (topDown ? y : height - 1 - y) * stride;
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(int(y)));
        for (qint64 x = 0; x < width; ++x) {
            switch (bpp) {
            case 1:
                out[x] = colors[(row[x >> 3] >> (7 - (x & 7))) & 1];
                break;
            case 4:
                out[x] = colors[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F];
                break;
            case 8:
                out[x] = colors[row[x]];
                break;
            case 16: {
                const quint32 p = le16(row + 2 * x);
                out[x] = qRgb(scaled(p, masks[0]), scaled(p, masks[1]), scaled(p, masks[2]));
                break;
            }
            case 24:
                out[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
                break;
            case 32: {
                const quint32 p = le32(row + 4 * x);
                if (h.compression == 3) {
                    out[x] = qRgb(scaled(p, masks[0]), scaled(p, masks[1]), scaled(p, masks[2]));
                } else if (withAlpha) {
                    // Premultiplied BGRA as AlphaBlend expects it.
                    const int a = int(p >> 24);
                    out[x] = qRgba(qMin(int((p >> 16) & 0xFF), a), qMin(int((p >> 8) & 0xFF), a),
                        qMin(int(p & 0xFF), a), a);
                } else {
                    out[x] = 0xFF000000u | (p & 0x00FFFFFFu);
                }
                break;
            }
            }
        }
    }
    return image;
}

QImage decodePacked(const uchar *dib, qint64 size)
{
    Header h;
    if (!dib || !readHeader(dib, size, &h))
        return QImage();
    qint64 offset = h.headerBytes;
    if (h.compression == 3 && !h.hasMasks)
        offset += 12;
    if (h.bitCount <= 8 && h.bitCount > 0) {
        qint64 count = h.colorsUsed > 0 ? h.colorsUsed : (qint64(1) << h.bitCount);
        count = qMin<qint64>(count, qint64(1) << h.bitCount);
        offset += count * (h.core ? 3 : 4);
    }
    if (offset >= size)
        return QImage();
    return decode(dib, offset, dib + offset, size - offset);
}

} // namespace DibImage
