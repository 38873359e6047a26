#pragma once

#include <QImage>
#include <QString>

// Camera RAW files developed by LibRaw for showing and converting: 8 bits a
// sample on the BT.709 curve, the camera's white balance (the picture's own
// average where it has none), the camera's colour matrix, AHD interpolation,
// no automatic brightening; the picture turned as the camera held it. These
// are the settings of FreeImage's RAW plug-in for a picture to display, and
// the result is its picture pixel for pixel, with the program's quarter more
// brightness (FreeImage_AdjustBrightness(25)) applied on the way.
//
// LibRaw writes its result straight into the 32-bit frame, three bytes a
// pixel, which are spread to four in place: no picture in between, where the
// plug-in holds a 24-bit copy and turns it upside down.
namespace RawDeveloper {

// The default resolution FreeImage gives a new picture (72 dpi).
constexpr int kDotsPerMeter = 2835;

// Develops the RAW file at path into *image (ARGB32, opaque, with the
// file's ICC profile as its colour space when it has one). False when LibRaw
// cannot open, unpack or develop it, or the result is larger than the
// program takes; *error (when given) says which.
bool develop(const QString &path, QImage *image, QString *error = nullptr);

} // namespace RawDeveloper
