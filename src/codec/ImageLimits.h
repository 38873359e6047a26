#pragma once

#include <QString>
#include <QtGlobal>

// Bounds every decoder applies before it allocates pixels. Sizes come from
// file headers, which an attacker controls, so they are checked in 64 bits
// and before any buffer of that size exists.
namespace ImageLimits {

// Largest image accepted: width x height <= 209,715,200 pixels (800 MB at
// 32 bits). The fuzzing build lowers it so that allocation checks can catch
// any path that does not honour it.
#ifdef QUORVEL_CODEC_MAX_PIXELS
constexpr qint64 kMaxPixels = QUORVEL_CODEC_MAX_PIXELS;
#else
constexpr qint64 kMaxPixels = 209715200;
#endif

// All frames a decoder keeps in memory together (animations, multi-page
// files) may not need more than one maximal 32-bit image.
constexpr qint64 kMaxDecodedBytes = kMaxPixels * 4;

// Files read whole into memory (metafiles, SVG, images without random
// access) may not be larger than this.
constexpr qint64 kMaxFileBytes = qint64(1) << 30;

inline bool sizeAllowed(qint64 width, qint64 height)
{
    return width > 0 && height > 0 && width <= kMaxPixels && height <= kMaxPixels
        && width * height <= kMaxPixels;
}

// 209715200 -> "209,715,200".
inline QString groupedNumber(qint64 value)
{
    QString digits = QString::number(value < 0 ? -value : value);
    for (int i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(','));
    return value < 0 ? QLatin1Char('-') + digits : digits;
}

// The plain reason given for a picture (or an output) over the cap, e.g.
// "too large: 70000 x 70000 pixels, the limit is 209,715,200 pixels".
inline QString tooLargeReason(qint64 width, qint64 height)
{
    if (width <= 0 || height <= 0)
        return QStringLiteral("the file is damaged: it gives no valid picture size");
    return QStringLiteral("too large: %1 x %2 pixels, the limit is %3 pixels")
        .arg(width)
        .arg(height)
        .arg(groupedNumber(kMaxPixels));
}

// Empty when an output of width x height pixels may be made; otherwise the
// reason. Checked before the output's pixels are allocated.
inline QString outputSizeProblem(qint64 width, qint64 height)
{
    return sizeAllowed(width, height) ? QString() : tooLargeReason(width, height);
}

} // namespace ImageLimits
