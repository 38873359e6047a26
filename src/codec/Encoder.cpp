#include "Encoder.h"

Encoder::~Encoder() = default;

void Encoder::adjustDecodingOptions(
    const heif_image_handle *handle, heif_decoding_options *options) const
{
    Q_UNUSED(handle)
    Q_UNUSED(options)
}
