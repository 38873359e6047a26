#include "ExifOrientation.h"

#include <cstring>

#include <QColorSpace>
#include <QTransform>

#include "codec/PngChunks.h"

namespace ExifOrientation {

namespace {

quint16 read16(const uchar *p, bool bigEndian)
{
    return bigEndian ? quint16((p[0] << 8) | p[1]) : quint16((p[1] << 8) | p[0]);
}

quint32 read32(const uchar *p, bool bigEndian)
{
    return bigEndian ? (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3]
                     : (quint32(p[3]) << 24) | (quint32(p[2]) << 16) | (quint32(p[1]) << 8) | p[0];
}

quint32 readLE32(const uchar *p) { return read32(p, false); }

QImage rotated(const QImage &image, int degrees)
{
    return image.transformed(QTransform().rotate(degrees));
}

QImage turnedFor(const QImage &image, int orientation)
{
    switch (orientation) {
    case 2:
        return image.mirrored(true, false);
    case 3:
        return image.mirrored(true, true);
    case 4:
        return image.mirrored(false, true);
    case 5:
        return rotated(image.mirrored(false, true), 90);
    case 6:
        return rotated(image, 90);
    case 7:
        return rotated(image.mirrored(true, false), 90);
    case 8:
        return rotated(image, 270);
    default:
        return image;
    }
}

} // namespace

int fromExifBlock(const QByteArray &block)
{
    const auto *data = reinterpret_cast<const uchar *>(block.constData());
    qint64 size = block.size();
    if (size >= 6 && memcmp(data, "Exif\0\0", 6) == 0) {
        data += 6;
        size -= 6;
    }
    if (size < 8)
        return 0;
    bool bigEndian;
    if (data[0] == 'I' && data[1] == 'I')
        bigEndian = false;
    else if (data[0] == 'M' && data[1] == 'M')
        bigEndian = true;
    else
        return 0;
    if (read16(data + 2, bigEndian) != 42)
        return 0;
    const qint64 ifd = read32(data + 4, bigEndian);
    if (ifd < 8 || ifd + 2 > size)
        return 0;
    const int entries = read16(data + ifd, bigEndian);
    for (int i = 0; i < entries; ++i) {
        const qint64 entry = ifd + 2 + qint64(i) * 12;
        if (entry + 12 > size)
            return 0;
        const uchar *e = data + entry;
        if (read16(e, bigEndian) != 0x0112)
            continue;
        // SHORT, count 1: the value sits in the first two bytes of the field.
        if (read16(e + 2, bigEndian) != 3 || read32(e + 4, bigEndian) != 1)
            return 0;
        const int value = read16(e + 8, bigEndian);
        return value >= 1 && value <= 8 ? value : 0;
    }
    return 0;
}

int fromPng(const QByteArray &file)
{
    const QByteArray exif = PngChunks::find(file, "eXIf");
    return exif.isEmpty() ? 0 : fromExifBlock(exif);
}

int fromWebp(const QByteArray &file)
{
    const auto *data = reinterpret_cast<const uchar *>(file.constData());
    const qint64 size = file.size();
    if (size < 12 || memcmp(data, "RIFF", 4) != 0 || memcmp(data + 8, "WEBP", 4) != 0)
        return 0;
    qint64 pos = 12;
    while (pos + 8 <= size) {
        const qint64 length = readLE32(data + pos + 4);
        const qint64 body = pos + 8;
        if (length > size - body)
            return 0;
        if (memcmp(data + pos, "EXIF", 4) == 0)
            return fromExifBlock(file.mid(int(body), int(length)));
        pos = body + length + (length & 1);
    }
    return 0;
}

QImage apply(const QImage &image, int orientation)
{
    // Nothing to turn: the same image, not a detached copy of it.
    if (orientation < 2 || orientation > 8)
        return image;
    QImage turned = turnedFor(image, orientation);
    turned.setColorSpace(image.colorSpace());
    return turned;
}

} // namespace ExifOrientation
