#pragma once

#include <QSize>
#include <QtGlobal>

struct heif_image;

// The 8-bit R, G and B planes of a picture libheif decoded as planar RGB
// (heif_chroma_444), and the RGB32 rows they make. libheif's interleaved
// pictures are these very planes put side by side, so rows made here are
// bit for bit the ones libheif would give, without its interleaved copy.
// The planes belong to the image they were read from.
struct HeifRgbPlanes
{
    const uchar *data[3] = {}; // R, G, B
    int stride[3] = {};
    QSize size;

    // Reads image's planes; false (and nothing kept) unless it is an RGB
    // 4:4:4 picture of three 8-bit planes of one size.
    bool read(const heif_image *image);
    // Fills count rows of RGB32 pixels (opaque) from row first on.
    void fillRows(uchar *const *rows, int first, int count) const;
};
