#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <unistd.h>

namespace qvgif {

// Bounds that keep a hostile file from exhausting memory or time. Everything is
// counted in pixels; the converter refuses the job when one would be exceeded.
// Together they bound the peak at well under a gigabyte.
constexpr long long kMaxFileBytes = 256LL << 20;
constexpr long long kMaxCanvasPixels = 1LL << 25; // one composed frame, 32 Mpx
constexpr long long kMaxDecodedPixels = 1LL << 27; // all frames held as indices
constexpr long long kMaxComposedPixels = 1LL << 30; // canvas x frames composed
// Output size x kept frames, 6 bytes each while the frames are quantised:
// as much as an eighth of the machine's memory allows, at most 2^28 pixels
// (1.6 GB), and never less than 2^26.
inline long long maxOutputPixels()
{
    const long long pages = sysconf(_SC_PHYS_PAGES);
    const long long pageSize = sysconf(_SC_PAGESIZE);
    const long long byMemory = pages > 0 && pageSize > 0 ? pages / 8 * pageSize / 6 : 0;
    return std::min(1LL << 28, std::max(1LL << 26, byMemory));
}
constexpr int kMaxFrames = 100000;
constexpr int kMaxDelay = 65535; // hundredths of a second, the GIF field's range

// Thrown for any input the converter refuses; the C entry point turns it into a
// failed result.
struct ConvertFailure : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

struct Pixel
{
    uint8_t r, g, b, a;
};

inline uint32_t packPixel(Pixel p)
{
    uint32_t v;
    std::memcpy(&v, &p, sizeof v);
    return v;
}

inline bool samePixel(Pixel p, Pixel q) { return packPixel(p) == packPixel(q); }

// Composed frames at the output size. Alpha is either 0 (then r = g = b = 0) or 255.
struct RgbaFrame
{
    std::vector<Pixel> pixels;
    int delay = 0; // hundredths of a second
};

struct RgbaAnimation
{
    int width = 0;
    int height = 0;
    int loopCount = -1; // -1: no loop extension (play once); 0: forever
    std::vector<RgbaFrame> frames;
};

// The same frames mapped to one palette; transparentIndex marks cleared pixels.
struct IndexedAnimation
{
    int width = 0;
    int height = 0;
    int loopCount = -1;
    std::vector<Pixel> palette;
    int transparentIndex = -1;
    std::vector<std::vector<uint8_t>> frames;
    // The colours the frames stand for, and per pixel the distance from that colour
    // (in toleranceDistance2) within which any palette colour is acceptable: a
    // little farther than the nearest one, so a pixel between two palette colours
    // may take either.
    std::vector<std::vector<Pixel>> sources;
    std::vector<std::vector<uint8_t>> tolerances;
    std::vector<int> delays;
};

} // namespace qvgif
