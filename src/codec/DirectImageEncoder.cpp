#include "DirectImageEncoder.h"

#include <QColorSpace>
#include <QtEndian>

#include "codec/FrameMemory.h"
#include "codec/HeifRgbPlanes.h"
#include "codec/PngEncoder.h"

heif_colorspace DirectImageEncoder::colourSpaceFor(bool hasAlpha) const
{
    return PngEncoder().colourSpaceFor(hasAlpha);
}

heif_chroma DirectImageEncoder::chromaFor(bool hasAlpha, int bitDepth) const
{
    // Opaque 8-bit pictures are asked for as planes: libheif makes its
    // interleaved RGB from these very planes in a pass of its own, with a
    // copy of the picture held beside them.
    if (!hasAlpha && bitDepth == 8)
        return heif_chroma_444;
    return PngEncoder().chromaFor(hasAlpha, bitDepth);
}

void DirectImageEncoder::attachColourSpace(const heif_image_handle *handle, QImage *image)
{
    const size_t iccSize = heif_image_handle_get_raw_color_profile_size(handle);
    if (iccSize > 0 && iccSize < (1u << 26)) {
        QByteArray icc(int(iccSize), Qt::Uninitialized);
        if (heif_image_handle_get_raw_color_profile(handle, icc.data()).code == heif_error_Ok)
            image->setColorSpace(QColorSpace::fromIccProfile(icc));
    }
}

namespace {

void releaseImage(void *image) { heif_image_release(static_cast<heif_image *>(image)); }

} // namespace

QImage DirectImageEncoder::takeImage(
    const heif_image_handle *handle, heif_image *image, const QString &fileName) const
{
    const int width = heif_image_get_width(image, heif_channel_interleaved);
    const int height = heif_image_get_height(image, heif_channel_interleaved);
    int stride = 0;
    uint8_t *plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    if (heif_image_get_chroma_format(image) != heif_chroma_interleaved_RGBA || !plane || width <= 0
        || height <= 0 || heif_image_get_bits_per_pixel_range(image, heif_channel_interleaved) != 8
        || stride < width * 4 || stride % 4 != 0)
        return Encoder::takeImage(handle, image, fileName);

    // R, G, B, A bytes become the words 0xAARRGGBB of RGB32. Without
    // an alpha channel the fourth byte is made opaque, as RGB32 needs.
    const bool hasAlpha = heif_image_handle_has_alpha_channel(handle);
    for (int y = 0; y < height; ++y) {
        auto *pixel = reinterpret_cast<quint32 *>(plane + qsizetype(y) * stride);
        for (int x = 0; x < width; ++x) {
            const quint32 rgba = qFromLittleEndian(pixel[x]); // 0xAABBGGRR
            const quint32 alpha = hasAlpha ? rgba & 0xff000000u : 0xff000000u;
            pixel[x] = alpha | ((rgba & 0xff) << 16) | (rgba & 0xff00) | ((rgba >> 16) & 0xff);
        }
    }
    QImage result(plane, width, height, stride,
        hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32, releaseImage, image);
    if (result.isNull()) {
        heif_image_release(image);
        return QImage();
    }
    attachColourSpace(handle, &result);
    return result;
}

QImage DirectImageEncoder::toImage(
    const heif_image_handle *handle, const heif_image *image, const QString &fileName) const
{
    Q_UNUSED(fileName)
    HeifRgbPlanes planes;
    if (planes.read(image)) {
        QImage result = FrameMemory::allocate(planes.size, QImage::Format_RGB32);
        if (result.isNull())
            return QImage();
        for (int y = 0; y < planes.size.height(); ++y) {
            uchar *row = result.scanLine(y);
            planes.fillRows(&row, y, 1);
        }
        attachColourSpace(handle, &result);
        return result;
    }

    const heif_chroma chroma = heif_image_get_chroma_format(image);
    const bool hasAlpha
        = chroma == heif_chroma_interleaved_RGBA || chroma == heif_chroma_interleaved_RRGGBBAA_BE;
    const bool sixteen = chroma == heif_chroma_interleaved_RRGGBB_BE
        || chroma == heif_chroma_interleaved_RRGGBBAA_BE;
    if (!hasAlpha && !sixteen && chroma != heif_chroma_interleaved_RGB)
        return QImage();

    const int width = heif_image_get_width(image, heif_channel_interleaved);
    const int height = heif_image_get_height(image, heif_channel_interleaved);
    const int depth = heif_image_get_bits_per_pixel_range(image, heif_channel_interleaved);
    int stride = 0;
    const uint8_t *plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
    if (!plane || width <= 0 || height <= 0 || depth <= 0 || depth > 16)
        return QImage();
    // An 8-bit layout with deeper samples cannot be told apart by the PNG
    // path either; it refuses it the same way.
    if (depth >= 9 && !sixteen)
        return QImage();
    const int channels = hasAlpha ? 4 : 3;
    const qsizetype rowBytes = qsizetype(width) * channels * (sixteen ? 2 : 1);
    if (stride < rowBytes)
        return QImage();

    QImage result;
    if (!sixteen) {
        result = FrameMemory::allocate(
            QSize(width, height), hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (result.isNull())
            return QImage();
        for (int y = 0; y < height; ++y) {
            const uint8_t *src = plane + qsizetype(y) * stride;
            auto *dst = reinterpret_cast<QRgb *>(result.scanLine(y));
            if (hasAlpha) {
                for (int x = 0; x < width; ++x, src += 4)
                    dst[x] = qRgba(src[0], src[1], src[2], src[3]);
            } else {
                for (int x = 0; x < width; ++x, src += 3)
                    dst[x] = qRgb(src[0], src[1], src[2]);
            }
        }
    } else {
        result = QImage(width, height, hasAlpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
        if (result.isNull())
            return QImage();
        // The PNG step stores 16-bit samples, widened when the picture has
        // fewer bits; alpha in a picture without it is opaque.
        const int bits = depth < 16 ? depth : 16;
        auto sample = [bits](const uint8_t *p) {
            return PngEncoder::widenSample(quint16((p[0] << 8) | p[1]), bits);
        };
        for (int y = 0; y < height; ++y) {
            const uint8_t *src = plane + qsizetype(y) * stride;
            auto *dst = reinterpret_cast<QRgba64 *>(result.scanLine(y));
            for (int x = 0; x < width; ++x, src += channels * 2)
                dst[x] = QRgba64::fromRgba64(sample(src), sample(src + 2), sample(src + 4),
                    hasAlpha ? sample(src + 6) : 65535);
        }
    }

    attachColourSpace(handle, &result);
    return result;
}
