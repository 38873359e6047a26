#pragma once

#include <QRectF>
#include <QSizeF>

// Where an image goes on an A4 page of the image-to-PDF converter: inside the
// 535 x 762 point box whose lower left corner is at (30, 40), at its natural
// size at 96 dpi when that fits, otherwise scaled down keeping its aspect
// ratio, and centred in the box. Pure, any thread.
namespace PdfPageLayout {

constexpr double kPageWidth = 595.0;
constexpr double kPageHeight = 842.0;
constexpr double kBoxX = 30.0;
constexpr double kBoxY = 40.0;
constexpr double kBoxWidth = 535.0;
constexpr double kBoxHeight = 762.0;
constexpr double kImageDpi = 96.0;

// The PDF image matrix [a b c d e f] that maps the image's unit square onto
// the page.
struct Placement
{
    QRectF area; // the image as seen on the page, in PDF points (y upwards)
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
};

// pixelWidth x pixelHeight as stored in the file; orientation is the EXIF
// orientation (1..8) that turns the stored image upright. Orientations 5 to 8
// swap width and height on the page.
Placement placeImage(int pixelWidth, int pixelHeight, int orientation = 1);

} // namespace PdfPageLayout
