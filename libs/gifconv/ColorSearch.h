#pragma once

#include <cstdint>
#include <vector>

#include "Animation.h"

namespace qvgif {

// Counts of opaque colours over all frames (open addressing on the packed RGB value).
class ColorHistogram
{
public:
    ColorHistogram();

    void add(uint32_t rgb, uint32_t count);
    size_t size() const { return m_used; }

    template <typename F> void forEach(F &&visit) const
    {
        for (size_t i = 0; i < m_keys.size(); ++i) {
            if (m_keys[i])
                visit(m_keys[i] & 0xffffffu, m_counts[i]);
        }
    }

private:
    void grow();

    std::vector<uint32_t> m_keys; // rgb | 0x1000000, 0 = empty
    std::vector<uint32_t> m_counts;
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
