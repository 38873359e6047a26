#pragma once

#include <QByteArray>

class QImage;

// Lossless sample data for PDF image objects made from decoded images: the
// smallest exact layout (1-bit black and white, 8-bit gray or 8-bit RGB) and
// a separate 8-bit alpha plane for the soft mask, each Flate-compressed with
// per-row PNG predictors (/Predictor 15). Pure, any thread.
namespace PdfPixelEncoder {

struct Plane
{
    int width = 0;
    int height = 0;
    int components = 0; // 1 or 3
    int bitsPerComponent = 8; // 1 or 8
    QByteArray flateData;
};

struct Encoded
{
    Plane colour;
    bool hasAlpha = false; // some pixel is not fully opaque; alpha is then filled
    Plane alpha;
    QByteArray iccProfile; // the image's own profile (RGB), empty when it has none
};

Encoded encode(const QImage &image);

} // namespace PdfPixelEncoder
