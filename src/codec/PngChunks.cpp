#include "PngChunks.h"

#include <cstring>

#include <QIODevice>

#include "codec/ZlibStream.h"

namespace PngChunks {

QByteArray find(const QByteArray &png, const char *type)
{
    const auto *data = reinterpret_cast<const uchar *>(png.constData());
    const qint64 size = png.size();
    static const uchar signature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
    if (size < 8 || memcmp(data, signature, 8) != 0)
        return QByteArray();
    qint64 pos = 8;
    while (pos + 8 <= size) {
        const qint64 length = (qint64(data[pos]) << 24) | (data[pos + 1] << 16)
            | (data[pos + 2] << 8) | data[pos + 3];
        const qint64 body = pos + 8;
        if (length > size - body)
            return QByteArray();
        if (memcmp(data + pos + 4, type, 4) == 0)
            return png.mid(int(body), int(length));
        if (memcmp(data + pos + 4, "IEND", 4) == 0)
            return QByteArray();
        pos = body + length + 4;
    }
    return QByteArray();
}

Walk walk(QIODevice *device, const char *type)
{
    Walk result;
    const qint64 size = device->size();
    static const char signature[8] = { '\x89', 'P', 'N', 'G', '\r', '\n', '\x1A', '\n' };
    char head[8];
    bool found = false;
    if (device->isSequential() || !device->seek(0) || device->read(head, 8) != 8
        || memcmp(head, signature, 8) != 0) {
        device->seek(0);
        return result;
    }
    qint64 pos = 8;
    while (pos + 12 <= size) {
        if (!device->seek(pos) || device->read(head, 8) != 8)
            break;
        const auto *h = reinterpret_cast<const uchar *>(head);
        const qint64 length = (qint64(h[0]) << 24) | (h[1] << 16) | (h[2] << 8) | h[3];
        if (length > 0x7FFFFFFF || length > size - pos - 12)
            break;
        if (memcmp(head + 4, "IEND", 4) == 0) {
            result.complete = true;
            break;
        }
        if (!found && memcmp(head + 4, type, 4) == 0) {
            found = true;
            result.wanted = device->read(length);
            if (result.wanted.size() != length) {
                result.wanted.clear();
                break;
            }
        }
        pos += 12 + length;
    }
    device->seek(0);
    if (!result.complete)
        result.wanted.clear();
    return result;
}

QByteArray iccProfile(const QByteArray &png)
{
    const QByteArray chunk = find(png, "iCCP");
    // Profile name (1-79 bytes), NUL, compression method 0, zlib stream.
    const int nul = chunk.indexOf('\0');
    if (nul < 1 || nul > 79 || chunk.size() < nul + 2 || chunk[nul + 1] != '\0')
        return QByteArray();
    bool ok = false;
    const QByteArray profile = ZlibStream::inflate(chunk.mid(nul + 2), false, 1 << 24, &ok);
    return ok ? profile : QByteArray();
}

} // namespace PngChunks
