#include "KImageHeicDecoder.h"

#include <cstdio>
#include <memory>
#include <vector>

#include <libheif/heif.h>

#include <QFile>

#include "codec/DirectImageEncoder.h"
#include "codec/FrameMemory.h"
#include "codec/HeifFileCheck.h"
#include "codec/HeifLibrary.h"
#include "codec/HeifRgbPlanes.h"
#include "codec/ImageLimits.h"
#include "codec/PngEncoder.h"

namespace {

struct ContextDeleter
{
    void operator()(heif_context *context) const { heif_context_free(context); }
};
struct HandleDeleter
{
    void operator()(heif_image_handle *handle) const { heif_image_handle_release(handle); }
};
struct OptionsDeleter
{
    void operator()(heif_decoding_options *options) const { heif_decoding_options_free(options); }
};
using Context = std::unique_ptr<heif_context, ContextDeleter>;
using Handle = std::unique_ptr<heif_image_handle, HandleDeleter>;
using Options = std::unique_ptr<heif_decoding_options, OptionsDeleter>;

bool handleSizeAllowed(const heif_image_handle *handle)
{
    return ImageLimits::sizeAllowed(
        heif_image_handle_get_width(handle), heif_image_handle_get_height(handle));
}

qint64 pictureBytes(const heif_image_handle *handle, int bitDepth)
{
    return qint64(heif_image_handle_get_width(handle)) * heif_image_handle_get_height(handle)
        * (bitDepth > 8 ? 8 : 4);
}

} // namespace

KImageHeicDecoder::KImageHeicDecoder(KImageWrapper *wrapper)
    : KImageDecoderBase(wrapper)
{
}

KImageHeicDecoder::~KImageHeicDecoder() = default;

bool KImageHeicDecoder::decodeFile(const QString &path)
{
    m_frames.clear();
    QString missing;
    if (!HeifLibrary::load(&missing)) {
        setErrorString(missing);
        return false;
    }
    // Straight into toolkit images: the same pictures as the PNG round trip
    // (a test holds the two paths to the same bits), without a PNG encode and
    // decode and the memory of both.
    const DirectImageEncoder encoder;
    const QList<QImage> images = decodeHeifFile(path, encoder);
    bool any = false;
    for (const QImage &image : images) {
        m_frames.append(image);
        any = any || !image.isNull();
    }
    // Slots of failed pictures do not make a load: at least one picture
    // must have come through.
    if (!any)
        m_frames.clear();
    return any;
}

QImage KImageHeicDecoder::frameAt(int index)
{
    return index >= 0 && index < m_frames.size() ? m_frames[index] : QImage();
}

int KImageHeicDecoder::frameCount() const { return m_frames.size(); }

namespace {

// The file at path read into *bytes, checked, and opened by libheif (which
// reads from *bytes, so they must outlive the context). Null when it is not
// an HEIF file libheif can read; why goes to the standard error when report
// is set (a quiet look leaves that to the decode that follows it).
Context openHeifFile(const QString &path, QByteArray *bytes, bool report)
{
    const auto say = [report](const char *line) {
        if (report)
            fputs(line, stderr);
    };
    // Without libheif nothing below may run (decodeFile says why).
    if (!HeifLibrary::load())
        return Context();
    // libheif reads from our copy in memory, which is checked first.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > ImageLimits::kMaxFileBytes)
        return Context();
    *bytes = FrameMemory::readAll(&file);
    file.close();
    const QByteArray head = bytes->left(12);
    switch (heif_check_filetype(reinterpret_cast<const uint8_t *>(head.constData()), head.size())) {
    case heif_filetype_no:
        say("Input file is not an HEIF file\n");
        return Context();
    case heif_filetype_yes_unsupported:
        say("Input file is an unsupported HEIF file type\n");
        return Context();
    case heif_filetype_yes_supported:
    case heif_filetype_maybe:
        break;
    }
    if (head.size() < 12) {
        say("Input file is not an HEIF file\n");
        return Context();
    }

    if (!HeifFileCheck::isSound(*bytes)) {
        say("Could not read HEIF file: its boxes or item data lie outside the file\n");
        return Context();
    }

    Context context(heif_context_alloc());
    if (!context) {
        say("Could not create HEIF context\n");
        return Context();
    }
    const heif_error error = heif_context_read_from_memory_without_copy(
        context.get(), bytes->constData(), size_t(bytes->size()), nullptr);
    if (error.code != heif_error_Ok) {
        if (report)
            fprintf(stderr, "Could not read HEIF file: %s\n", error.message);
        return Context();
    }
    return context;
}

std::vector<heif_item_id> topLevelImages(heif_context *context, bool report)
{
    const int count = heif_context_get_number_of_top_level_images(context);
    if (count <= 0) {
        if (report)
            fputs("File doesn't contain any images\n", stderr);
        return {};
    }
    std::vector<heif_item_id> ids(static_cast<size_t>(count));
    const int listed = heif_context_get_list_of_top_level_image_IDs(context, ids.data(), count);
    ids.resize(size_t(qMax(0, listed)));
    return ids;
}

// Whether a picture's samples are JPEG's own: YCbCr with BT.601's matrix at
// full range. A picture without a colour description is read that way too.
bool hasJpegColourSpace(const heif_image_handle *handle)
{
    heif_color_profile_nclx *nclx = nullptr;
    if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok || !nclx)
        return true;
    const bool jpeg
        = (nclx->matrix_coefficients == heif_matrix_coefficients_ITU_R_BT_470_6_System_B_G
              || nclx->matrix_coefficients == heif_matrix_coefficients_ITU_R_BT_601_6)
        && nclx->full_range_flag;
    heif_nclx_color_profile_free(nclx);
    return jpeg;
}

