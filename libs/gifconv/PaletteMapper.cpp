#include "PaletteMapper.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include <libimagequant.h>

#include "ColorSearch.h"

// OpenMP runtime entry points, bound only when libimagequant brought the runtime.
extern "C" {
int omp_get_max_threads(void) __attribute__((weak));
void omp_set_num_threads(int) __attribute__((weak));
}

namespace qvgif {

namespace {

// libimagequant parallelises with OpenMP. On the histograms it gets here its helper
// threads spend more time spinning at barriers than they save, and on a busy
// desktop they compete with the program itself: it runs on the converting thread
// alone. The setting belongs to the calling thread and is restored afterwards.
class SingleThreadedOpenMp
{
public:
    SingleThreadedOpenMp()
    {
        if (omp_get_max_threads && omp_set_num_threads) {
            m_previous = omp_get_max_threads();
            omp_set_num_threads(1);
        }
    }
    ~SingleThreadedOpenMp()
    {
        if (m_previous > 0)
            omp_set_num_threads(m_previous);
    }
    SingleThreadedOpenMp(const SingleThreadedOpenMp &) = delete;
    SingleThreadedOpenMp &operator=(const SingleThreadedOpenMp &) = delete;

private:
    int m_previous = 0;
};

struct LiqDeleter
{
    void operator()(liq_attr *p) const { liq_attr_destroy(p); }
    void operator()(liq_histogram *p) const { liq_histogram_destroy(p); }
    void operator()(liq_result *p) const { liq_result_destroy(p); }
};

// Counts every opaque pixel of every frame, weighted by how many frames it stays:
// a pixel's colour is only counted when it changes (and at the end), so still
// areas cost a comparison per frame instead of a hash lookup.
ColorHistogram buildHistogram(const RgbaAnimation &animation, bool *hasTransparent)
{
    ColorHistogram histogram;
    *hasTransparent = false;
    const size_t pixels = size_t(animation.width) * size_t(animation.height);
    const size_t width = size_t(animation.width);
    std::vector<uint32_t> since(pixels, 0);
    uint32_t lastKey = 0;
    uint32_t lastCount = 0;
    auto count = [&](Pixel p, uint32_t frames) {
        if (p.a == 0) {
            *hasTransparent = true;
            return;
        }
        const uint32_t rgb = uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b;
        if (lastCount && rgb == lastKey) {
            lastCount += frames;
            return;
        }
        if (lastCount)
            histogram.add(lastKey, lastCount);
        lastKey = rgb;
        lastCount = frames;
    };
    const std::vector<RgbaFrame> &frames = animation.frames;
    for (size_t k = 1; k < frames.size(); ++k) {
        const Pixel *before = frames[k - 1].pixels.data();
        const Pixel *now = frames[k].pixels.data();
        for (size_t row = 0; row < pixels; row += width) {
            if (std::memcmp(before + row, now + row, width * sizeof(Pixel)) == 0)
                continue;
            for (size_t i = row; i < row + width; ++i) {
                if (!samePixel(before[i], now[i])) {
                    count(before[i], uint32_t(k) - since[i]);
                    since[i] = uint32_t(k);
                }
            }
        }
    }
    const Pixel *last = frames.back().pixels.data();
    const uint32_t total = uint32_t(frames.size());
    for (size_t i = 0; i < pixels; ++i)
        count(last[i], total - since[i]);
    if (lastCount)
        histogram.add(lastKey, lastCount);
    return histogram;
}

Pixel fromRgb(uint32_t rgb)
{
    return Pixel { uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb), 255 };
}

std::vector<Pixel> liqPalette(const ColorHistogram &histogram, int colors)
{
    const SingleThreadedOpenMp singleThreaded;
    std::unique_ptr<liq_attr, LiqDeleter> attr(liq_attr_create());
    if (!attr)
        throw ConvertFailure("out of memory");
    liq_set_max_colors(attr.get(), colors);
    liq_set_quality(attr.get(), 0, 100);
    liq_set_speed(attr.get(), 3);
    std::unique_ptr<liq_histogram, LiqDeleter> hist(liq_histogram_create(attr.get()));
    if (!hist)
        throw ConvertFailure("out of memory");
    // Colours are merged in 5-bit cells (weighted means) before libimagequant sees
    // them: its cost grows with the histogram, and the cells are far finer than the
    // spacing of any palette it can return.
    const std::vector<ColorHistogram::Cell> cells = histogram.cells();
    std::vector<liq_histogram_entry> entries;
    for (const ColorHistogram::Cell &c : cells) {
        if (!c.count)
            continue;
        const double n = double(c.count);
        liq_histogram_entry e;
        e.color = liq_color { uint8_t(std::lround(double(c.r) / n)),
            uint8_t(std::lround(double(c.g) / n)), uint8_t(std::lround(double(c.b) / n)), 255 };
        e.count = unsigned(std::min(n, 4e9));
        entries.push_back(e);
    }
    if (liq_histogram_add_colors(hist.get(), attr.get(), entries.data(), int(entries.size()), 0)
        != LIQ_OK)
        throw ConvertFailure("palette failed");
    liq_result *raw = nullptr;
    if (liq_histogram_quantize(hist.get(), attr.get(), &raw) != LIQ_OK || !raw)
        throw ConvertFailure("palette failed");
    std::unique_ptr<liq_result, LiqDeleter> result(raw);
    const liq_palette *palette = liq_get_palette(result.get());
    std::vector<Pixel> chosen;
    for (unsigned i = 0; i < palette->count; ++i)
        chosen.push_back(
            Pixel { palette->entries[i].r, palette->entries[i].g, palette->entries[i].b, 255 });
    return chosen;
}

// Maps one frame to the palette and gives each pixel its tolerance. Rows and pixels
// whose source is as in the previous frame copy that frame's results, which is
// most of the picture in typical animations.
struct PreviousFrame
{
    const Pixel *source = nullptr;
    const uint8_t *out = nullptr;
    const uint8_t *tolerance = nullptr;
};

void mapFrame(const RgbaFrame &frame, int width, int height, const std::vector<Pixel> &palette,
    int transparent, bool exact, NearestColor &nearest, const PaletteSettings &settings,
    const PreviousFrame &previous, std::vector<uint8_t> &out, std::vector<uint8_t> &tolerance)
{
    const size_t rowLength = size_t(width);
    for (int y = 0; y < height; ++y) {
        const size_t row = size_t(y) * rowLength;
        if (previous.source
            && std::memcmp(
                   frame.pixels.data() + row, previous.source + row, rowLength * sizeof(Pixel))
                == 0) {
            std::memcpy(out.data() + row, previous.out + row, rowLength);
            std::memcpy(tolerance.data() + row, previous.tolerance + row, rowLength);
            continue;
        }
        for (size_t i = row; i < row + rowLength; ++i) {
            const Pixel s = frame.pixels[i];
            if (previous.source && samePixel(s, previous.source[i])) {
                out[i] = previous.out[i];
                tolerance[i] = previous.tolerance[i];
                continue;
            }
            if (s.a == 0) {
                out[i] = uint8_t(transparent);
                tolerance[i] = 0;
                continue;
            }
            const int index = nearest.find(s.r, s.g, s.b);
            out[i] = uint8_t(index);
            if (exact) {
                tolerance[i] = 0;
                continue;
            }
            const float error = std::sqrt(float(toleranceDistance2(s, palette[size_t(index)])));
            tolerance[i] = uint8_t(
                std::min(255.0f, error * settings.toleranceScale + settings.toleranceBias + 0.5f));
        }
    }
}

} // namespace

