#include "FreeImageLibrary.h"

#include <FreeImage.h>

#include "codec/LazyLibrary.h"

#ifndef QUORVEL_FREEIMAGE_SONAME
#error "QUORVEL_FREEIMAGE_SONAME names the FreeImage the program was built against"
#endif

namespace {

LazyLibrary &freeImageLibrary()
{
    static LazyLibrary library(
        QByteArrayLiteral(QUORVEL_FREEIMAGE_SONAME), QStringLiteral("FreeImage"));
    return library;
}

} // namespace

namespace FreeImageLibrary {

bool load(QString *why) { return freeImageLibrary().load(why); }

} // namespace FreeImageLibrary

// The part of FreeImage.h the program's own process uses.
#define FREEIMAGE_FUNCTION(result, name, parameters, args)                                         \
    QUORVEL_LAZY_FUNCTION(freeImageLibrary(), result, name, parameters, args)

FREEIMAGE_FUNCTION(FIBITMAP *, FreeImage_Load,
    (FREE_IMAGE_FORMAT format, const char *fileName, int flags), (format, fileName, flags))
FREEIMAGE_FUNCTION(FIBITMAP *, FreeImage_Allocate,
    (int width, int height, int bpp, unsigned red, unsigned green, unsigned blue),
    (width, height, bpp, red, green, blue))
FREEIMAGE_FUNCTION(FIBITMAP *, FreeImage_Clone, (FIBITMAP * bitmap), (bitmap))
FREEIMAGE_FUNCTION(void, FreeImage_Unload, (FIBITMAP * bitmap), (bitmap))
FREEIMAGE_FUNCTION(unsigned, FreeImage_GetWidth, (FIBITMAP * bitmap), (bitmap))
FREEIMAGE_FUNCTION(unsigned, FreeImage_GetHeight, (FIBITMAP * bitmap), (bitmap))
FREEIMAGE_FUNCTION(
    BYTE *, FreeImage_GetScanLine, (FIBITMAP * bitmap, int scanline), (bitmap, scanline))
FREEIMAGE_FUNCTION(FIBITMAP *, FreeImage_ConvertTo24Bits, (FIBITMAP * bitmap), (bitmap))
FREEIMAGE_FUNCTION(
    BOOL, FreeImage_AdjustBrightness, (FIBITMAP * bitmap, double percentage), (bitmap, percentage))
FREEIMAGE_FUNCTION(
    BOOL, FreeImage_AdjustContrast, (FIBITMAP * bitmap, double percentage), (bitmap, percentage))
FREEIMAGE_FUNCTION(FIBITMAP *, FreeImage_Rotate,
    (FIBITMAP * bitmap, double angle, const void *background), (bitmap, angle, background))
FREEIMAGE_FUNCTION(BOOL, FreeImage_FlipHorizontal, (FIBITMAP * bitmap), (bitmap))
FREEIMAGE_FUNCTION(BOOL, FreeImage_FlipVertical, (FIBITMAP * bitmap), (bitmap))
