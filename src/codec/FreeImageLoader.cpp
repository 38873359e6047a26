#include "FreeImageLoader.h"

#include <cstring>
#include <limits>
#include <memory>

#include <FreeImage.h>

#include <QColorSpace>
#include <QFile>

#include "codec/ExifOrientation.h"
#include "codec/FrameMemory.h"
#include "codec/ImageCompleteness.h"
#include "codec/ImageHeaderSize.h"
#include "codec/ImageLimits.h"
#include "codec/PngChunks.h"
#include "codec/RawDeveloper.h"

namespace {

struct BitmapDeleter
{
    void operator()(FIBITMAP *bitmap) const { FreeImage_Unload(bitmap); }
};
using Bitmap = std::unique_ptr<FIBITMAP, BitmapDeleter>;

bool isAcceptedFormat(FREE_IMAGE_FORMAT fif)
{
    switch (fif) {
    case FIF_TARGA:
    case FIF_RAW:
    case FIF_PSD:
    case FIF_JXR:
    case FIF_MNG:
    case FIF_JNG:
    case FIF_CUT:
    case FIF_HDR:
    case FIF_DDS:
    // Mislabelled files of the formats the program reads anyway.
    case FIF_BMP:
    case FIF_ICO:
    case FIF_JPEG:
    case FIF_PNG:
    case FIF_TIFF:
    case FIF_GIF:
    case FIF_WEBP:
        return true;
    default:
        return false;
    }
}

int loadFlags(FREE_IMAGE_FORMAT fif)
{
    if (fif == FIF_RAW)
        return RAW_DISPLAY;
    if (fif == FIF_JPEG)
        return JPEG_EXIFROTATE;
    return 0;
}

QSize headerSize(FREE_IMAGE_FORMAT fif, const QByteArray &nativePath)
{
    if (FreeImage_FIFSupportsNoPixels(fif)) {
        Bitmap header(
            FreeImage_Load(fif, nativePath.constData(), loadFlags(fif) | FIF_LOAD_NOPIXELS));
        if (!header)
            return QSize();
        const unsigned width = FreeImage_GetWidth(header.get());
        const unsigned height = FreeImage_GetHeight(header.get());
        if (width > 0x7FFFFFFF || height > 0x7FFFFFFF)
            return QSize();
        return QSize(int(width), int(height));
    }
    QFile file(QFile::decodeName(nativePath));
    if (!file.open(QIODevice::ReadOnly) || file.size() > ImageLimits::kMaxFileBytes)
        return QSize();
    const QByteArray bytes = file.readAll();
    switch (fif) {
    case FIF_GIF:
        return ImageHeaderSize::gif(bytes);
    case FIF_MNG:
        return ImageHeaderSize::mng(bytes);
    case FIF_DDS:
        return ImageHeaderSize::dds(bytes);
    default:
        return QSize();
    }
}

// FreeImage leaves zeros where these formats' data is missing; their
// structure is checked first.
bool isComplete(FREE_IMAGE_FORMAT fif, const QByteArray &bytes)
{
    switch (fif) {
    case FIF_TARGA:
        return ImageCompleteness::isTgaComplete(bytes);
    case FIF_PSD:
        return ImageCompleteness::isPsdComplete(bytes);
    case FIF_DDS:
        return ImageCompleteness::isDdsComplete(bytes);
    case FIF_BMP:
        return ImageCompleteness::isBmpComplete(bytes);
    case FIF_JPEG:
        return ImageCompleteness::isJpegComplete(bytes);
    case FIF_ICO:
        return ImageCompleteness::isIcoComplete(bytes);
    default:
        return true;
    }
}

// FreeImage's metadata readers do not deliver the orientation here (its
// TIFF tag reading fails against this libtiff), so the tag is read from
// the file.
int orientationOf(FREE_IMAGE_FORMAT fif, const QByteArray &bytes)
{
    switch (fif) {
    case FIF_TIFF:
        return ExifOrientation::fromExifBlock(bytes);
    case FIF_PNG:
        return ExifOrientation::fromPng(bytes);
    case FIF_WEBP:
        return ExifOrientation::fromWebp(bytes);
    default:
        return 0;
    }
}

Bitmap toStandard32(FIBITMAP *bitmap)
{
    Bitmap standard;
    FIBITMAP *source = bitmap;
    const FREE_IMAGE_TYPE type = FreeImage_GetImageType(bitmap);
    if (type == FIT_RGBF || type == FIT_RGBAF) {
        // High dynamic range: tone-map rather than clip.
        Bitmap rgbf(type == FIT_RGBAF ? FreeImage_ConvertToRGBF(bitmap) : nullptr);
        standard.reset(FreeImage_ToneMapping(rgbf ? rgbf.get() : bitmap, FITMO_DRAGO03, 0, 0));
        if (!standard)
            return Bitmap();
        source = standard.get();
    } else if (type != FIT_BITMAP && type != FIT_RGB16 && type != FIT_RGBA16) {
        standard.reset(FreeImage_ConvertToStandardType(bitmap, TRUE));
        if (!standard)
            return Bitmap();
        source = standard.get();
    }
    return Bitmap(FreeImage_ConvertTo32Bits(source));
}

// FreeImage stores rows bottom-up, 32-bit pixels as B, G, R, A bytes and
// 24-bit ones as B, G, R: on little-endian machines the first is exactly
// ARGB32.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "FreeImage pixel layout assumed little-endian");

bool isPlainBitmap(FIBITMAP *bitmap, unsigned bpp)
{
    return FreeImage_GetImageType(bitmap) == FIT_BITMAP && FreeImage_GetBPP(bitmap) == bpp;
}

// A plain 24- or 32-bit bitmap as an ARGB32 frame.
QImage toImage(FIBITMAP *bitmap)
{
    const int width = int(FreeImage_GetWidth(bitmap));
    const int height = int(FreeImage_GetHeight(bitmap));
    const bool rgb = FreeImage_GetBPP(bitmap) == 24;
    QImage image = FrameMemory::allocate(QSize(width, height), QImage::Format_ARGB32);
    if (image.isNull())
        return QImage();
    for (int y = 0; y < height; ++y) {
        const uchar *in = FreeImage_GetScanLine(bitmap, height - 1 - y);
        uchar *out = image.scanLine(y);
        if (!rgb) {
            memcpy(out, in, size_t(width) * 4);
            continue;
        }
        for (int x = 0; x < width; ++x, in += 3, out += 4) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = 0xFF;
        }
    }
    image.setDotsPerMeterX(int(FreeImage_GetDotsPerMeterX(bitmap)));
    image.setDotsPerMeterY(int(FreeImage_GetDotsPerMeterY(bitmap)));
    return image;
}

