#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qvgif {

// Replays giflib's LZW encoder (same dictionary, same code widths, same clear
// points) to learn the exact size of a frame's image data before it is written, and
// to fill "don't care" pixels. A pixel that already shows the right colour may be
// written either as the transparent index or as the colour it shows; the planner
// picks, pixel by pixel, whichever value extends the current dictionary string, so
// unchanged areas cost as few codes as possible. The chosen pixels are then handed
// to giflib, whose output is bit for bit the one modelled here.
class LzwPlanner
{
public:
    LzwPlanner();

    // preferred[i] and other[i] are the admissible values of pixel i (equal when the
    // pixel is fixed). Writes the decision to chosen and returns the byte count of
    // the image data: code size byte, sub-blocks and their terminator.
    size_t plan(int minCodeSize, const uint8_t *preferred, const uint8_t *other, size_t count,
        uint8_t *chosen);

private:
    void resetDictionary(int clearCode);
    uint16_t child(int code, int pixel) const { return m_next[size_t(code) << 8 | size_t(pixel)]; }

    std::vector<uint16_t> m_next; // 4096 x 256, 0 = no entry
};

} // namespace qvgif
