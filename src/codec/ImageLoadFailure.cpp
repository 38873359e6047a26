#include "ImageLoadFailure.h"

#include <limits>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSize>

#include "codec/ImageCompleteness.h"
#include "codec/ImageFormats.h"
#include "codec/ImageHeaderSize.h"
#include "codec/ImageLimits.h"

namespace {

quint32 be32(const QByteArray &b, int at)
{
    return (quint32(uchar(b[at])) << 24) | (quint32(uchar(b[at + 1])) << 16)
        | (quint32(uchar(b[at + 2])) << 8) | quint32(uchar(b[at + 3]));
}

quint16 be16(const QByteArray &b, int at)
{
    return quint16((uchar(b[at]) << 8) | uchar(b[at + 1]));
}

qint32 le32(const QByteArray &b, int at)
{
    return qint32(quint32(uchar(b[at])) | (quint32(uchar(b[at + 1])) << 8)
        | (quint32(uchar(b[at + 2])) << 16) | (quint32(uchar(b[at + 3])) << 24));
}

// A BMP stores its height negative for top-down rows; the most negative
// value has no positive twin and stands for the largest size.
int bmpExtent(qint32 v)
{
    return v == std::numeric_limits<qint32>::min() ? std::numeric_limits<int>::max() : qAbs(v);
}

// The frame size of the first SOF marker; invalid when there is none.
QSize jpegSize(const QByteArray &file)
{
    int at = 2;
    while (at + 9 < file.size()) {
        if (uchar(file[at]) != 0xFF)
            return QSize();
        const uchar marker = uchar(file[at + 1]);
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return QSize(be16(file, at + 7), be16(file, at + 5));
        at += 2 + be16(file, at + 2);
    }
    return QSize();
}

enum class Kind { Unknown, Jpeg, Png, Gif, Webp, Bmp, Tiff, Psd, Heif, Other };

Kind kindOf(const QByteArray &head)
{
    if (head.startsWith("\xFF\xD8\xFF"))
        return Kind::Jpeg;
    if (head.startsWith("\x89PNG\r\n\x1a\n"))
        return Kind::Png;
    if (head.startsWith("GIF8"))
        return Kind::Gif;
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP")
        return Kind::Webp;
    if (head.startsWith("BM"))
        return Kind::Bmp;
    if (head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4))
        || head.startsWith(QByteArray("II+\0", 4)) || head.startsWith(QByteArray("MM\0+", 4)))
        return Kind::Tiff;
    if (head.startsWith("8BPS"))
        return Kind::Psd;
    if (head.mid(4, 4) == "ftyp")
        return Kind::Heif;
    return Kind::Unknown;
}

// Formats whose files begin with a signature this check knows; for the
// others (TGA, camera RAW, metafiles, SVG ...) an unknown start proves nothing.
bool hasKnownSignature(int type)
{
    switch (type) {
    case ImageFormatJpeg:
    case ImageFormatPng:
    case ImageFormatGif:
    case ImageFormatWebp:
    case ImageFormatBmp:
    case ImageFormatTiff:
    case ImageFormatPsd:
    case ImageFormatHeif:
        return true;
    default:
        return false;
    }
}

QSize headerSize(Kind kind, const QByteArray &file)
{
    switch (kind) {
    case Kind::Jpeg:
        return jpegSize(file);
    case Kind::Png:
        return file.size() >= 24 ? QSize(int(qMin<quint32>(be32(file, 16), INT_MAX)),
                   int(qMin<quint32>(be32(file, 20), INT_MAX)))
                                 : QSize();
    case Kind::Gif:
        return ImageHeaderSize::gif(file);
    case Kind::Webp:
        return ImageHeaderSize::webp(file);
    case Kind::Bmp:
        return file.size() >= 26 ? QSize(bmpExtent(le32(file, 18)), bmpExtent(le32(file, 22)))
                                 : QSize();
    case Kind::Psd:
        return file.size() >= 22 ? QSize(int(qMin<quint32>(be32(file, 18), INT_MAX)),
                   int(qMin<quint32>(be32(file, 14), INT_MAX)))
                                 : QSize();
    default:
        return QSize();
    }
}

bool isComplete(Kind kind, const QByteArray &file)
{
    switch (kind) {
    case Kind::Jpeg:
        return ImageCompleteness::isJpegComplete(file);
    case Kind::Png:
        return ImageCompleteness::isPngComplete(file);
    case Kind::Bmp:
        return ImageCompleteness::isBmpComplete(file);
    case Kind::Psd:
        return ImageCompleteness::isPsdComplete(file);
    case Kind::Tiff: {
        QBuffer buffer;
        buffer.setData(file);
        return buffer.open(QIODevice::ReadOnly) && ImageCompleteness::isTiffComplete(&buffer);
    }
    default:
        return true;
    }
}

QString typeName(Kind kind, const QString &extension)
{
    switch (kind) {
    case Kind::Jpeg:
        return QStringLiteral("JPEG");
    case Kind::Png:
        return QStringLiteral("PNG");
    case Kind::Gif:
        return QStringLiteral("GIF");
    case Kind::Webp:
        return QStringLiteral("WebP");
    case Kind::Bmp:
        return QStringLiteral("BMP");
    case Kind::Tiff:
        return QStringLiteral("TIFF");
    case Kind::Psd:
        return QStringLiteral("PSD");
    case Kind::Heif:
        return QStringLiteral("HEIF");
    default:
        return extension.toUpper();
    }
}

} // namespace

namespace ImageLoadFailure {

QString explain(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("no such file");
    if (!info.isFile())
        return QStringLiteral("not a regular file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot be read: %1").arg(file.errorString());
    if (file.size() == 0)
        return QStringLiteral("the file is empty");
    const QString extension = ImageFormats::extensionOf(info.fileName()).toLower();
    const ImageFormatRecord *format = ImageFormats::global().formatForExtension(extension);
    if (format->type == ImageFormatUnknown)
        return QStringLiteral("not an image: .%1 files are not read").arg(extension);

    // Structure checks need the whole file; above the read limit only the
    // header is looked at.
    const bool whole = file.size() <= ImageLimits::kMaxFileBytes;
    const QByteArray bytes = whole ? file.readAll() : file.read(1 << 20);
    const Kind kind = kindOf(bytes.left(16));
    if (kind == Kind::Unknown) {
        if (hasKnownSignature(format->type))
            return QStringLiteral("not an image: the file is not a %1 image")
                .arg(typeName(Kind::Unknown, extension));
        return QStringLiteral("cannot be decoded: damaged, or not a %1 image")
            .arg(extension.toUpper());
    }

    const QSize size = headerSize(kind, bytes);
    if (size.isValid() && !ImageLimits::sizeAllowed(size.width(), size.height()))
        return ImageLimits::tooLargeReason(size.width(), size.height());
    if (!whole)
        return QStringLiteral("too large: the file is over %1 bytes")
            .arg(QLocale::c().toString(ImageLimits::kMaxFileBytes));
    if (!isComplete(kind, bytes))
        return QStringLiteral("truncated: the file ends before its image data does");
    return QStringLiteral("unsupported variant or damaged data: %1 image that cannot be decoded")
        .arg(typeName(kind, extension));
}

} // namespace ImageLoadFailure
