#pragma once

#include <climits>
#include <cstdint>
#include <vector>

#include "Animation.h"
#include "ColorSearch.h"
#include "LzwPlanner.h"

namespace qvgif {

struct FrameRect
{
    int left = 0, top = 0, width = 0, height = 0;
};

// One output frame as it will be written.
struct PlannedFrame
{
    FrameRect rect;
    std::vector<uint8_t> pixels; // rect.width x rect.height indices
    int delay = 0;
    int disposal = 1; // what happens to this frame before the next one is drawn
};

// Decides, frame by frame, the smallest way to bring the screen close enough to the
// next picture: the previous frame's disposal (keep, clear to transparent or
// restore what was under it), the rectangle that must change, and for every pixel
// inside it the value that compresses best among those that look right (the
// transparent index or the colour already shown for pixels that may stay, and
// palette colours within the pixel's tolerance). The planner tracks what the
// written frames really leave on screen, so tolerances never add up from frame to
// frame. Runs on the converting thread.
class FramePlanner
{
public:
    explicit FramePlanner(const IndexedAnimation &animation);

    std::vector<PlannedFrame> run();

    int minCodeSize() const { return m_minCodeSize; }

private:
    struct Option
    {
        int disposal = 1;
        const uint16_t *background = nullptr;
        size_t changed = 0;
        FrameRect rect;
    };
    struct Tally
    {
        bool feasible = true;
        bool transparent = false; // the frame has transparent pixels in the area
        size_t changed = 0;
        int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
        void merge(const Tally &other);
    };

    Tally scan(
        size_t k, const FrameRect &area, const FrameRect *hole, const uint16_t *background) const;
    size_t planOption(size_t k, const Option &option, bool preferShown, PlannedFrame &frame);
    static constexpr uint16_t kCleared = 256; // a screen pixel with nothing painted on it

    uint16_t shown(uint8_t index) const { return int(index) == m_transparent ? kCleared : index; }

    // True when the pixel may stay as it is on screen: the wanted colour, or one
    // within the pixel's radius of its source colour.
    bool mayStay(uint8_t want, Pixel source, int radius2, uint16_t have) const
    {
        if (shown(want) == have)
            return true;
        if (have == kCleared || int(want) == m_transparent)
            return false;
        return toleranceDistance2(source, m_anim.palette[have]) <= radius2;
    }

    const IndexedAnimation &m_anim;
    int m_width;
    int m_height;
    int m_transparent;
    int m_minCodeSize;
    std::vector<uint16_t> m_display; // after the previous frame was drawn
    std::vector<uint16_t> m_under; // before the previous frame was drawn
    std::vector<uint16_t> m_cleared; // m_display with the previous rectangle cleared
    // Per pixel of the rectangle being planned.
    std::vector<uint8_t> m_preferred;
    std::vector<uint8_t> m_other;
    std::vector<uint8_t> m_target;
    std::vector<Pixel> m_source;
    std::vector<int> m_radius2;
    LzwPlanner m_lzw;
};

} // namespace qvgif
