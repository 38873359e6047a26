#pragma once

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

} // namespace ImageLimits
