#include "ResizeParams.h"

#include <limits>

namespace {
const QSize kPresets[] = { { 295, 413 }, { 413, 626 }, { 259, 377 }, { 413, 531 }, { 389, 566 },
    { 650, 992 }, { 1050, 1500 }, { 100, 139 }, { 460, 650 } };
// A side computed in floating point, cut to whole pixels as int() does; a
// kept ratio can give more than an int holds (a 1 x 300000 strip made 99999
// wide), which then stays the largest int, so that the size cap refuses it
// instead of the conversion wrapping round.
int side(double value)
{
    constexpr int largest = std::numeric_limits<int>::max();
    return value >= double(largest) ? largest : int(value);
}

} // namespace

int ResizeParams::presetCount() { return int(sizeof(kPresets) / sizeof(kPresets[0])); }

QSize ResizeParams::presetSize(int index)
{
    return index >= 0 && index < presetCount() ? kPresets[index] : QSize();
}

QSize ResizeParams::targetFor(const QSize &source) const
{
    const double w = source.width();
    const double h = source.height();
    if (w <= 0 || h <= 0)
        return QSize();
    switch (mode) {
    case 0:
        if (!lockRatio)
            return QSize(width, height);
        if (width != 0)
            return QSize(width, side(width * (h / w)));
        if (height != 0)
            return QSize(side(height * (w / h)), height);
        // Ratio kept and no side given: the image keeps its own size.
        return source;
    case 1:
        return QSize(side(w * scale + 0.5), side(h * scale + 0.5));
    default:
        return QSize(width, height);
    }
}
