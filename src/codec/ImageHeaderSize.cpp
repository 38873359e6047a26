#include "ImageHeaderSize.h"

#include <cstring>

namespace ImageHeaderSize {

namespace {

quint16 le16(const uchar *p)
{
    return quint16(p[0] | (p[1] << 8));
}

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
    const QSize screen(le16(data + 6), le16(data + 8));
    qint64 pos = 13;
    if (data[10] & 0x80)
        pos += 3 * (qint64(1) << ((data[10] & 0x07) + 1));
    while (pos < size) {
        const uchar introducer = data[pos];
        if (introducer == 0x2C) {
            if (pos + 9 > size)
                return QSize();
            const int left = le16(data + pos + 1);
            const int top = le16(data + pos + 3);
            const QSize frame(left + le16(data + pos + 5), top + le16(data + pos + 7));
            return larger(screen.isEmpty() ? QSize() : screen, frame);
        }
        if (introducer != 0x21 || pos + 2 > size)
            return QSize();
        pos += 2;
        // Sub-blocks up to the zero-length terminator.
        while (pos < size && data[pos] != 0)
            pos += data[pos] + 1;
        ++pos;
    }
    return QSize();
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

} // namespace ImageHeaderSize