QColorSpace colorSpaceOf(FIBITMAP *bitmap, FREE_IMAGE_FORMAT fif, const QByteArray &bytes)
{
    const FIICCPROFILE *profile = FreeImage_GetICCProfile(bitmap);
    if (profile && profile->data && profile->size > 0) {
        if (profile->flags & FIICC_COLOR_IS_CMYK)
            return QColorSpace();
        return QColorSpace::fromIccProfile(
            QByteArray(static_cast<const char *>(profile->data), int(profile->size)));
    }
    // FreeImage's PNG reader drops iCCP chunks.
    if (fif == FIF_PNG)
        return QColorSpace::fromIccProfile(PngChunks::iccProfile(bytes));
    return QColorSpace();
}

bool needsBytes(FREE_IMAGE_FORMAT fif)
{
    switch (fif) {
    case FIF_TARGA:
    case FIF_PSD:
    case FIF_DDS:
    case FIF_BMP:
    case FIF_JPEG:
    case FIF_ICO:
    case FIF_TIFF:
    case FIF_PNG:
    case FIF_WEBP:
        return true;
    default:
        return false;
    }
}

// Content formats whose signature is strong enough to be trusted over the
// name: a PSD saved as .tga is still a PSD. Everything else must match the
// name, so a plug-in only ever sees the files it was asked for.
bool mayOverrideName(FREE_IMAGE_FORMAT content)
{
    switch (content) {
    case FIF_PSD:
    case FIF_HDR:
    case FIF_DDS:
    case FIF_MNG:
    case FIF_JNG:
    case FIF_JXR:
        return true;
    default:
        return false;
    }
}

QString formatLabel(FREE_IMAGE_FORMAT fif)
{
    const char *name = fif == FIF_UNKNOWN ? nullptr : FreeImage_GetFormatFromFIF(fif);
    return name ? QString::fromLatin1(name) : QStringLiteral("unknown");
}

void fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
}

} // namespace

