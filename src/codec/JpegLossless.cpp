#include "JpegLossless.h"

#include <cstring>

#include <turbojpeg.h>

#include "codec/FrameMemory.h"

namespace {

// An element of the symmetry group of the rectangle as the integer matrix
// that maps a pixel's position (x right, y down, about the centre) to its
// new position. Composing requests is multiplying matrices.
struct Turn
{
    int a, b, c, d; // (x, y) -> (a x + b y, c x + d y)

    bool operator==(const Turn &o) const { return a == o.a && b == o.b && c == o.c && d == o.d; }
    // this after first
    Turn after(const Turn &first) const
    {
        return { a * first.a + b * first.c, a * first.b + b * first.d, c * first.a + d * first.c,
            c * first.b + d * first.d };
    }
};

constexpr Turn kIdentity { 1, 0, 0, 1 };
constexpr Turn kFlipH { -1, 0, 0, 1 };
constexpr Turn kFlipV { 1, 0, 0, -1 };
constexpr Turn kRot180 { -1, 0, 0, -1 };
constexpr Turn kTranspose { 0, 1, 1, 0 };
constexpr Turn kTransverse { 0, -1, -1, 0 };
constexpr Turn kRotClockwise { 0, -1, 1, 0 };
constexpr Turn kRotCounterClockwise { 0, 1, -1, 0 };

// What turns a stored picture upright, by EXIF orientation.
Turn uprighting(int orientation)
{
    switch (orientation) {
    case 2:
        return kFlipH;
    case 3:
        return kRot180;
    case 4:
        return kFlipV;
    case 5:
        return kTranspose;
    case 6:
        return kRotClockwise;
    case 7:
        return kTransverse;
    case 8:
        return kRotCounterClockwise;
    default:
        return kIdentity;
    }
}

Turn turnFor(JpegLossless::Operation operation)
{
    switch (operation) {
    case JpegLossless::Operation::RotateLeft:
        return kRotCounterClockwise;
    case JpegLossless::Operation::RotateRight:
        return kRotClockwise;
    case JpegLossless::Operation::Rotate180:
        return kRot180;
    case JpegLossless::Operation::FlipLeftRight:
        return kFlipH;
    case JpegLossless::Operation::FlipUpDown:
        return kFlipV;
    case JpegLossless::Operation::None:
        break;
    }
    return kIdentity;
}

int libraryOperation(const Turn &turn)
{
    const struct
    {
        Turn turn;
        int op;
    } table[] = { { kIdentity, TJXOP_NONE }, { kFlipH, TJXOP_HFLIP }, { kFlipV, TJXOP_VFLIP },
        { kRot180, TJXOP_ROT180 }, { kTranspose, TJXOP_TRANSPOSE },
        { kTransverse, TJXOP_TRANSVERSE }, { kRotClockwise, TJXOP_ROT90 },
        { kRotCounterClockwise, TJXOP_ROT270 } };
    for (const auto &entry : table)
        if (entry.turn == turn)
            return entry.op;
    return TJXOP_NONE;
}

quint16 read16(const uchar *p, bool bigEndian)
{
    return bigEndian ? quint16((p[0] << 8) | p[1]) : quint16((p[1] << 8) | p[0]);
}

quint32 read32(const uchar *p, bool bigEndian)
{
    return bigEndian ? (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3]
                     : (quint32(p[3]) << 24) | (quint32(p[2]) << 16) | (quint32(p[1]) << 8) | p[0];
}

// The offset in jpeg of the orientation tag's value (a SHORT in IFD0 of the
// first EXIF segment), or -1. Every offset is checked against the sizes.
qint64 orientationValueOffset(const QByteArray &jpeg)
{
    const auto *data = reinterpret_cast<const uchar *>(jpeg.constData());
    const qint64 size = jpeg.size();
    if (size < 4 || data[0] != 0xff || data[1] != 0xd8)
        return -1;
    qint64 pos = 2;
    while (pos + 4 <= size) {
        if (data[pos] != 0xff)
            return -1;
        const uchar marker = data[pos + 1];
        if (marker == 0xff) {
            ++pos; // fill byte
            continue;
        }
        if (marker == 0xda || marker == 0xd9)
            return -1; // the picture data begins: no EXIF before it
        const qint64 length = read16(data + pos + 2, true);
        if (length < 2 || pos + 2 + length > size)
            return -1;
        const qint64 body = pos + 4;
        const qint64 bodySize = length - 2;
        if (marker == 0xe1 && bodySize >= 14 && std::memcmp(data + body, "Exif\0\0", 6) == 0) {
            const uchar *tiff = data + body + 6;
            const qint64 tiffSize = bodySize - 6;
            bool bigEndian;
            if (tiff[0] == 'I' && tiff[1] == 'I')
                bigEndian = false;
            else if (tiff[0] == 'M' && tiff[1] == 'M')
                bigEndian = true;
            else
                return -1;
            if (read16(tiff + 2, bigEndian) != 42)
                return -1;
            const qint64 ifd = read32(tiff + 4, bigEndian);
            if (ifd < 8 || ifd + 2 > tiffSize)
                return -1;
            const int entries = read16(tiff + ifd, bigEndian);
            for (int i = 0; i < entries; ++i) {
                const qint64 entry = ifd + 2 + qint64(i) * 12;
                if (entry + 12 > tiffSize)
                    return -1;
                const uchar *e = tiff + entry;
                if (read16(e, bigEndian) != 0x0112)
                    continue;
                if (read16(e + 2, bigEndian) != 3 || read32(e + 4, bigEndian) != 1)
                    return -1;
                return body + 6 + entry + 8;
            }
            return -1;
        }
        pos += 2 + length;
    }
    return -1;
}

bool bigEndianExifAt(const QByteArray &jpeg, qint64 valueOffset)
{
    // Walk back to the TIFF header of the segment holding the value: the
    // first "MM" or "II" after "Exif\0\0" before the offset.
    const int exif = jpeg.lastIndexOf(QByteArray("Exif\0\0", 6), int(valueOffset));
    return exif >= 0 && jpeg.at(exif + 6) == 'M';
}

} // namespace

