#include "GifWriter.h"

#include "LzwPlanner.h"

#include <algorithm>
#include <gif_lib.h>
#include <memory>

namespace qvgif {

namespace {

constexpr uint16_t kCleared = 256; // a displayed pixel with nothing painted on it

struct Rect
{
    int left = 0, top = 0, width = 0, height = 0;
};

// One output frame as decided by the optimiser.
struct PlannedFrame
{
    Rect rect;
    std::vector<uint8_t> pixels;
    int delay = 0;
    int disposal = 1; // what happens to this frame before the next is drawn
};

int paletteBits(size_t colors)
{
    int bits = 1;
    while ((size_t(1) << bits) < colors)
        ++bits;
    return bits;
}

// Plans every frame against the display the previous one leaves behind.
class FramePlanner
{
public:
    explicit FramePlanner(const IndexedAnimation &animation)
        : m_anim(animation)
        , m_width(animation.width)
        , m_height(animation.height)
        , m_transparent(animation.transparentIndex)
        , m_minCodeSize(std::max(2, paletteBits(animation.palette.size())))
        , m_under(size_t(m_width) * size_t(m_height), kCleared)
        , m_background(m_under.size())
        , m_bestBackground(m_under.size())
    {
    }

    std::vector<PlannedFrame> run()
    {
        std::vector<PlannedFrame> frames;
        frames.reserve(m_anim.frames.size());
        for (size_t k = 0; k < m_anim.frames.size(); ++k) {
            PlannedFrame best;
            size_t bestSize = SIZE_MAX;
            int bestDisposal = 1;
            const int options = k == 0 ? 1 : 3;
            for (int d = 1; d <= options; ++d) {
                if (!fillBackground(k, d, k ? &frames.back() : nullptr))
                    continue;
                PlannedFrame candidate;
                const size_t size = planAgainstBackground(m_anim.frames[k], candidate);
                if (size < bestSize) {
                    bestSize = size;
                    best = std::move(candidate);
                    bestDisposal = d;
                    m_bestBackground.swap(m_background);
                }
            }
            if (bestSize == SIZE_MAX)
                throw ConvertFailure("no way to draw frame"); // cannot happen: keep always works
            if (k)
                frames.back().disposal = bestDisposal;
            // The display before this frame is drawn is what a later "restore" returns to.
            m_under.swap(m_bestBackground);
            best.delay = m_anim.delays[k];
            frames.push_back(std::move(best));
        }
        return frames;
    }

private:
    uint16_t shown(uint8_t index) const { return int(index) == m_transparent ? kCleared : index; }

    // The display before frame k when frame k-1 is disposed with d (1 keep, 2 clear
    // its rectangle, 3 restore what was under it). False when frame k cannot be drawn
    // on it, because drawing never makes a painted pixel transparent again.
    bool fillBackground(size_t k, int d, const PlannedFrame *previous)
    {
        const std::vector<uint8_t> &target = m_anim.frames[k];
        if (k == 0) {
            std::fill(m_background.begin(), m_background.end(), kCleared);
        } else if (d == 3) {
            m_background = m_under;
        } else {
            const std::vector<uint8_t> &prior = m_anim.frames[k - 1];
            for (size_t i = 0; i < prior.size(); ++i)
                m_background[i] = shown(prior[i]);
            if (d == 2) {
                const Rect &r = previous->rect;
                for (int y = r.top; y < r.top + r.height; ++y)
                    std::fill_n(
                        m_background.begin() + long(size_t(y) * size_t(m_width) + size_t(r.left)),
                        r.width, kCleared);
            }
        }
        if (m_transparent < 0)
            return true;
        for (size_t i = 0; i < target.size(); ++i) {
            if (int(target[i]) == m_transparent && m_background[i] != kCleared)
                return false;
        }
        return true;
    }