void releaseHeifImage(heif_image *image) { heif_image_release(image); }

// The first picture of the file at path when it is opaque, 8 bits deep and
// within the size limits; *context (which reads from *bytes) must outlive it.
// Null otherwise, quietly: the whole decode says why.
Handle firstOpaque8BitPicture(const QString &path, QByteArray *bytes, Context *context)
{
    *context = openHeifFile(path, bytes, false);
    if (!*context)
        return Handle();
    const std::vector<heif_item_id> ids = topLevelImages(context->get(), false);
    heif_image_handle *rawHandle = nullptr;
    if (ids.empty()
        || heif_context_get_image_handle(context->get(), ids[0], &rawHandle).code != heif_error_Ok)
        return Handle();
    Handle handle(rawHandle);
    if (heif_image_handle_has_alpha_channel(handle.get())
        || heif_image_handle_get_luma_bits_per_pixel(handle.get()) != 8
        || heif_image_handle_get_chroma_bits_per_pixel(handle.get()) != 8
        || !handleSizeAllowed(handle.get()))
        return Handle();
    return handle;
}

// The facts a decoded frame of handle's picture would carry: its profile
// and the default resolution of a new image.
QImage frameFacts(const heif_image_handle *handle)
{
    QImage metadata(1, 1, QImage::Format_RGB32);
    DirectImageEncoder::attachColourSpace(handle, &metadata);
    return metadata;
}

} // namespace

namespace {

// handle's picture as its decoder's Y, Cb and Cr 4:2:0 planes of *size.
std::shared_ptr<heif_image> decodeYCbCr420(
    const heif_image_handle *handle, JpegWriter::Planes420 *planes, QSize *size)
{
    heif_image *rawImage = nullptr;
    if (heif_decode_image(handle, &rawImage, heif_colorspace_YCbCr, heif_chroma_420, nullptr).code
        != heif_error_Ok)
        return nullptr;
    std::shared_ptr<heif_image> image(rawImage, releaseHeifImage);
    const int width = heif_image_get_width(rawImage, heif_channel_Y);
    const int height = heif_image_get_height(rawImage, heif_channel_Y);
    if (heif_image_get_colorspace(rawImage) != heif_colorspace_YCbCr
        || heif_image_get_chroma_format(rawImage) != heif_chroma_420 || width <= 0 || height <= 0)
        return nullptr;
    const heif_channel channels[3] = { heif_channel_Y, heif_channel_Cb, heif_channel_Cr };
    for (int c = 0; c < 3; ++c) {
        const int planeWidth = c == 0 ? width : (width + 1) / 2;
        const int planeHeight = c == 0 ? height : (height + 1) / 2;
        int stride = 0;
        planes->data[c] = heif_image_get_plane_readonly(rawImage, channels[c], &stride);
        planes->stride[c] = stride;
        if (!planes->data[c] || stride < planeWidth
            || heif_image_get_bits_per_pixel_range(rawImage, channels[c]) != 8
            || heif_image_get_width(rawImage, channels[c]) != planeWidth
            || heif_image_get_height(rawImage, channels[c]) != planeHeight)
            return nullptr;
    }
    *size = QSize(width, height);
    return image;
}

// handle's picture as libheif's R, G and B planes.
std::shared_ptr<heif_image> decodeRgb(const heif_image_handle *handle, HeifRgbPlanes *planes)
{
    heif_image *rawImage = nullptr;
    if (heif_decode_image(handle, &rawImage, heif_colorspace_RGB, heif_chroma_444, nullptr).code
        != heif_error_Ok)
        return nullptr;
    std::shared_ptr<heif_image> image(rawImage, releaseHeifImage);
    return planes->read(rawImage) ? image : nullptr;
}

} // namespace

