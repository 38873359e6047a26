#include "Encoder.h"

Encoder::~Encoder() = default;

void Encoder::adjustDecodingOptions(
    const heif_image_handle *handle, heif_decoding_options *options) const
{
    Q_UNUSED(handle)
    Q_UNUSED(options)
}

QImage Encoder::takeImage(
    const heif_image_handle *handle, heif_image *image, const QString &fileName) const
{
    const QImage result = toImage(handle, image, fileName);
    heif_image_release(image);
    return result;
}
