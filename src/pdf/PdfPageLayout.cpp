#include "PdfPageLayout.h"

#include <algorithm>

namespace PdfPageLayout {

Placement placeImage(int pixelWidth, int pixelHeight, int orientation)
{
    if (orientation < 1 || orientation > 8)
        orientation = 1;
    const bool swapped = orientation >= 5;
    const double shownWidth = (swapped ? pixelHeight : pixelWidth) * 72.0 / kImageDpi;
    const double shownHeight = (swapped ? pixelWidth : pixelHeight) * 72.0 / kImageDpi;

    double scale = 1.0;
    if (shownWidth > kBoxWidth || shownHeight > kBoxHeight)
        scale = std::min(kBoxWidth / shownWidth, kBoxHeight / shownHeight);
    const double w = shownWidth * scale;
    const double h = shownHeight * scale;
    const double x = kBoxX + (kBoxWidth - w) / 2.0;
    const double y = kBoxY + (kBoxHeight - h) / 2.0;

    // Image space puts the first stored row at the top of the unit square.
    // Each orientation is the unit-square map (u, v) -> (X, Y) that shows the
    // stored picture upright, then scaled to w x h and moved to (x, y).
    struct UnitMap
    {
        double a, b, c, d, e, f;
    };
    static const UnitMap maps[9] = {
        { 1, 0, 0, 1, 0, 0 }, // (unused)
        { 1, 0, 0, 1, 0, 0 }, // 1 as stored
        { -1, 0, 0, 1, 1, 0 }, // 2 mirrored left-right
        { -1, 0, 0, -1, 1, 1 }, // 3 turned 180 degrees
        { 1, 0, 0, -1, 0, 1 }, // 4 mirrored top-bottom
        { 0, -1, -1, 0, 1, 1 }, // 5 mirrored along the main diagonal
        { 0, -1, 1, 0, 0, 1 }, // 6 turned 90 degrees clockwise
        { 0, 1, 1, 0, 0, 0 }, // 7 mirrored along the other diagonal
        { 0, 1, -1, 0, 1, 0 }, // 8 turned 90 degrees counter-clockwise
    };
    const UnitMap &m = maps[orientation];
    Placement placement;
    placement.area = QRectF(x, y, w, h);
    placement.a = m.a * w;
    placement.b = m.b * h;
    placement.c = m.c * w;
    placement.d = m.d * h;
    placement.e = m.e * w + x;
    placement.f = m.f * h + y;
    return placement;
}

} // namespace PdfPageLayout