namespace JpegLossless {

bool operationForAngle(int angle, Operation *operation)
{
    const int a = ((angle % 360) + 360) % 360;
    switch (a) {
    case 0:
        *operation = Operation::None;
        return true;
    case 90:
        *operation = Operation::RotateLeft;
        return true;
    case 180:
        *operation = Operation::Rotate180;
        return true;
    case 270:
        *operation = Operation::RotateRight;
        return true;
    default:
        return false;
    }
}

int orientationOf(const QByteArray &jpeg)
{
    const qint64 offset = orientationValueOffset(jpeg);
    if (offset < 0)
        return 0;
    const int value = read16(
        reinterpret_cast<const uchar *>(jpeg.constData()) + offset, bigEndianExifAt(jpeg, offset));
    return value >= 1 && value <= 8 ? value : 0;
}

Result transform(const QByteArray &jpeg, Operation operation, QByteArray *out, QString *error)
{
    out->clear();
    if (jpeg.size() < 4 || uchar(jpeg[0]) != 0xff || uchar(jpeg[1]) != 0xd8)
        return Result::NotApplicable;

    // The turn the orientation tag asks for goes into the transform; the tag
    // itself is reset in the result, where the markers arrive as they are.
    const qint64 tag = orientationValueOffset(jpeg);
    int orientation = 0;
    if (tag >= 0) {
        orientation = read16(
            reinterpret_cast<const uchar *>(jpeg.constData()) + tag, bigEndianExifAt(jpeg, tag));
        if (orientation < 1 || orientation > 8)
            orientation = 0;
    }

    tjhandle handle = tjInitTransform();
    if (!handle) {
        if (error)
            *error = QStringLiteral("the JPEG library could not start");
        return Result::Failed;
    }
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    const auto *bytes = reinterpret_cast<const unsigned char *>(jpeg.constData());
    const auto length = static_cast<unsigned long>(jpeg.size());
    if (tjDecompressHeader3(handle, bytes, length, &width, &height, &subsampling, &colorspace)
        != 0) {
        tjDestroy(handle);
        return Result::NotApplicable;
    }
    // CMYK keeps the decoding path, which turns it into RGB as every other
    // output of the program does.
    if (colorspace == TJCS_CMYK || colorspace == TJCS_YCCK) {
        tjDestroy(handle);
        return Result::NotApplicable;
    }

    tjtransform xform;
    std::memset(&xform, 0, sizeof(xform));
    xform.op = libraryOperation(turnFor(operation).after(uprighting(orientation)));
    // Perfect only: a partial block on a moved edge would either stay where
    // it was (a strip of the old edge) or be trimmed off.
    xform.options = TJXOPT_PERFECT;
    // The result goes straight into out, sized for the worst case (the
    // pixels' bound plus every copied marker): only the pages written are
    // ever used, and there is no growing buffer to copy over and over.
    // Where the bound cannot be had, the library allocates as it goes.
    const bool sideways = xform.op == TJXOP_TRANSPOSE || xform.op == TJXOP_TRANSVERSE
        || xform.op == TJXOP_ROT90 || xform.op == TJXOP_ROT270;
    const unsigned long pixelBound
        = tjBufSize(sideways ? height : width, sideways ? width : height, subsampling);
    const unsigned long bound = pixelBound + length;
    bool preallocated = pixelBound != static_cast<unsigned long>(-1) && bound < 0x7fffff00ul;
    if (preallocated) {
        try {
            out->resize(int(bound));
            FrameMemory::adviseLargePages(out->data(), out->size());
        } catch (...) {
            preallocated = false;
        }
    }
    unsigned char *result = preallocated ? reinterpret_cast<unsigned char *>(out->data()) : nullptr;
    unsigned long resultSize = preallocated ? bound : 0;
    const int status = tjTransform(handle, bytes, length, 1, &result, &resultSize, &xform,
        TJFLAG_STOPONWARNING | (preallocated ? TJFLAG_NOREALLOC : 0));
    if (status != 0) {
        const QString message = QString::fromLocal8Bit(tjGetErrorStr2(handle));
        if (!preallocated)
            tjFree(result);
        out->clear();
        tjDestroy(handle);
        // "Transform is not perfect": the decoding path takes it.
        if (message.contains(QLatin1String("perfect")))
            return Result::NotApplicable;
        if (error)
            *error = QStringLiteral("the JPEG library failed: %1").arg(message);
        return Result::Failed;
    }
    if (preallocated) {
        out->resize(int(resultSize));
    } else {
        *out = QByteArray(reinterpret_cast<const char *>(result), int(resultSize));
        tjFree(result);
    }
    tjDestroy(handle);
    // The pixels are upright now: so is the tag.
    const qint64 resultTag = tag >= 0 ? orientationValueOffset(*out) : -1;
    if (resultTag >= 0) {
        const bool bigEndian = bigEndianExifAt(*out, resultTag);
        char *value = out->data() + resultTag;
        value[0] = bigEndian ? 0 : 1;
        value[1] = bigEndian ? 1 : 0;
    }
    return Result::Transformed;
}

} // namespace JpegLossless