IndexedAnimation quantizeAnimation(RgbaAnimation &&animation, const PaletteSettings &settings)
{
    bool hasTransparent = false;
    const ColorHistogram histogram = buildHistogram(animation, &hasTransparent);
    const bool animated = animation.frames.size() > 1;
    const int maxColors = std::clamp(settings.maxColors, 2, 256);
    const int unique = int(std::min<size_t>(histogram.size(), 1 << 24));

    // A transparent entry costs one colour; it pays for itself in animations, where
    // unchanged pixels become transparent and compress far better, unless colours
    // are already very scarce.
    const bool withTransparent
        = hasTransparent || unique == 0 || (animated && (maxColors >= 16 || unique < maxColors));
    const int budget = maxColors - (withTransparent ? 1 : 0);

    std::vector<Pixel> palette;
    const bool exact = unique <= budget;
    if (exact) {
        histogram.forEach([&](uint32_t rgb, uint32_t) { palette.push_back(fromRgb(rgb)); });
    } else if (budget == 1) {
        double sum[3] = { 0, 0, 0 };
        double total = 0;
        for (const ColorHistogram::Cell &c : histogram.cells()) {
            sum[0] += double(c.r);
            sum[1] += double(c.g);
            sum[2] += double(c.b);
            total += double(c.count);
        }
        palette.push_back(Pixel { uint8_t(std::lround(sum[0] / total)),
            uint8_t(std::lround(sum[1] / total)), uint8_t(std::lround(sum[2] / total)), 255 });
    } else {
        palette = liqPalette(histogram, budget);
    }

    IndexedAnimation result;
    result.width = animation.width;
    result.height = animation.height;
    result.loopCount = animation.loopCount;
    if (withTransparent) {
        result.transparentIndex = int(palette.size());
        palette.push_back(Pixel { 0, 0, 0, 0 });
    }
    result.palette = palette;

    NearestColor nearest(palette, result.transparentIndex);
    const size_t pixels = size_t(animation.width) * size_t(animation.height);
    result.frames.reserve(animation.frames.size());
    for (RgbaFrame &frame : animation.frames) {
        std::vector<uint8_t> out(pixels);
        std::vector<uint8_t> tolerance(pixels);
        PreviousFrame previous;
        if (!result.frames.empty()) {
            previous.source = result.sources.back().data();
            previous.out = result.frames.back().data();
            previous.tolerance = result.tolerances.back().data();
        }
        // Colours that fit the budget are kept exactly: no tolerance at all.
        mapFrame(frame, animation.width, animation.height, palette, result.transparentIndex, exact,
            nearest, settings, previous, out, tolerance);
        result.frames.push_back(std::move(out));
        result.tolerances.push_back(std::move(tolerance));
        result.sources.push_back(std::move(frame.pixels));
        result.delays.push_back(frame.delay);
    }
    return result;
}

} // namespace qvgif
