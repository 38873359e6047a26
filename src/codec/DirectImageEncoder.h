#pragma once

#include "codec/Encoder.h"

// Converts decoded HEIF pictures straight into toolkit images, with the same
// result as the PNG round trip of PngEncoder (same formats, samples and
// colour space) but without encoding and decoding a PNG: 8-bit pictures
// become RGB32 (ARGB32 with alpha), deeper ones RGBX64 (RGBA64) with their
// 10 or 12-bit samples widened to 16 bits the same way. The ICC profile
// becomes the colour space. The file name is not used.
//
// Pictures with alpha come from libheif as RGBA, whose four bytes a pixel
// are an ARGB32 pixel's once red and blue change places: takeImage() does
// that in libheif's own buffer and hands it out as the image, with no second
// copy. Opaque 8-bit pictures come as three planes of R, G and B, which are
// put side by side into a frame of large pages: asking libheif for
// interleaved RGB or RGBA instead makes it interleave them itself, into a
// third picture held beside its planes and its decoder's samples, only for
// that to be copied once more.
class DirectImageEncoder : public Encoder
{
public:
    heif_colorspace colourSpaceFor(bool hasAlpha) const override;
    heif_chroma chromaFor(bool hasAlpha, int bitDepth) const override;
    QImage toImage(const heif_image_handle *handle, const heif_image *image,
        const QString &fileName) const override;
    QImage takeImage(
        const heif_image_handle *handle, heif_image *image, const QString &fileName) const override;

    // Gives image the ICC profile of handle's picture as its colour space.
    static void attachColourSpace(const heif_image_handle *handle, QImage *image);
};
