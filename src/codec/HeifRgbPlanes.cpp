#include "HeifRgbPlanes.h"

#include <libheif/heif.h>

#include <QRgb>

bool HeifRgbPlanes::read(const heif_image *image)
{
    if (!image || heif_image_get_colorspace(image) != heif_colorspace_RGB
        || heif_image_get_chroma_format(image) != heif_chroma_444)
        return false;
    static const heif_channel channels[3] = { heif_channel_R, heif_channel_G, heif_channel_B };
    const QSize whole(
        heif_image_get_width(image, channels[0]), heif_image_get_height(image, channels[0]));
    if (whole.isEmpty())
        return false;
    HeifRgbPlanes planes;
    for (int c = 0; c < 3; ++c) {
        planes.data[c] = heif_image_get_plane_readonly(image, channels[c], &planes.stride[c]);
        if (!planes.data[c] || planes.stride[c] < whole.width()
            || heif_image_get_bits_per_pixel_range(image, channels[c]) != 8
            || heif_image_get_width(image, channels[c]) != whole.width()
            || heif_image_get_height(image, channels[c]) != whole.height())
            return false;
    }
    planes.size = whole;
    *this = planes;
    return true;
}

void HeifRgbPlanes::fillRows(uchar *const *rows, int first, int count) const
{
    const int width = size.width();
    for (int i = 0; i < count; ++i) {
        const qsizetype y = first + i;
        const uchar *r = data[0] + y * stride[0];
        const uchar *g = data[1] + y * stride[1];
        const uchar *b = data[2] + y * stride[2];
        auto *out = reinterpret_cast<QRgb *>(rows[i]);
        for (int x = 0; x < width; ++x)
            out[x] = qRgb(r[x], g[x], b[x]);
    }
}