namespace FreeImageLoader {

FREE_IMAGE_FORMAT chooseFormat(FREE_IMAGE_FORMAT content, FREE_IMAGE_FORMAT byName)
{
    // Camera RAW files are TIFF or vendor containers underneath; LibRaw
    // decides for itself whether it can develop them.
    if (byName == FIF_RAW)
        return FIF_RAW;
    if (content == FIF_UNKNOWN)
        return byName; // TGA and CUT carry no signature
    if (content == byName || mayOverrideName(content))
        return content;
    if (byName == FIF_UNKNOWN && isAcceptedFormat(content))
        return content;
    return FIF_UNKNOWN;
}

bool load(const QString &path, QImage *out, QString *error)
{
    const QByteArray nativePath = QFile::encodeName(path);
    const FREE_IMAGE_FORMAT content = FreeImage_GetFileType(nativePath.constData(), 0);
    const FREE_IMAGE_FORMAT byName = FreeImage_GetFIFFromFilename(nativePath.constData());
    const FREE_IMAGE_FORMAT fif = chooseFormat(content, byName);
    if (fif == FIF_UNKNOWN || !isAcceptedFormat(fif) || !FreeImage_FIFSupportsReading(fif)) {
        if (content != FIF_UNKNOWN && content != byName)
            fail(error,
                QStringLiteral("the file holds %1 data, not what its name says")
                    .arg(formatLabel(content)));
        else
            fail(error, QStringLiteral("not a picture this program reads"));
        return false;
    }

    // The checks read the file through a mapping (no copy, whatever its
    // size), which lasts until the end of this call.
    QFile file(path);
    QByteArray bytes;
    if (needsBytes(fif)) {
        if (!file.open(QIODevice::ReadOnly) || file.size() > std::numeric_limits<int>::max()) {
            fail(error, QStringLiteral("cannot be read"));
            return false;
        }
        uchar *mapped = file.size() > 0 ? file.map(0, file.size()) : nullptr;
        if (!mapped) {
            fail(error, QStringLiteral("the file is empty"));
            return false;
        }
        bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), int(file.size()));
        if (!isComplete(fif, bytes)) {
            fail(error, QStringLiteral("the file is damaged or cut short"));
            return false;
        }
    }

    const QSize size = headerSize(fif, nativePath);
    if (!ImageLimits::sizeAllowed(size.width(), size.height())) {
        fail(error,
            size.isValid() ? ImageLimits::tooLargeReason(size.width(), size.height())
                           : QStringLiteral("the file is damaged: its header gives no size"));
        return false;
    }

    // Camera pictures are developed by LibRaw straight into the frame, as
    // the plug-in would (RawDeveloper), without its copy in between.
    if (fif == FIF_RAW) {
        QString why;
        if (!RawDeveloper::develop(path, out, &why)) {
            fail(error,
                why.startsWith(QLatin1String("LibRaw"))
                    ? QStringLiteral("the file is damaged or is not a %1 picture")
                          .arg(formatLabel(fif))
                    : why);
            return false;
        }
        return true;
    }

    Bitmap bitmap(FreeImage_Load(fif, nativePath.constData(), loadFlags(fif)));
    if (!bitmap || !FreeImage_HasPixels(bitmap.get())) {
        fail(error,
            QStringLiteral("the file is damaged or is not a %1 picture").arg(formatLabel(fif)));
        return false;
    }
    // The plug-in decoded what the header promised; anything else is refused
    // before it is converted.
    const qint64 width = FreeImage_GetWidth(bitmap.get());
    const qint64 height = FreeImage_GetHeight(bitmap.get());
    if (!ImageLimits::sizeAllowed(width, height)) {
        fail(error, ImageLimits::tooLargeReason(width, height));
        return false;
    }

    // A plain 24- or 32-bit picture is copied straight into the frame; the
    // others are made plain first.
    QImage image;
    if (isPlainBitmap(bitmap.get(), 24) || isPlainBitmap(bitmap.get(), 32)) {
        image = toImage(bitmap.get());
    } else {
        const Bitmap bitmap32 = toStandard32(bitmap.get());
        image = bitmap32 ? toImage(bitmap32.get()) : QImage();
    }
    if (image.isNull()) {
        fail(error, QStringLiteral("not enough memory to convert the picture"));
        return false;
    }
    image.setColorSpace(colorSpaceOf(bitmap.get(), fif, bytes));
    // JPEG is turned by the plug-in (JPEG_EXIFROTATE).
    *out = ExifOrientation::apply(image, orientationOf(fif, bytes));
    return true;
}

} // namespace FreeImageLoader
