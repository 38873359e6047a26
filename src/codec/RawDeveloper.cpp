#include "RawDeveloper.h"

#include <cmath>
#include <cstring>
#include <memory>

#include <libraw.h>

#include <QColorSpace>
#include <QFile>

#include "codec/FrameMemory.h"
#include "codec/ImageLimits.h"

namespace {

// Camera pictures come out of LibRaw a quarter darker than the program shows
// them; this is FreeImage_AdjustBrightness(25)'s table.
struct BrightnessTable
{
    uchar level[256];
    BrightnessTable()
    {
        for (int i = 0; i < 256; ++i)
            level[i] = uchar(std::floor(qBound(0.0, i * 1.25, 255.0) + 0.5));
    }
};

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

// An embedded profile as the colour space; CMYK ones describe no RGB picture.
QColorSpace colourSpaceOf(const LibRaw &raw)
{
    const auto *profile = static_cast<const char *>(raw.imgdata.color.profile);
    const unsigned length = raw.imgdata.color.profile_length;
    if (!profile || length < 20 || length > (64u << 20))
        return QColorSpace();
    const QByteArray icc(profile, int(length));
    if (icc.mid(16, 4) == "CMYK")
        return QColorSpace();
    return QColorSpace::fromIccProfile(icc);
}

void releaseRaw(void *raw) { delete static_cast<LibRaw *>(raw); }

} // namespace

namespace RawDeveloper {

bool develop(const QString &path, QImage *image, QString *error)
{
    // LibRaw's state is large (hundreds of KB): not on the stack.
    auto raw = std::make_unique<LibRaw>();
    libraw_output_params_t &params = raw->imgdata.params;
    params.shot_select = 0;
    params.use_camera_wb = 1;
    params.use_camera_matrix = 1;
    params.half_size = 0;
    if (raw->open_file(QFile::encodeName(path).constData()) != LIBRAW_SUCCESS)
        return fail(error, QStringLiteral("LibRaw cannot open it"));
    // Nothing is unpacked for a picture larger than the program takes.
    const int rawWidth = raw->imgdata.sizes.width;
    const int rawHeight = raw->imgdata.sizes.height;
    if (!ImageLimits::sizeAllowed(rawWidth, rawHeight))
        return fail(error, ImageLimits::tooLargeReason(rawWidth, rawHeight));

    params.output_bps = 8;
    params.gamm[0] = 1 / 2.222;
    params.gamm[1] = 4.5;
    params.no_auto_bright = 1;
    params.user_qual = 3;
    if (raw->unpack() != LIBRAW_SUCCESS)
        return fail(error, QStringLiteral("LibRaw cannot unpack it"));
    // The plug-in's settings ask for the camera's white balance and for an
    // automatic one. LibRaw works the automatic one out over the whole
    // picture first and then replaces it with the camera's whenever the
    // camera gave red and blue multipliers: only a picture without them needs
    // the average (the same pixels, without a pass over the picture).
    const float *camera = raw->imgdata.color.cam_mul;
    params.use_auto_wb = camera[0] > 0 && camera[2] > 0 ? 0 : 1;
    if (raw->dcraw_process() != LIBRAW_SUCCESS)
        return fail(error, QStringLiteral("LibRaw cannot develop it"));

    int width = 0;
    int height = 0;
    int colours = 0;
    int sampleBits = 0;
    raw->get_mem_image_format(&width, &height, &colours, &sampleBits);
    if (colours != 3 || sampleBits != 8 || width <= 0 || height <= 0)
        return fail(error, QStringLiteral("LibRaw gives no three-colour picture"));
    if (!ImageLimits::sizeAllowed(width, height))
        return fail(error, ImageLimits::tooLargeReason(width, height));

    // An upright picture is written over LibRaw's own 16-bit, four-channel
    // picture, which is twice the size of the frame and is read in the same
    // order as it is written: the frame needs no memory of its own. Turned
    // pictures are read in another order and get a frame of their own.
    const libraw_image_sizes_t &sizes = raw->imgdata.sizes;
    const bool inPlace
        = sizes.flip == 0 && sizes.iwidth == width && sizes.iheight == height && raw->imgdata.image;
    const QColorSpace colourSpace = colourSpaceOf(*raw);
    QImage frame;
    uchar *bits = nullptr;
    const int stride = width * 4;
    ushort first[4] = {};
    if (inPlace) {
        bits = reinterpret_cast<uchar *>(raw->imgdata.image);
        // The one sample written before it is read: the first pixel's.
        std::memcpy(first, raw->imgdata.image[0], sizeof first);
    } else {
        frame = FrameMemory::allocate(QSize(width, height), QImage::Format_ARGB32);
        if (frame.isNull())
            return fail(error, QStringLiteral("not enough memory for the picture"));
        bits = frame.bits();
    }

    // Blue, green and red bytes at the start of each 32-bit row, then spread
    // from the right end so that no byte is overwritten before it is read.
    if (raw->copy_mem_image(bits, stride, 1) != LIBRAW_SUCCESS)
        return fail(error, QStringLiteral("LibRaw cannot hand over the picture"));
    if (inPlace) {
        // Through the curve the copy used, as it does.
        const ushort *curve = raw->imgdata.color.curve;
        bits[0] = uchar(curve[first[2]] >> 8);
        bits[1] = uchar(curve[first[1]] >> 8);
        bits[2] = uchar(curve[first[0]] >> 8);
    }
    static const BrightnessTable brighter;
    const uchar *level = brighter.level;
    for (int y = 0; y < height; ++y) {
        uchar *row = bits + qsizetype(y) * stride;
        for (int x = width - 1; x >= 0; --x) {
            const uchar *in = row + 3 * x;
            uchar *out = row + 4 * x;
            const uchar b = level[in[0]];
            const uchar g = level[in[1]];
            const uchar r = level[in[2]];
            out[0] = b;
            out[1] = g;
            out[2] = r;
            out[3] = 0xFF;
        }
    }
    if (inPlace) {
        // The frame keeps LibRaw, and with it the memory, until it goes.
        LibRaw *owner = raw.release();
        frame = QImage(bits, width, height, stride, QImage::Format_ARGB32, releaseRaw, owner);
        if (frame.isNull()) {
            releaseRaw(owner);
            return fail(error, QStringLiteral("not enough memory for the picture"));
        }
    }
    frame.setDotsPerMeterX(kDotsPerMeter);
    frame.setDotsPerMeterY(kDotsPerMeter);
    frame.setColorSpace(colourSpace);
    *image = frame;
    return true;
}

} // namespace RawDeveloper
