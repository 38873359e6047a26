#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Animation.h"

namespace qvgif {

// What each pixel of a frame rectangle may be written as, best first: preferred,
// then other (the two differ for a pixel that already shows an acceptable colour:
// transparency or the index shown), then target, then any palette colour within
// radius2 (squared, in toleranceDistance2) of the pixel's source colour. Without
// radius2 (null) the pixels are fixed to target and only the size is measured.
struct PixelChoices
{
    const uint8_t *preferred = nullptr;
    const uint8_t *other = nullptr;
    const uint8_t *target = nullptr;
    const Pixel *source = nullptr;
    const int *radius2 = nullptr;
    const Pixel *palette = nullptr;
    int transparent = -1;
};

// Replays giflib's LZW encoder (same dictionary, same code widths, same clear
// points) to learn the exact size of a frame's image data before it is written, and
// to pick each pixel's value among its choices: whichever extends the current
// dictionary string, so flat or unchanged areas cost as few codes as possible. The
// chosen pixels are then handed to giflib, whose output at the same code size is
// bit for bit the one modelled here. One instance per job, used on the converting
// thread only.
class LzwPlanner
{
public:
    LzwPlanner();

    // Writes the decision to chosen and returns the byte count of the image data:
    // code size byte, sub-blocks and their terminator.
    size_t plan(int minCodeSize, const PixelChoices &choices, size_t count, uint8_t *chosen);

private:
    void resetDictionary();
    static size_t slotOf(uint32_t key) { return size_t((key * 2654435761u) >> (32 - kSlotBits)); }
    uint16_t child(int code, int pixel) const
    {
        const uint32_t key = uint32_t(code) << 8 | uint32_t(pixel);
        const uint32_t tagged = m_generation << 20 | key;
        for (size_t slot = slotOf(key);; slot = (slot + 1) & (kSlots - 1)) {
            const uint32_t stored = m_keys[slot];
            if (stored == tagged)
                return m_codes[slot];
            if ((stored >> 20) != m_generation)
                return 0;
        }
    }
    uint16_t firstChild(int code) const
    {
        return m_firstChildGeneration[size_t(code)] == m_generation ? m_firstChild[size_t(code)]
                                                                    : 0;
    }
    void addChild(int code, int pixel, int newCode)
    {
        const uint32_t key = uint32_t(code) << 8 | uint32_t(pixel);
        size_t slot = slotOf(key);
        while ((m_keys[slot] >> 20) == m_generation)
            slot = (slot + 1) & (kSlots - 1);
        m_keys[slot] = m_generation << 20 | key;
        m_codes[slot] = uint16_t(newCode);
        m_suffix[size_t(newCode)] = uint8_t(pixel);
        m_sibling[size_t(newCode)] = firstChild(code);
        m_firstChild[size_t(code)] = uint16_t(newCode);
        m_firstChildGeneration[size_t(code)] = m_generation;
    }

    // The dictionary as a small open-addressing table of (prefix code, pixel) keys
    // tagged with a generation: entries of an older generation count as empty, so
    // a reset costs no clearing, and the table stays in cache. At most 4096 entries
    // live at a time, so it is never more than a quarter full.
    static constexpr int kSlotBits = 14;
    static constexpr size_t kSlots = size_t(1) << kSlotBits;
    std::vector<uint32_t> m_keys; // generation << 20 | code << 8 | pixel
    std::vector<uint16_t> m_codes;
    // The same dictionary as lists of children, to find a continuation among
    // all the colours a pixel may take.
    std::vector<uint16_t> m_firstChild;
    std::vector<uint32_t> m_firstChildGeneration;
    std::vector<uint16_t> m_sibling;
    std::vector<uint8_t> m_suffix;
    uint32_t m_generation = 0;
};

} // namespace qvgif