bool KImageHeicDecoder::decodePlanes(const QString &path, bool jpegSamples, Planes *planes)
{
    // One read and parse of the file serves either kind of planes.
    QByteArray bytes;
    Context context;
    const Handle handle = firstOpaque8BitPicture(path, &bytes, &context);
    if (!handle)
        return false;
    planes->isYCbCr = jpegSamples && hasJpegColourSpace(handle.get());
    planes->image = planes->isYCbCr ? decodeYCbCr420(handle.get(), &planes->ycbcr, &planes->size)
                                    : decodeRgb(handle.get(), &planes->rgb);
    if (!planes->image)
        return false;
    if (!planes->isYCbCr)
        planes->size = planes->rgb.size;
    planes->metadata = frameFacts(handle.get());
    return true;
}

QList<QImage> KImageHeicDecoder::decodeHeifFile(const QString &path, const Encoder &encoder)
{
    QList<QImage> images;
    QByteArray bytes;
    const Context context = openHeifFile(path, &bytes, true);
    if (!context)
        return images;
    const std::vector<heif_item_id> ids = topLevelImages(context.get(), true);
    if (ids.empty())
        return images;
    fprintf(stdout, "File contains %d images\n", int(ids.size()));
    heif_error error;

    qint64 used = 0;
    for (size_t i = 0; i < ids.size(); ++i) {
        heif_image_handle *rawHandle = nullptr;
        error = heif_context_get_image_handle(context.get(), ids[i], &rawHandle);
        if (error.code != heif_error_Ok) {
            fprintf(stderr, "Could not read HEIF image %d: %s\n", int(i), error.message);
            return images;
        }
        const Handle handle(rawHandle);
        const bool hasAlpha = heif_image_handle_has_alpha_channel(handle.get());
        Options options(heif_decoding_options_alloc());
        encoder.adjustDecodingOptions(handle.get(), options.get());
        const int bitDepth = heif_image_handle_get_luma_bits_per_pixel(handle.get());
        if (bitDepth < 0) {
            fputs("Input image has undefined bit-depth\n", stderr);
            return images;
        }
        // The size is known from the header; nothing larger is decoded, and
        // all pictures together stay within the decoder's memory budget.
        if (!handleSizeAllowed(handle.get())) {
            fprintf(stderr, "Could not decode HEIF image: %d: image too large\n", int(i));
            return images;
        }
        used += pictureBytes(handle.get(), bitDepth);
        if (used > ImageLimits::kMaxDecodedBytes) {
            fputs("Not decoding further images: memory budget reached\n", stderr);
            return images;
        }

        heif_image *rawImage = nullptr;
        error = heif_decode_image(handle.get(), &rawImage, encoder.colourSpaceFor(hasAlpha),
            encoder.chromaFor(hasAlpha, bitDepth), options.get());
        options.reset();
        if (error.code != heif_error_Ok) {
            fprintf(stderr, "Could not decode HEIF image: %d: %s\n", int(i), error.message);
            return images;
        }
        const QImage picture = encoder.takeImage(handle.get(), rawImage, QString());
        if (picture.isNull())
            fputs("could not write image\n", stderr);
        else
            fprintf(stdout, "Written to %s\n", "");
        images.append(picture);

        if (!heif_image_handle_has_depth_image(handle.get()))
            continue;
        heif_item_id depthId = 0;
        if (heif_image_handle_get_list_of_depth_image_IDs(handle.get(), &depthId, 1) < 1) {
            fputs("Could not read depth channel\n", stderr);
            return images;
        }
        heif_image_handle *rawDepth = nullptr;
        error = heif_image_handle_get_depth_image_handle(handle.get(), depthId, &rawDepth);
        if (error.code != heif_error_Ok) {
            fputs("Could not read depth channel\n", stderr);
            return images;
        }
        const Handle depthHandle(rawDepth);
        const int depthBits = heif_image_handle_get_luma_bits_per_pixel(depthHandle.get());
        if (depthBits < 0 || !handleSizeAllowed(depthHandle.get())) {
            fputs("Could not decode depth image: unsupported size or bit depth\n", stderr);
            return images;
        }
        used += pictureBytes(depthHandle.get(), depthBits);
        if (used > ImageLimits::kMaxDecodedBytes) {
            fputs("Not decoding further images: memory budget reached\n", stderr);
            return images;
        }
        heif_image *rawDepthImage = nullptr;
        error = heif_decode_image(depthHandle.get(), &rawDepthImage, encoder.colourSpaceFor(false),
            encoder.chromaFor(false, depthBits), nullptr);
        if (error.code != heif_error_Ok) {
            fprintf(stderr, "Could not decode depth image: %s\n", error.message);
            return images;
        }
        const QImage depthPicture = encoder.takeImage(depthHandle.get(), rawDepthImage, QString());
        if (depthPicture.isNull())
            fputs("could not write depth image\n", stderr);
        else
            images.append(depthPicture);
    }
    return images;
}
