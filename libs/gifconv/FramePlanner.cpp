#include "FramePlanner.h"

#include <algorithm>

#include "ColorSearch.h"

namespace qvgif {

namespace {

constexpr double kBusyShare = 0.3;

int paletteBits(size_t colors)
{
    int bits = 1;
    while ((size_t(1) << bits) < colors)
        ++bits;
    return bits;
}

} // namespace

FramePlanner::FramePlanner(const IndexedAnimation &animation)
    : m_anim(animation)
    , m_width(animation.width)
    , m_height(animation.height)
    , m_transparent(animation.transparentIndex)
    , m_minCodeSize(std::max(2, paletteBits(animation.palette.size())))
    , m_display(size_t(m_width) * size_t(m_height), kCleared)
    , m_under(m_display.size(), kCleared)
    , m_cleared(m_display.size())
{
}

void FramePlanner::Tally::merge(const Tally &other)
{
    feasible = feasible && other.feasible;
    changed += other.changed;
    left = std::min(left, other.left);
    top = std::min(top, other.top);
    right = std::max(right, other.right);
    bottom = std::max(bottom, other.bottom);
    transparent = transparent || other.transparent;
}

// Counts the pixels of frame k inside area (less hole) that must change on the
// given background (null: cleared) and their bounding box. A frame pixel that must
// become transparent where the background is painted makes the background
// unusable: drawing never clears a pixel.
FramePlanner::Tally FramePlanner::scan(
    size_t k, const FrameRect &area, const FrameRect *hole, const uint16_t *background) const
{
    const std::vector<uint8_t> &target = m_anim.frames[k];
    const std::vector<Pixel> &sources = m_anim.sources[k];
    const std::vector<uint8_t> &tolerances = m_anim.tolerances[k];
    Tally tally;
    for (int y = area.top; y < area.top + area.height; ++y) {
        const size_t row = size_t(y) * size_t(m_width);
        const bool holeRow = hole && y >= hole->top && y < hole->top + hole->height;
        for (int x = area.left; x < area.left + area.width; ++x) {
            if (holeRow && x == hole->left) {
                x += hole->width - 1;
                continue;
            }
            const size_t i = row + size_t(x);
            const uint8_t want = target[i];
            const uint16_t have = background ? background[i] : kCleared;
            if (int(want) == m_transparent)
                tally.transparent = true;
            if (shown(want) == have)
                continue;
            if (int(want) == m_transparent) {
                tally.feasible = false;
                continue;
            }
            const int radius = tolerances[i];
            if (mayStay(want, sources[i], radius * radius, have))
                continue;
            ++tally.changed;
            tally.left = std::min(tally.left, x);
            tally.right = std::max(tally.right, x);
            tally.top = std::min(tally.top, y);
            tally.bottom = std::max(tally.bottom, y);
        }
    }
    return tally;
}

size_t FramePlanner::planOption(
    size_t k, const Option &option, bool preferShown, PlannedFrame &frame)
{
    const std::vector<uint8_t> &target = m_anim.frames[k];
    const std::vector<Pixel> &sources = m_anim.sources[k];
    const std::vector<uint8_t> &tolerances = m_anim.tolerances[k];
    const FrameRect &r = option.rect;
    const size_t count = size_t(r.width) * size_t(r.height);
    m_preferred.resize(count);
    m_other.resize(count);
    m_target.resize(count);
    m_source.resize(count);
    m_radius2.resize(count);
    frame.rect = r;
    frame.pixels.resize(count);
    size_t n = 0;
    for (int y = r.top; y < r.top + r.height; ++y) {
        const size_t row = size_t(y) * size_t(m_width);
        for (int x = r.left; x < r.left + r.width; ++x, ++n) {
            const size_t i = row + size_t(x);
            const uint8_t want = target[i];
            const uint16_t have = option.background[i];
            const Pixel source = sources[i];
            const int radius = tolerances[i];
            m_target[n] = want;
            m_source[n] = source;
            m_radius2[n] = int(want) == m_transparent ? 0 : radius * radius;
            if (!mayStay(want, source, radius * radius, have)) {
                m_preferred[n] = m_other[n] = want;
            } else if (have == kCleared) {
                m_preferred[n] = m_other[n] = uint8_t(m_transparent);
            } else {
                const uint8_t keep = m_transparent >= 0 ? uint8_t(m_transparent) : uint8_t(have);
                m_preferred[n] = preferShown ? uint8_t(have) : keep;
                m_other[n] = preferShown ? keep : uint8_t(have);
            }
        }
    }
    PixelChoices choices;
    choices.preferred = m_preferred.data();
    choices.other = m_other.data();
    choices.target = m_target.data();
    choices.source = m_source.data();
    choices.radius2 = m_radius2.data();
    choices.palette = m_anim.palette.data();
    choices.transparent = m_transparent;
    return m_lzw.plan(m_minCodeSize, choices, count, frame.pixels.data());
}

std::vector<PlannedFrame> FramePlanner::run()
{
    std::vector<PlannedFrame> frames;
    frames.reserve(m_anim.frames.size());
    const FrameRect canvas { 0, 0, m_width, m_height };
    for (size_t k = 0; k < m_anim.frames.size(); ++k) {
        Option options[3];
        int optionCount = 0;
        auto addOption = [&](int disposal, const uint16_t *background, const Tally &tally) {
            if (!tally.feasible)
                return;
            Option &option = options[optionCount++];
            option.disposal = disposal;
            option.background = background;
            option.changed = tally.changed;
            if (tally.right < 0) // nothing changes: one pixel carries the delay
                option.rect = FrameRect { 0, 0, 1, 1 };
            else
                option.rect = FrameRect { tally.left, tally.top, tally.right - tally.left + 1,
                    tally.bottom - tally.top + 1 };
        };
        if (k == 0) {
            addOption(1, m_display.data(), scan(k, canvas, nullptr, m_display.data()));
        } else {
            // The disposals differ only inside the previous frame's rectangle: the
            // rest is scanned once. Outside it, what was under the previous frame is
            // what is shown.
            const FrameRect previous = frames.back().rect;
            const Tally outside = scan(k, canvas, &previous, m_display.data());
            Tally keep = scan(k, previous, nullptr, m_display.data());
            keep.merge(outside);
            addOption(1, m_display.data(), keep);
            // Clearing only pays when the new frame has transparent pixels; otherwise
            // keeping changes fewer pixels with more freedom.
            if (keep.transparent || !keep.feasible) {
                Tally clear = scan(k, previous, nullptr, nullptr);
                clear.merge(outside);
                if (clear.feasible) {
                    m_cleared = m_display;
                    for (int y = previous.top; y < previous.top + previous.height; ++y)
                        std::fill_n(m_cleared.begin()
                                + long(size_t(y) * size_t(m_width) + size_t(previous.left)),
                            previous.width, kCleared);
                }
                addOption(2, m_cleared.data(), clear);
            }
            // Restoring pays for flashes over a still picture, where the previous
            // rectangle is small; for large ones it almost never wins its scan.
            if (2 * double(previous.width) * previous.height <= double(m_width) * m_height) {
                Tally restore = scan(k, previous, nullptr, m_under.data());
                restore.merge(outside);
                addOption(3, m_under.data(), restore);
            }
        }
        if (optionCount == 0)
            throw ConvertFailure("no way to draw frame"); // cannot happen: clearing always works

        // Only options that change about as few pixels as the best are worth an
        // encoding trial; the others practically never compress better. Where much
        // of the rectangle changes, pixels that may stay are also tried as the colour
        // they show rather than as transparency: long runs of the new picture then
        // compress better than a patchwork of holes.
        size_t fewest = SIZE_MAX;
        for (int o = 0; o < optionCount; ++o)
            fewest = std::min(fewest, options[o].changed);
        PlannedFrame best;
        size_t bestSize = SIZE_MAX;
        const Option *chosen = nullptr;
        for (int o = 0; o < optionCount; ++o) {
            const Option &option = options[o];
            if (option.changed > fewest + fewest / 8 + 16)
                continue;
            const double area = double(option.rect.width) * option.rect.height;
            // (When every pixel changes there is nothing to prefer.)
            const bool busy
                = double(option.changed) >= kBusyShare * area && double(option.changed) < area;
            for (int preferShown = 0; preferShown <= (busy ? 1 : 0); ++preferShown) {
                PlannedFrame candidate;
                const size_t size = planOption(k, option, preferShown, candidate);
                if (size < bestSize) {
                    bestSize = size;
                    best = std::move(candidate);
                    chosen = &option;
                }
            }
        }
        if (k)
            frames.back().disposal = chosen->disposal;
        // What is under this frame is what a later "restore" returns to; the screen
        // after it is that plus the pixels it paints.
        if (chosen->background != m_under.data())
            std::copy(chosen->background, chosen->background + m_under.size(), m_under.begin());
        m_display = m_under;
        const FrameRect &r = best.rect;
        const uint8_t *p = best.pixels.data();
        for (int y = r.top; y < r.top + r.height; ++y) {
            uint16_t *row = m_display.data() + size_t(y) * size_t(m_width);
            for (int x = r.left; x < r.left + r.width; ++x, ++p) {
                if (int(*p) != m_transparent)
                    row[x] = *p;
            }
        }
        best.delay = m_anim.delays[k];
        frames.push_back(std::move(best));
    }
    return frames;
}

} // namespace qvgif
