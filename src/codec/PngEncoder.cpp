#include "PngEncoder.h"

#include <csetjmp>
#include <cstdio>
#include <limits>
#include <new>
#include <vector>

#include <png.h>

#include <QByteArray>

namespace {

struct PngWriteJob
{
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 8;
    int colorType = PNG_COLOR_TYPE_RGB;
    png_bytep *rows = nullptr;
    const png_byte *icc = nullptr;
    png_uint_32 iccSize = 0;
    QByteArray *out = nullptr;
};

struct WriteTarget
{
    QByteArray *out = nullptr;
    bool failed = false;
};

void appendToBuffer(png_structp png, png_bytep data, png_size_t length)
{
    auto *target = static_cast<WriteTarget *>(png_get_io_ptr(png));
    try {
        if (length > size_t(std::numeric_limits<int>::max() - target->out->size()))
            target->failed = true;
        else
            target->out->append(reinterpret_cast<const char *>(data), int(length));
    } catch (const std::bad_alloc &) {
        target->failed = true;
    }
    // Raised outside the handler: libpng leaves by longjmp.
    if (target->failed)
        png_error(png, "Write Error");
}

void flushNothing(png_structp) { }

[[noreturn]] void jumpOnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void ignoreWarning(png_structp, png_const_charp) { }

// Only trivially destructible locals live in this frame: libpng reports
// errors by longjmp back to the setjmp below.
bool writePng(const PngWriteJob &job)
{
    png_structp png
        = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, jumpOnError, ignoreWarning);
    if (!png) {
        fputs("libpng initialization failed (1)\n", stderr);
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        fputs("libpng initialization failed (2)\n", stderr);
        return false;
    }
    WriteTarget target { job.out, false };
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fputs("Error while encoding image\n", stderr);
        return false;
    }
    // A malformed embedded profile is dropped rather than failing the picture.
    png_set_benign_errors(png, 1);
    png_set_write_fn(png, &target, appendToBuffer, flushNothing);
    png_set_IHDR(png, info, job.width, job.height, job.bitDepth, job.colorType, PNG_INTERLACE_NONE,
        PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // The PNG lives only until the toolkit has read it back: stored rather
    // than compressed, it costs memory for a moment instead of seconds of
    // zlib work per photo.
    png_set_compression_level(png, 0);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    if (job.icc && job.iccSize > 0)
        png_set_iCCP(png, info, "unknown", PNG_COMPRESSION_TYPE_BASE, job.icc, job.iccSize);
    png_write_info(png, info);
    png_write_image(png, job.rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

heif_colorspace PngEncoder::colourSpaceFor(bool hasAlpha) const
{
    Q_UNUSED(hasAlpha)
    return heif_colorspace_RGB;
}

heif_chroma PngEncoder::chromaFor(bool hasAlpha, int bitDepth) const
{
    if (bitDepth == 8)
        return hasAlpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
    return hasAlpha ? heif_chroma_interleaved_RRGGBBAA_BE : heif_chroma_interleaved_RRGGBB_BE;
}

quint16 PngEncoder::widenSample(quint16 v, int bitDepth)
{
    if (bitDepth <= 8 || bitDepth >= 16)
        return v;
    const quint32 max = (1u << bitDepth) - 1;
    const quint32 value = qMin<quint32>(v, max);
    // Bit replication: the top bits fill the low end, so max -> 65535.
    return quint16((value << (16 - bitDepth)) | (value >> (2 * bitDepth - 16)));
}

QImage PngEncoder::toImage(
    const heif_image_handle *handle, const heif_image *image, const QString &fileName) const
{
    Q_UNUSED(fileName)
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
    const int channels = hasAlpha ? 4 : 3;
    const int pngDepth = depth < 9 ? 8 : 16;
    const size_t rowBytes = size_t(width) * channels * (sixteen ? 2 : 1);
    if (pngDepth == 16 && !sixteen)
        return QImage();
    if (size_t(stride) < rowBytes)
        return QImage();

    std::vector<png_bytep> rows(static_cast<size_t>(height));
    std::vector<png_byte> widened;
    try {
        if (pngDepth == 16 && depth < 16) {
            // The plane belongs to libheif and is read-only: widen a copy.
            widened.resize(rowBytes * size_t(height));
            for (int y = 0; y < height; ++y) {
                const uint8_t *src = plane + size_t(y) * size_t(stride);
                png_byte *dst = widened.data() + size_t(y) * rowBytes;
                for (size_t i = 0; i + 1 < rowBytes; i += 2) {
                    const quint16 v = widenSample(quint16((src[i] << 8) | src[i + 1]), depth);
                    dst[i] = png_byte(v >> 8);
                    dst[i + 1] = png_byte(v & 0xFF);
                }
                rows[size_t(y)] = dst;
            }
        } else {
            for (int y = 0; y < height; ++y)
                rows[size_t(y)] = const_cast<png_bytep>(plane + size_t(y) * size_t(stride));
        }
    } catch (const std::bad_alloc &) {
        return QImage();
    }

    QByteArray icc;
    const size_t iccSize = heif_image_handle_get_raw_color_profile_size(handle);
    if (iccSize > 0 && iccSize < (1u << 26)) {
        icc.resize(int(iccSize));
        if (heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok)
            icc.clear();
    }

    QByteArray encoded;
    PngWriteJob job;
    job.width = png_uint_32(width);
    job.height = png_uint_32(height);
    job.bitDepth = pngDepth;
    job.colorType = hasAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB;
    job.rows = rows.data();
    job.icc = reinterpret_cast<const png_byte *>(icc.constData());
    job.iccSize = png_uint_32(icc.size());
    job.out = &encoded;
    if (!writePng(job))
        return QImage();
    QImage result;
    if (!result.loadFromData(encoded))
        return QImage();
    return result;
}