    size_t planAgainstBackground(const std::vector<uint8_t> &target, PlannedFrame &frame)
    {
        int left = m_width, top = m_height, right = -1, bottom = -1;
        for (int y = 0; y < m_height; ++y) {
            const size_t row = size_t(y) * size_t(m_width);
            for (int x = 0; x < m_width; ++x) {
                if (shown(target[row + size_t(x)]) != m_background[row + size_t(x)]) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
        }
        if (right < 0) {
            left = top = right = bottom = 0; // nothing changed: one pixel carries the delay
        }
        Rect &r = frame.rect;
        r.left = left;
        r.top = top;
        r.width = right - left + 1;
        r.height = bottom - top + 1;
        const size_t count = size_t(r.width) * size_t(r.height);
        m_preferred.resize(count);
        m_other.resize(count);
        frame.pixels.resize(count);
        size_t n = 0;
        for (int y = top; y <= bottom; ++y) {
            const size_t row = size_t(y) * size_t(m_width);
            for (int x = left; x <= right; ++x, ++n) {
                const uint8_t want = target[row + size_t(x)];
                const uint16_t have = m_background[row + size_t(x)];
                if (shown(want) != have) {
                    m_preferred[n] = m_other[n] = want;
                } else if (have == kCleared) {
                    m_preferred[n] = m_other[n] = uint8_t(m_transparent);
                } else {
                    m_preferred[n] = m_transparent >= 0 ? uint8_t(m_transparent) : uint8_t(have);
                    m_other[n] = uint8_t(have);
                }
            }
        }
        return m_lzw.plan(
            m_minCodeSize, m_preferred.data(), m_other.data(), count, frame.pixels.data());
    }

    const IndexedAnimation &m_anim;
    int m_width;
    int m_height;
    int m_transparent;
    int m_minCodeSize;
    std::vector<uint16_t> m_under;
    std::vector<uint16_t> m_background;
    std::vector<uint16_t> m_bestBackground;
    std::vector<uint8_t> m_preferred;
    std::vector<uint8_t> m_other;
    LzwPlanner m_lzw;
};

int writeToVector(GifFileType *gif, const GifByteType *data, int length)
{
    auto *out = static_cast<std::vector<uint8_t> *>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

struct EncoderCloser
{
    void operator()(GifFileType *gif) const
    {
        int error = 0;
        EGifCloseFile(gif, &error);
    }
};

struct MapDeleter
{
    void operator()(ColorMapObject *map) const { GifFreeMapObject(map); }
};

void check(int status)
{
    if (status == GIF_ERROR)
        throw ConvertFailure("encoding failed");
}

} // namespace

std::vector<uint8_t> writeGif(const IndexedAnimation &animation)
{
    std::vector<PlannedFrame> frames = FramePlanner(animation).run();

    std::vector<uint8_t> bytes;
    const int bits = paletteBits(animation.palette.size());
    std::vector<GifColorType> colors(size_t(1) << bits, GifColorType { 0, 0, 0 });
    for (size_t i = 0; i < animation.palette.size(); ++i)
        colors[i] = GifColorType { animation.palette[i].r, animation.palette[i].g,
            animation.palette[i].b };
    std::unique_ptr<ColorMapObject, MapDeleter> map(GifMakeMapObject(1 << bits, colors.data()));
    if (!map)
        throw ConvertFailure("out of memory");

    int error = 0;
    std::unique_ptr<GifFileType, EncoderCloser> gif(EGifOpen(&bytes, writeToVector, &error));
    if (!gif)
        throw ConvertFailure("encoder failed");
    EGifSetGifVersion(gif.get(), true);
    const int background = std::max(0, animation.transparentIndex);
    check(EGifPutScreenDesc(
        gif.get(), animation.width, animation.height, bits, background, map.get()));

    if (frames.size() > 1 && animation.loopCount >= 0) {
        const uint8_t loop[3] = { 1, uint8_t(animation.loopCount & 0xff),
            uint8_t((animation.loopCount >> 8) & 0xff) };
        check(EGifPutExtensionLeader(gif.get(), APPLICATION_EXT_FUNC_CODE));
        check(EGifPutExtensionBlock(gif.get(), 11, "NETSCAPE2.0"));
        check(EGifPutExtensionBlock(gif.get(), 3, loop));
        check(EGifPutExtensionTrailer(gif.get()));
    }

    for (PlannedFrame &frame : frames) {
        GraphicsControlBlock control;
        control.DisposalMode = frame.disposal;
        control.UserInputFlag = false;
        control.DelayTime = frame.delay;
        control.TransparentColor
            = animation.transparentIndex >= 0 ? animation.transparentIndex : NO_TRANSPARENT_COLOR;
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        check(EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, int(length), extension));
        check(EGifPutImageDesc(gif.get(), frame.rect.left, frame.rect.top, frame.rect.width,
            frame.rect.height, false, nullptr));
        check(EGifPutLine(gif.get(), frame.pixels.data(), frame.rect.width * frame.rect.height));
        std::vector<uint8_t>().swap(frame.pixels);
    }
    // Closing writes the trailer and frees the encoder; a failure there is a failure too.
    GifFileType *raw = gif.release();
    if (EGifCloseFile(raw, &error) == GIF_ERROR)
        throw ConvertFailure("encoding failed");
    return bytes;
}

} // namespace qvgif
