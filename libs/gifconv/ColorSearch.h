#pragma once

#include <cstdint>
#include <vector>

#include "Animation.h"

namespace qvgif {

// Counts of opaque colours over all frames. While there are few of them each
// colour is counted on its own (open addressing on the packed RGB value); past
// kExactLimit only the sums of their 5-bit cells are kept, which is all a
// palette of at most 256 entries takes from so many colours, in 1 MB whatever
// the picture.
class ColorHistogram
{
public:
    static constexpr size_t kExactLimit = 256;

    // Channel sums and pixel count of the colours that fall in one cell.
    struct Cell
    {
        uint64_t r = 0;
        uint64_t g = 0;
        uint64_t b = 0;
        uint64_t count = 0;
    };

    ColorHistogram();

    void add(uint32_t rgb, uint32_t count);
    // The number of colours while it is at most kExactLimit, above it after.
    size_t size() const { return m_used; }
    bool isExact() const { return m_cells.empty(); }

    // Every colour and its count; only while the histogram is exact.
    template <typename F> void forEach(F &&visit) const
    {
        for (size_t i = 0; i < m_keys.size(); ++i) {
            if (m_keys[i])
                visit(m_keys[i] & 0xffffffu, m_counts[i]);
        }
    }

    // The 32 x 32 x 32 cells, indexed by the top five bits of red, green and
    // blue.
    std::vector<Cell> cells() const;

private:
    std::vector<uint32_t> m_keys; // rgb | 0x1000000, 0 = empty
    std::vector<uint32_t> m_counts;
    std::vector<Cell> m_cells;
    size_t m_used = 0;
};

// Exact nearest palette colour (squared RGB distance) for many queries: the RGB
// cube is cut into 32^3 cells and each cell, on first use, lists only the palette
// colours that can be nearest to some colour inside it. A small cache in front
// catches repeated colours.
class NearestColor
{
public:
    // Every entry of palette except skipIndex takes part.
    NearestColor(const std::vector<Pixel> &palette, int skipIndex);

    int find(int r, int g, int b);

private:
    struct Entry
    {
        int r, g, b, index;
    };
    void buildCell(int cell);

    std::vector<Entry> m_entries;
    std::vector<uint32_t> m_cellStart; // into m_pool; UINT32_MAX until built
    std::vector<uint16_t> m_cellCount;
    std::vector<uint16_t> m_pool;
    std::vector<uint32_t> m_cacheKey;
    std::vector<uint8_t> m_cacheValue;
};

inline int distance2(int r1, int g1, int b1, int r2, int g2, int b2)
{
    const int dr = r1 - r2;
    const int dg = g1 - g2;
    const int db = b1 - b2;
    return dr * dr + dg * dg + db * db;
}

// Distance used for the encoder's freedom: plain RGB plus extra weight on the
// difference in brightness, the part of an error the eye notices most.
inline int toleranceDistance2(Pixel a, Pixel b)
{
    const int dr = a.r - b.r;
    const int dg = a.g - b.g;
    const int db = a.b - b.b;
    const int luma = 5 * dr + 9 * dg + 2 * db; // 16 x brightness difference
    return dr * dr + dg * dg + db * db + ((luma * luma) >> 5); // brightness counts 9 times
}

} // namespace qvgif
