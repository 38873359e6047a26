#include "ResizeParams.h"

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
            return QSize(width, int(width * (h / w)));
        if (height != 0)
            return QSize(int(height * (w / h)), height);
        // Ratio kept and no side given: the image keeps its own size.
        return source;
    case 1:
        return QSize(int(w * scale + 0.5), int(h * scale + 0.5));
    default:
        return QSize(width, height);
    }
}
