#include "ImageHeaderSize.h"

#include <cstring>

namespace ImageHeaderSize {

namespace {

quint16 le16(const uchar *p) { return quint16(p[0] | (p[1] << 8)); }

quint32 le32(const uchar *p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

quint32 be32(const uchar *p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

// Sizes are compared by area; an invalid size loses to any valid one.
QSize larger(const QSize &a, const QSize &b)
{
    if (!a.isValid())
        return b;
    if (!b.isValid())
        return a;
    return qint64(a.width()) * a.height() >= qint64(b.width()) * b.height() ? a : b;
}

QSize sizeOf(quint32 width, quint32 height)
{
    // QSize holds ints; anything larger is refused by the cap anyway.
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return QSize(0x7FFFFFFF, 0x7FFFFFFF);
    return QSize(int(width), int(height));
}

} // namespace

QSize gif(const QByteArray &file)
{
    const auto *data = reinterpret_cast<const uchar *>(file.constData());
    const qint64 size = file.size();
    if (size < 13 || memcmp(data, "GIF", 3) != 0)
        return QSize();
    // Readers combine the screen's and the frames' extents in their own
    // ways; the widest and the tallest of all bound what they allocate.
    QSize largest(le16(data + 6), le16(data + 8));
    qint64 pos = 13;
    if (data[10] & 0x80)
        pos += 3 * (qint64(1) << ((data[10] & 0x07) + 1));
    // Every image's extent counts: readers grow or allocate their canvas
    // from any of them.
    while (pos < size && data[pos] != 0x3B) {
        const uchar introducer = data[pos];
        if (introducer == 0x2C) {
            if (pos + 10 > size)
                break;
            const int left = le16(data + pos + 1);
            const int top = le16(data + pos + 3);
            largest = largest.expandedTo(
                QSize(left + le16(data + pos + 5), top + le16(data + pos + 7)));
            const uchar flags = data[pos + 9];
            pos += 10;
            if (flags & 0x80)
                pos += 3 * (qint64(1) << ((flags & 0x07) + 1));
            ++pos; // LZW minimum code size
        } else if (introducer == 0x21) {
            pos += 2;
        } else {
            break;
        }
        // Sub-blocks up to the zero-length terminator.
        while (pos < size && data[pos] != 0)
            pos += data[pos] + 1;
        ++pos;
    }
    return largest;
}

QSize mng(const QByteArray &file)
{
    const auto *data = reinterpret_cast<const uchar *>(file.constData());
    const qint64 size = file.size();
    if (size < 8 || (memcmp(data + 1, "MNG", 3) != 0 && memcmp(data + 1, "JNG", 3) != 0))
        return QSize();
    QSize largest;
    bool any = false;
    qint64 pos = 8;
    while (pos + 8 <= size) {
        const qint64 length = be32(data + pos);
        const uchar *type = data + pos + 4;
        const qint64 body = pos + 8;
        if (length > size - body)
            break;
        const bool header = memcmp(type, "MHDR", 4) == 0 || memcmp(type, "IHDR", 4) == 0
            || memcmp(type, "JHDR", 4) == 0;
        if (header) {
            if (length < 8)
                return QSize();
            largest = larger(largest, sizeOf(be32(data + body), be32(data + body + 4)));
            any = true;
        }
        if (memcmp(type, "MEND", 4) == 0)
            break;
        pos = body + length + 4;
    }
    return any ? largest : QSize();
}

QSize dds(const QByteArray &file)
{
    const auto *data = reinterpret_cast<const uchar *>(file.constData());
    if (file.size() < 20 || memcmp(data, "DDS ", 4) != 0)
        return QSize();
    return sizeOf(le32(data + 16), le32(data + 12));
}

QSize webp(const QByteArray &file)
{
    const auto *data = reinterpret_cast<const uchar *>(file.constData());
    const qint64 size = file.size();
    if (size < 30 || memcmp(data, "RIFF", 4) != 0 || memcmp(data + 8, "WEBP", 4) != 0)
        return QSize();
    const uchar *chunk = data + 12;
    const uchar *body = chunk + 8;
    if (memcmp(chunk, "VP8X", 4) == 0) {
        const quint32 w
            = (quint32(body[4]) | (quint32(body[5]) << 8) | (quint32(body[6]) << 16)) + 1;
        const quint32 h
            = (quint32(body[7]) | (quint32(body[8]) << 8) | (quint32(body[9]) << 16)) + 1;
        return sizeOf(w, h);
    }
    if (memcmp(chunk, "VP8L", 4) == 0) {
        if (body[0] != 0x2F)
            return QSize();
        const quint32 bits = le32(body + 1);
        return sizeOf((bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1);
    }
    if (memcmp(chunk, "VP8 ", 4) == 0) {
        if (body[3] != 0x9D || body[4] != 0x01 || body[5] != 0x2A)
            return QSize();
        return sizeOf(le16(body + 6) & 0x3FFF, le16(body + 8) & 0x3FFF);
    }
    return QSize();
}

} // namespace ImageHeaderSize
