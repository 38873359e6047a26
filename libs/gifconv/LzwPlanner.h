#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Animation.h"

namespace qvgif {

// What each pixel of a frame rectangle may be written as, best first: preferred,
// then other (the two differ for a pixel that already shows an acceptable colour:
// transparency or the index shown), then target, then any palette colour within
// radius2 (squared RGB distance) of the pixel's source colour.
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
// chosen pixels are then handed to giflib, whose output is bit for bit the one
// modelled here. One instance per job, used on the converting thread only.
class LzwPlanner
{
public:
    LzwPlanner();

    // Writes the decision to chosen and returns the byte count of the image data:
    // code size byte, sub-blocks and their terminator.
    size_t plan(int minCodeSize, const PixelChoices &choices, size_t count, uint8_t *chosen);

private:
    void resetDictionary();
    uint16_t child(int code, int pixel) const
    {
        const uint32_t entry = m_next[size_t(code) << 8 | size_t(pixel)];
        return (entry >> 12) == m_generation ? uint16_t(entry & 0xfff) : 0;
    }
    uint16_t firstChild(int code) const
    {
        return m_firstChildGeneration[size_t(code)] == m_generation ? m_firstChild[size_t(code)]
                                                                    : 0;
    }
    void addChild(int code, int pixel, int newCode)
    {
        m_next[size_t(code) << 8 | size_t(pixel)] = m_generation << 12 | uint32_t(newCode);
        m_suffix[size_t(newCode)] = uint8_t(pixel);
        m_sibling[size_t(newCode)] = firstChild(code);
        m_firstChild[size_t(code)] = uint16_t(newCode);
        m_firstChildGeneration[size_t(code)] = m_generation;
    }

    // 4096 x 256 entries of generation << 12 | code; an entry of an older
    // generation is empty, so a reset costs no clearing.
    std::vector<uint32_t> m_next;
    // The same dictionary as lists of children, to find a continuation among
    // all the colours a pixel may take.
    std::vector<uint16_t> m_firstChild;
    std::vector<uint32_t> m_firstChildGeneration;
    std::vector<uint16_t> m_sibling;
    std::vector<uint8_t> m_suffix;
    uint32_t m_generation = 0;
};

} // namespace qvgif
