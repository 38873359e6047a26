#include "ImageCompleteness.h"

#include <cstring>

#include <QIODevice>
#include <QSet>

namespace ImageCompleteness {

namespace {

quint16 le16(const uchar *p) { return quint16(p[0] | (p[1] << 8)); }

quint32 le32(const uchar *p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

quint16 be16(const uchar *p) { return quint16((p[0] << 8) | p[1]); }

quint32 be32(const uchar *p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

// Walks a BMP RLE4/RLE8 stream to its end-of-bitmap mark.
bool rleReachesEnd(const uchar *data, qint64 size, bool fourBit)
{
    qint64 pos = 0;
    while (pos + 2 <= size) {
        const uchar count = data[pos];
        const uchar value = data[pos + 1];
        pos += 2;
        if (count != 0)
            continue;
        if (value == 0) // end of line
            continue;
        if (value == 1) // end of bitmap
            return true;
        if (value == 2) { // delta
            pos += 2;
            continue;
        }
        // Absolute run of `value` pixels, padded to a 16-bit boundary.
        qint64 bytes = fourBit ? (value + 1) / 2 : value;
        bytes += bytes & 1;
        pos += bytes;
    }
    return false;
}

// Image resource blocks: signature, id, padded Pascal name, size, padded data.
bool psdResourcesFit(const uchar *data, qint64 length)
{
    qint64 pos = 0;
    while (pos < length) {
        if (pos + 7 > length)
            return false;
        pos += 6; // signature and id
        const qint64 name = data[pos];
        pos += (name + 2) & ~qint64(1);
        if (pos + 4 > length)
            return false;
        const qint64 bytes = be32(data + pos);
        pos += 4;
        if (bytes > length - pos)
            return false;
        pos += (bytes + 1) & ~qint64(1);
    }
    return pos <= length + 1;
}

} // namespace

bool isJpegComplete(const QByteArray &file)
{
    const auto *data = reinterpret_cast<const uchar *>(file.constData());
    const qint64 size = file.size();
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    qint64 pos = 2;
    for (;;) {
        // Find the next marker; libjpeg skips stray bytes between segments.
        while (pos < size && data[pos] != 0xFF)
            ++pos;
        while (pos < size && data[pos] == 0xFF)
            ++pos;
        if (pos >= size)
            return false;
        const uchar marker = data[pos++];
        if (marker == 0xD9)
            return true;
        if (marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7))
            continue;
        if (pos + 2 > size)
            return false;
        const qint64 length = (data[pos] << 8) | data[pos + 1];
        if (length < 2 || pos + length > size)
            return false;
        pos += length;
        if (marker != 0xDA)
            continue;
        // Entropy-coded data runs until a marker other than a stuffed zero
        // or a restart marker.
        for (;;) {
            const void *ff = memchr(data + pos, 0xFF, size_t(size - pos));
            if (!ff)
                return false;
            pos = static_cast<const uchar *>(ff) - data;
            if (pos + 1 >= size)
                return false;
            const uchar next = data[pos + 1];
            if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
                pos += 2;
                continue;
            }
            if (next == 0xFF) {
                ++pos;
                continue;
            }
            break;
        }
    }
}

bool isPngComplete(const QByteArray &file)
{
    const auto *data = reinterpret_cast<const uchar *>(file.constData());
    const qint64 size = file.size();
    if (size < 8)
        return false;
    qint64 pos = 8;
    while (pos + 12 <= size) {
        const qint64 length = be32(data + pos);
        if (length > 0x7FFFFFFF || length > size - pos - 12)
            return false;
        if (memcmp(data + pos + 4, "IEND", 4) == 0)
            return true;
        pos += 12 + length;
    }
    return false;
}

bool isBmpComplete(const QByteArray &file)
{
    const auto *data = reinterpret_cast<const uchar *>(file.constData());
    const qint64 size = file.size();
    if (size < 26 || data[0] != 'B' || data[1] != 'M')
        return false;
    const qint64 offBits = le32(data + 10);
    const quint32 headerSize = le32(data + 14);
    qint64 width, height;
    int bitCount;
    quint32 compression = 0;
    if (headerSize == 12) {
        width = le16(data + 18);
        height = le16(data + 20);
        bitCount = le16(data + 24);
    } else {
        if (size < 34)
            return false;
        width = qint32(le32(data + 18));
        height = qint32(le32(data + 22));
        bitCount = le16(data + 28);
        compression = le32(data + 30);
    }
    if (height < 0)
        height = -height;
    // Larger values cannot pass the pixel cap anyway; this keeps the
    // arithmetic below inside 64 bits.
    if (width <= 0 || height <= 0 || width > (1 << 28) || height > (1 << 28) || bitCount <= 0
        || bitCount > 64 || offBits > size)
        return false;
    switch (compression) {
    case 0: // uncompressed
    case 3: // bit fields
    case 6: { // alpha bit fields
        const qint64 stride = ((width * bitCount + 31) / 32) * 4;
        const qint64 lastRow = (width * bitCount + 7) / 8;
        return offBits + stride * (height - 1) + lastRow <= size;
    }
    case 1:
        return rleReachesEnd(data + offBits, size - offBits, false);
    case 2:
        return rleReachesEnd(data + offBits, size - offBits, true);
    default:
        return true;
    }
}

bool isIcoComplete(const QByteArray &file)
{
    const auto *data = reinterpret_cast<const uchar *>(file.constData());
    const qint64 size = file.size();
    if (size < 6)
        return false;
    const int count = le16(data + 4);
    if (count == 0 || 6 + qint64(count) * 16 > size)
        return false;
    for (int i = 0; i < count; ++i) {
        const uchar *entry = data + 6 + i * 16;
        const qint64 bytes = le32(entry + 8);
        const qint64 offset = le32(entry + 12);
        if (offset + bytes > size)
            return false;
    }
    return true;
}

bool isXbmComplete(const QByteArray &file, const QSize &size)
{
    if (!size.isValid())
        return false;
    const qint64 needed = qint64((size.width() + 7) / 8) * size.height();
    const int brace = file.indexOf('{');
    if (brace < 0)
        return false;
    qint64 values = 0;
    const char *p = file.constData() + brace;
    const char *end = file.constData() + file.size();
    for (; p + 1 < end && values < needed; ++p) {
        if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
            ++values;
    }
    return values >= needed;
}

bool isTiffComplete(QIODevice *device)
{
    const qint64 size = device->size();
    const qint64 start = device->pos();
    auto readAt = [device](qint64 offset, qint64 length) {
        if (!device->seek(offset))
            return QByteArray();
        return device->read(length);
    };
    const QByteArray header = readAt(0, 8);
    bool ok = header.size() == 8;
    const bool bigEndian = ok && header.startsWith("MM");
    if (ok && (header[2] == 43 || header[3] == 43)) { // BigTIFF
        device->seek(start);
        return true;
    }
    auto u16 = [bigEndian](const char *p) {
        const auto *b = reinterpret_cast<const uchar *>(p);
        return bigEndian ? quint16((b[0] << 8) | b[1]) : quint16((b[1] << 8) | b[0]);
    };
    auto u32 = [bigEndian](const char *p) {
        const auto *b = reinterpret_cast<const uchar *>(p);
        return bigEndian
            ? (quint32(b[0]) << 24) | (quint32(b[1]) << 16) | (quint32(b[2]) << 8) | b[3]
            : (quint32(b[3]) << 24) | (quint32(b[2]) << 16) | (quint32(b[1]) << 8) | b[0];
    };
    // An entry's values: inline when they fit in 4 bytes, else at an offset.
    auto values = [&](const char *entry, QVector<qint64> *out) {
        const int type = u16(entry + 2);
        const qint64 count = u32(entry + 4);
        const int width = type == 3 ? 2 : type == 4 ? 4 : 0;
        if (width == 0 || count <= 0 || count > size / width)
            return false;
        QByteArray data
            = count * width <= 4 ? QByteArray(entry + 8, 4) : readAt(u32(entry + 8), count * width);
        if (data.size() < count * width)
            return false;
        for (qint64 i = 0; i < count; ++i)
            out->append(width == 2 ? u16(data.constData() + i * 2) : u32(data.constData() + i * 4));
        return true;
    };

    QSet<qint64> visited;
    qint64 ifd = ok ? u32(header.constData() + 4) : 0;
    while (ok && ifd != 0) {
        if (visited.contains(ifd) || visited.size() > 65536 || ifd + 2 > size) {
            ok = false;
            break;
        }
        visited.insert(ifd);
        const QByteArray countBytes = readAt(ifd, 2);
        const qint64 entries = countBytes.size() == 2 ? u16(countBytes.constData()) : -1;
        const QByteArray table = readAt(ifd + 2, entries * 12 + 4);
        if (entries < 0 || table.size() != entries * 12 + 4) {
            ok = false;
            break;
        }
        QVector<qint64> offsets, counts;
        for (qint64 i = 0; i < entries && ok; ++i) {
            const char *entry = table.constData() + i * 12;
            const int tag = u16(entry);
            if (tag == 273 || tag == 324) // strip / tile offsets
                ok = values(entry, &offsets);
            else if (tag == 279 || tag == 325) // strip / tile byte counts
                ok = values(entry, &counts);
        }
        if (ok && offsets.size() != counts.size())
            ok = false;
        for (int i = 0; ok && i < offsets.size(); ++i)
            ok = offsets[i] + counts[i] <= size;
        ifd = u32(table.constData() + entries * 12);
    }
    device->seek(start);
    return ok;
}

bool isTgaComplete(const QByteArray &file)
{
    const auto *data = reinterpret_cast<const uchar *>(file.constData());
    const qint64 size = file.size();
    if (size < 18)
        return false;
    const int idLength = data[0];
    const int mapType = data[1];
    const int type = data[2];
    const qint64 mapLength = le16(data + 5);
    const int mapBits = data[7];
    const qint64 width = le16(data + 12);
    const qint64 height = le16(data + 14);
    const int bits = data[16];
    if (width == 0 || height == 0 || bits == 0 || bits > 32)
        return false;
    qint64 pos = 18 + idLength + (mapType ? mapLength * ((mapBits + 7) / 8) : 0);
    const qint64 pixelBytes = (bits + 7) / 8;
    const qint64 pixels = width * height;
    if (type >= 1 && type <= 3)
        return pos + pixels * pixelBytes <= size;
    if (type < 9 || type > 11)
        return true; // not a type FreeImage decodes
    // Run-length packets until every pixel is covered.
    qint64 covered = 0;
    while (covered < pixels) {
        if (pos >= size)
            return false;
        const uchar header = data[pos++];
        const qint64 count = (header & 0x7F) + 1;
        pos += (header & 0x80) ? pixelBytes : count * pixelBytes;
        covered += count;
    }
    return pos <= size;
}

bool isPsdComplete(const QByteArray &file)
{
    const auto *data = reinterpret_cast<const uchar *>(file.constData());
    const qint64 size = file.size();
    if (size < 26 || memcmp(data, "8BPS", 4) != 0)
        return false;
    const int version = be16(data + 4);
    if (version != 1 && version != 2)
        return false;
    const qint64 channels = be16(data + 12);
    const qint64 height = be32(data + 14);
    const qint64 width = be32(data + 18);
    const qint64 depth = be16(data + 22);
    if (channels == 0 || channels > 56 || width == 0 || height == 0 || width > (1 << 30)
        || height > (1 << 30) || depth == 0 || depth > 32)
        return false;
    qint64 pos = 26;
    // Colour mode data, image resources: 4-byte lengths; layer and mask
    // information: 4 bytes (PSD) or 8 (PSB).
    for (int section = 0; section < 3; ++section) {
        const bool wide = section == 2 && version == 2;
        if (pos + (wide ? 8 : 4) > size)
            return false;
        const qint64 length = wide ? (qint64(be32(data + pos)) << 32) | be32(data + pos + 4)
                                   : qint64(be32(data + pos));
        pos += (wide ? 8 : 4);
        if (length < 0 || length > size - pos)
            return false;
        // FreeImage allocates each image resource at its declared size.
        if (section == 1 && !psdResourcesFit(data + pos, length))
            return false;
        pos += length;
    }
    if (pos + 2 > size)
        return false;
    const int compression = be16(data + pos);
    pos += 2;
    const qint64 rows = channels * height;
    if (compression == 0) {
        const qint64 rowBytes = (width * depth + 7) / 8;
        return pos + rows * rowBytes <= size;
    }
    if (compression != 1)
        return true;
    const qint64 countBytes = version == 2 ? 4 : 2;
    if (rows > (size - pos) / countBytes)
        return false;
    const qint64 table = pos;
    pos += rows * countBytes;
    // Every row's PackBits data must lie within the file, stay within its
    // own byte count and unpack to exactly one row: FreeImage's unpacker
    // reads past rows that do not.
    const qint64 rowBytes = (width * depth + 7) / 8;
    for (qint64 i = 0; i < rows; ++i) {
        const qint64 count
            = countBytes == 4 ? be32(data + table + i * 4) : be16(data + table + i * 2);
        if (count > size - pos)
            return false;
        const uchar *row = data + pos;
        qint64 at = 0, produced = 0;
        while (at < count) {
            const int header = qint8(row[at++]);
            if (header >= 0) {
                at += header + 1;
                produced += header + 1;
            } else if (header != -128) {
                at += 1;
                produced += 1 - header;
            }
        }
        if (at != count || produced != rowBytes)
            return false;
        pos += count;
    }
    return true;
}

bool isDdsComplete(const QByteArray &file)
{
    const auto *data = reinterpret_cast<const uchar *>(file.constData());
    const qint64 size = file.size();
    if (size < 128 || memcmp(data, "DDS ", 4) != 0)
        return false;
    const qint64 height = le32(data + 12);
    const qint64 width = le32(data + 16);
    const quint32 formatFlags = le32(data + 80);
    const quint32 fourCC = le32(data + 84);
    const qint64 bits = le32(data + 88);
    if (width == 0 || height == 0 || width > (1 << 30) || height > (1 << 30))
        return false;
    qint64 bytes;
    if (formatFlags & 0x4) { // compressed blocks of 4 x 4 pixels
        const qint64 blocks = ((width + 3) / 4) * ((height + 3) / 4);
        bytes = blocks * (fourCC == 0x31545844 /* DXT1 */ ? 8 : 16);
    } else {
        if (bits == 0 || bits > 128)
            return false;
        bytes = width * height * ((bits + 7) / 8);
    }
    return 128 + bytes <= size;
}

bool isComplete(const QByteArray &format, const QByteArray &file, const QSize &size)
{
    if (format == "jpeg" || format == "jpg")
        return isJpegComplete(file);
    if (format == "bmp")
        return isBmpComplete(file);
    if (format == "png")
        return isPngComplete(file);
    if (format == "ico" || format == "cur")
        return isIcoComplete(file);
    if (format == "xbm")
        return isXbmComplete(file, size);
    return true;
}

} // namespace ImageCompleteness
