#pragma once

#include <libheif/heif.h>

#include <QImage>
#include <QString>

// How the HEIF routine turns a decoded libheif picture into a toolkit image:
// which colour space and chroma to ask libheif for, and the conversion
// itself. Stateless; one instance may serve several pictures, in one thread.
class Encoder
{
public:
    virtual ~Encoder();

    virtual heif_colorspace colourSpaceFor(bool hasAlpha) const = 0;
    virtual heif_chroma chromaFor(bool hasAlpha, int bitDepth) const = 0;
    // Lets a strategy change libheif's decoding options; nothing by default.
    virtual void adjustDecodingOptions(
        const heif_image_handle *handle, heif_decoding_options *options) const;
    // A null image when the conversion fails.
    virtual QImage toImage(const heif_image_handle *handle, const heif_image *image,
        const QString &fileName) const = 0;
    // The same, taking image over (it is released here or by the result,
    // which may keep using its pixels); by default toImage() then release.
    virtual QImage takeImage(
        const heif_image_handle *handle, heif_image *image, const QString &fileName) const;
};
