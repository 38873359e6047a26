#pragma once

#include "codec/Encoder.h"

// Converts decoded HEIF pictures through a lossless PNG written in memory
// with libpng: interleaved RGB(A), 8 bits per channel for 8-bit pictures
// and 16 bits for deeper ones, whose 10 or 12-bit samples are widened to
// the full 16-bit range. The picture's ICC profile goes into the PNG, so
// the toolkit image carries it as its colour space. The file name is not
// used (nothing is written to disk).
class PngEncoder : public Encoder
{
public:
    heif_colorspace colourSpaceFor(bool hasAlpha) const override;
    heif_chroma chromaFor(bool hasAlpha, int bitDepth) const override;
    QImage toImage(const heif_image_handle *handle, const heif_image *image,
        const QString &fileName) const override;

    // v (a bitDepth-bit sample, 9..15 bits) spread over 0..65535 so that the
    // largest value maps to 65535. Values above the depth's range are taken
    // as its maximum.
    static quint16 widenSample(quint16 v, int bitDepth);
};
