#include "HeifLibrary.h"

#include <libheif/heif.h>

#include "codec/LazyLibrary.h"

#ifndef QUORVEL_HEIF_SONAME
#error "QUORVEL_HEIF_SONAME names the libheif the program was built against"
#endif

namespace {

LazyLibrary &heifLibrary()
{
    static LazyLibrary library(
        QByteArrayLiteral(QUORVEL_HEIF_SONAME), QStringLiteral("HEIF support (libheif)"));
    return library;
}

} // namespace

namespace HeifLibrary {

bool load(QString *why) { return heifLibrary().load(why); }

} // namespace HeifLibrary

// The part of heif.h the codec layer uses. A call of a function missing here
// is a link error, not a silent start-up dependency.
#define HEIF_FUNCTION(result, name, parameters, args)                                              \
    QUORVEL_LAZY_FUNCTION(heifLibrary(), result, name, parameters, args)

HEIF_FUNCTION(
    heif_filetype_result, heif_check_filetype, (const uint8_t *data, int len), (data, len))
HEIF_FUNCTION(heif_context *, heif_context_alloc, (), ())
HEIF_FUNCTION(void, heif_context_free, (heif_context * context), (context))
HEIF_FUNCTION(heif_error, heif_context_read_from_memory_without_copy,
    (heif_context * context, const void *mem, size_t size, const heif_reading_options *options),
    (context, mem, size, options))
HEIF_FUNCTION(int, heif_context_get_number_of_top_level_images, (heif_context * context), (context))
HEIF_FUNCTION(int, heif_context_get_list_of_top_level_image_IDs,
    (heif_context * context, heif_item_id *ids, int count), (context, ids, count))
HEIF_FUNCTION(heif_error, heif_context_get_image_handle,
    (heif_context * context, heif_item_id id, heif_image_handle **handle), (context, id, handle))

HEIF_FUNCTION(void, heif_image_handle_release, (const heif_image_handle *handle), (handle))
HEIF_FUNCTION(int, heif_image_handle_get_width, (const heif_image_handle *handle), (handle))
HEIF_FUNCTION(int, heif_image_handle_get_height, (const heif_image_handle *handle), (handle))
HEIF_FUNCTION(int, heif_image_handle_has_alpha_channel, (const heif_image_handle *handle), (handle))
HEIF_FUNCTION(
    int, heif_image_handle_get_luma_bits_per_pixel, (const heif_image_handle *handle), (handle))
HEIF_FUNCTION(
    int, heif_image_handle_get_chroma_bits_per_pixel, (const heif_image_handle *handle), (handle))
HEIF_FUNCTION(int, heif_image_handle_has_depth_image, (const heif_image_handle *handle), (handle))
HEIF_FUNCTION(int, heif_image_handle_get_list_of_depth_image_IDs,
    (const heif_image_handle *handle, heif_item_id *ids, int count), (handle, ids, count))
HEIF_FUNCTION(heif_error, heif_image_handle_get_depth_image_handle,
    (const heif_image_handle *handle, heif_item_id id, heif_image_handle **depth),
    (handle, id, depth))
HEIF_FUNCTION(heif_error, heif_image_handle_get_nclx_color_profile,
    (const heif_image_handle *handle, heif_color_profile_nclx **nclx), (handle, nclx))
HEIF_FUNCTION(void, heif_nclx_color_profile_free, (heif_color_profile_nclx * nclx), (nclx))
HEIF_FUNCTION(size_t, heif_image_handle_get_raw_color_profile_size,
    (const heif_image_handle *handle), (handle))
HEIF_FUNCTION(heif_error, heif_image_handle_get_raw_color_profile,
    (const heif_image_handle *handle, void *data), (handle, data))

HEIF_FUNCTION(heif_decoding_options *, heif_decoding_options_alloc, (), ())
HEIF_FUNCTION(void, heif_decoding_options_free, (heif_decoding_options * options), (options))
HEIF_FUNCTION(heif_error, heif_decode_image,
    (const heif_image_handle *handle, heif_image **image, heif_colorspace colourSpace,
        heif_chroma chroma, const heif_decoding_options *options),
    (handle, image, colourSpace, chroma, options))

HEIF_FUNCTION(void, heif_image_release, (const heif_image *image), (image))
HEIF_FUNCTION(heif_colorspace, heif_image_get_colorspace, (const heif_image *image), (image))
HEIF_FUNCTION(heif_chroma, heif_image_get_chroma_format, (const heif_image *image), (image))
HEIF_FUNCTION(
    int, heif_image_get_width, (const heif_image *image, heif_channel channel), (image, channel))
HEIF_FUNCTION(
    int, heif_image_get_height, (const heif_image *image, heif_channel channel), (image, channel))
HEIF_FUNCTION(int, heif_image_get_bits_per_pixel_range,
    (const heif_image *image, heif_channel channel), (image, channel))
HEIF_FUNCTION(uint8_t *, heif_image_get_plane,
    (heif_image * image, heif_channel channel, int *stride), (image, channel, stride))
HEIF_FUNCTION(const uint8_t *, heif_image_get_plane_readonly,
    (const heif_image *image, heif_channel channel, int *stride), (image, channel, stride))
