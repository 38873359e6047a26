#include "JpegInfo.h"

#include <cstring>
#include <map>

namespace {

quint16 be16(const uchar *p) { return quint16((p[0] << 8) | p[1]); }

quint16 read16(const uchar *p, bool bigEndian)
{
    return bigEndian ? be16(p) : quint16(p[0] | (p[1] << 8));
}

quint32 read32(const uchar *p, bool bigEndian)
{
    return bigEndian ? (quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3])
                     : (quint32(p[3]) << 24 | quint32(p[2]) << 16 | quint32(p[1]) << 8 | p[0]);
}

// Orientation tag (0x0112) of IFD0 in an APP1 "Exif\0\0" payload.
int exifOrientation(const uchar *data, int size)
{
    if (size < 6 + 8 || std::memcmp(data, "Exif\0\0", 6) != 0)
        return 1;
    const uchar *tiff = data + 6;
    const quint32 length = quint32(size - 6);
    bool bigEndian;
    if (std::memcmp(tiff, "MM\0*", 4) == 0)
        bigEndian = true;
    else if (std::memcmp(tiff, "II*\0", 4) == 0)
        bigEndian = false;
    else
        return 1;
    const quint32 ifd = read32(tiff + 4, bigEndian);
    if (ifd > length - 2)
        return 1;
    const quint32 entries = read16(tiff + ifd, bigEndian);
    for (quint32 i = 0; i < entries; ++i) {
        const quint64 entry = quint64(ifd) + 2 + quint64(i) * 12;
        if (entry + 12 > length)
            return 1;
        const uchar *e = tiff + entry;
        if (read16(e, bigEndian) != 0x0112)
            continue;
        const quint16 type = read16(e + 2, bigEndian);
        const quint32 count = read32(e + 4, bigEndian);
        if (type != 3 || count != 1)
            return 1;
        const int value = read16(e + 8, bigEndian);
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

bool isStartOfFrame(uchar marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

} // namespace

JpegInfo JpegInfo::parse(const QByteArray &bytes)
{
    JpegInfo info;
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const qint64 size = bytes.size();
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8 || data[2] != 0xFF)
        return info;
    info.isJpeg = true;

    std::map<int, QByteArray> iccChunks;
    int iccChunkCount = 0;
    bool iccBroken = false;
    uchar frameMarker = 0;
    qint64 pos = 2;
    bool scanFound = false;
    while (pos + 4 <= size) {
        if (data[pos] != 0xFF)
            return info;
        const uchar marker = data[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xD8 || marker == 0xD9 || (marker >= 0xD0 && marker <= 0xD7)
            || marker == 0x01)
            return info; // no image data before the scan
        const int length = be16(data + pos + 2);
        if (length < 2 || pos + 2 + length > size)
            return info;
        const uchar *payload = data + pos + 4;
        const int payloadSize = length - 2;

        if (isStartOfFrame(marker)) {
            if (frameMarker != 0 || payloadSize < 6)
                return info;
            frameMarker = marker;
            info.precision = payload[0];
            info.height = be16(payload + 1);
            info.width = be16(payload + 3);
            info.components = payload[5];
            if (payloadSize < 6 + 3 * info.components)
                return info;
        } else if (marker == 0xE1) {
            if (info.orientation == 1)
                info.orientation = exifOrientation(payload, payloadSize);
        } else if (marker == 0xE2) {
            if (payloadSize >= 14 && std::memcmp(payload, "ICC_PROFILE\0", 12) == 0) {
                const int sequence = payload[12];
                const int count = payload[13];
                if (iccChunkCount == 0)
                    iccChunkCount = count;
                if (count != iccChunkCount || sequence < 1 || sequence > count
                    || iccChunks.count(sequence))
                    iccBroken = true;
                else
                    iccChunks[sequence] = QByteArray(
                        reinterpret_cast<const char *>(payload + 14), payloadSize - 14);
            }
        } else if (marker == 0xEE) {
            if (payloadSize >= 5 && std::memcmp(payload, "Adobe", 5) == 0)
                info.adobeMarker = true;
        } else if (marker == 0xDA) {
            scanFound = true;
            pos += 2 + length;
            break;
        }
        pos += 2 + length;
    }
    if (!scanFound || frameMarker == 0)
        return info;

    // A truncated file has no end-of-image marker after its scan data; some
    // cameras append data after it, so look for the marker anywhere behind.
    bool endFound = false;
    for (qint64 i = size - 2; i >= pos; --i) {
        if (data[i] == 0xFF && data[i + 1] == 0xD9) {
            endFound = true;
            break;
        }
    }

    if (!iccBroken && iccChunkCount > 0 && int(iccChunks.size()) == iccChunkCount) {
        for (const auto &chunk : iccChunks)
            info.iccProfile += chunk.second;
    }

    // Baseline, extended and progressive Huffman JPEGs of 8 bits are what a
    // PDF DCTDecode filter reads; lossless, arithmetic and 12-bit ones are not.
    const bool supportedProcess = frameMarker == 0xC0 || frameMarker == 0xC1 || frameMarker == 0xC2;
    info.complete = endFound;
    info.embeddable = endFound && supportedProcess && info.precision == 8 && info.width > 0
        && info.height > 0
        && (info.components == 1 || info.components == 3 || info.components == 4);
    return info;
}
