#include "PaletteMapper.h"

#include "ColorSearch.h"

#include <algorithm>
#include <cmath>
#include <libimagequant.h>
#include <memory>

namespace qvgif {

namespace {

struct LiqDeleter
{
    void operator()(liq_attr *p) const { liq_attr_destroy(p); }
    void operator()(liq_histogram *p) const { liq_histogram_destroy(p); }
    void operator()(liq_result *p) const { liq_result_destroy(p); }
};

ColorHistogram buildHistogram(const RgbaAnimation &animation, bool *hasTransparent)
{
    ColorHistogram histogram;
    *hasTransparent = false;
    for (const RgbaFrame &frame : animation.frames) {
        uint32_t runColor = 0;
        uint32_t runLength = 0;
        for (const Pixel &p : frame.pixels) {
            if (p.a == 0) {
                *hasTransparent = true;
                continue;
            }
            const uint32_t rgb = uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b;
            if (runLength && rgb == runColor) {
                ++runLength;
                continue;
            }
            if (runLength)
                histogram.add(runColor, runLength);
            runColor = rgb;
            runLength = 1;
        }
        if (runLength)
            histogram.add(runColor, runLength);
    }
    return histogram;
}

Pixel fromRgb(uint32_t rgb)
{
    return Pixel { uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb), 255 };
}

std::vector<Pixel> liqPalette(const ColorHistogram &histogram, int colors, int speed)
{
    std::unique_ptr<liq_attr, LiqDeleter> attr(liq_attr_create());
    if (!attr)
        throw ConvertFailure("out of memory");
    liq_set_max_colors(attr.get(), colors);
    liq_set_quality(attr.get(), 0, 100);
    // Large histograms make the slow settings expensive for little gain.
    liq_set_speed(attr.get(), speed ? speed : (histogram.size() > 200000 ? 5 : 3));
    std::unique_ptr<liq_histogram, LiqDeleter> hist(liq_histogram_create(attr.get()));
    if (!hist)
        throw ConvertFailure("out of memory");
    std::vector<liq_histogram_entry> entries;
    entries.reserve(histogram.size());
    histogram.forEach([&](uint32_t rgb, uint32_t count) {
        liq_histogram_entry e;
        e.color = liq_color { uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb), 255 };
        e.count = count;
        entries.push_back(e);
    });
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

// Lloyd steps against the histogram: moves every entry to the mean of the colours
// nearest to it, which lowers the plain RGB error the viewer sees.
void refinePalette(const ColorHistogram &histogram, std::vector<Pixel> &palette, int iterations)
{
    for (int it = 0; it < iterations; ++it) {
        NearestColor nearest(palette, -1);
        std::vector<double> sum(palette.size() * 4, 0.0);
        histogram.forEach([&](uint32_t rgb, uint32_t count) {
            const int r = int(rgb >> 16), g = int((rgb >> 8) & 255), b = int(rgb & 255);
            double *s = sum.data() + size_t(nearest.find(r, g, b)) * 4;
            s[0] += double(r) * count;
            s[1] += double(g) * count;
            s[2] += double(b) * count;
            s[3] += count;
        });
        for (size_t i = 0; i < palette.size(); ++i) {
            const double *s = sum.data() + i * 4;
            if (s[3] > 0)
                palette[i] = Pixel { uint8_t(std::lround(s[0] / s[3])),
                    uint8_t(std::lround(s[1] / s[3])), uint8_t(std::lround(s[2] / s[3])), 255 };
        }
    }
}

uint8_t clampByte(int v) { return uint8_t(std::clamp(v, 0, 255)); }

// Maps one frame. previous holds the indices shown so far (empty for the first
// frame) and reference the source colour each of them was chosen for.
void mapFrame(const RgbaFrame &frame, int width, int height, const std::vector<Pixel> &palette,
    int transparent, NearestColor &nearest, const PaletteSettings &settings,
    const std::vector<uint8_t> *previous, std::vector<Pixel> &reference, std::vector<uint8_t> &out,
    std::vector<int> &errors)
{
    const bool dither = settings.dither > 0.0f;
    const int strength = int(std::lround(settings.dither * 256));
    if (dither)
        std::fill(errors.begin(), errors.end(), 0);
    // Two rows of RGB error (current, next), one spare pixel on each side.
    const size_t rowStride = size_t(width + 2) * 3;
    for (int y = 0; y < height; ++y) {
        int *current = errors.data() + size_t(y & 1) * rowStride;
        int *next = errors.data() + size_t((y + 1) & 1) * rowStride;
        if (dither)
            std::fill(next, next + rowStride, 0);
        const bool reverse = dither && (y & 1);
        for (int step = 0; step < width; ++step) {
            const int x = reverse ? width - 1 - step : step;
            const size_t i = size_t(y) * size_t(width) + size_t(x);
            const Pixel s = frame.pixels[i];
            if (s.a == 0) {
                out[i] = uint8_t(transparent);
                reference[i] = s;
                continue;
            }
            if (previous && int((*previous)[i]) != transparent) {
                const Pixel ref = reference[i];
                if (ref.a
                    && distance2(s.r, s.g, s.b, ref.r, ref.g, ref.b) <= settings.stillTolerance) {
                    out[i] = (*previous)[i];
                    continue;
                }
            }
            int r = s.r, g = s.g, b = s.b;
            int *e = current + size_t(x + 1) * 3;
            if (dither) {
                r = clampByte(r + e[0] / 16);
                g = clampByte(g + e[1] / 16);
                b = clampByte(b + e[2] / 16);
            }
            const int index = nearest.find(r, g, b);
            out[i] = uint8_t(index);
            reference[i] = s;
            if (dither) {
                const Pixel &c = palette[size_t(index)];
                const int er = (r - c.r) * strength / 256;
                const int eg = (g - c.g) * strength / 256;
                const int eb = (b - c.b) * strength / 256;
                const int dir = reverse ? -1 : 1;
                int *ahead = current + size_t(x + 1 + dir) * 3;
                int *below = next + size_t(x + 1) * 3;
                int *belowAhead = next + size_t(x + 1 + dir) * 3;
                int *belowBehind = next + size_t(x + 1 - dir) * 3;
                const int err[3] = { er, eg, eb };
                for (int c3 = 0; c3 < 3; ++c3) {
                    ahead[c3] += err[c3] * 7;
                    belowBehind[c3] += err[c3] * 3;
                    below[c3] += err[c3] * 5;
                    belowAhead[c3] += err[c3] * 1;
                }
            }
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
    // unchanged pixels become transparent and compress far better.
    bool withTransparent = hasTransparent || (animated && (maxColors >= 16 || unique < maxColors));
    if (unique == 0)
        withTransparent = true;
    const int budget = maxColors - (withTransparent ? 1 : 0);

    std::vector<Pixel> palette;
    if (unique == 0) {
    } else if (unique <= budget) {
        histogram.forEach([&](uint32_t rgb, uint32_t) { palette.push_back(fromRgb(rgb)); });
    } else if (budget == 1) {
        double sum[3] = { 0, 0, 0 };
        double total = 0;
        histogram.forEach([&](uint32_t rgb, uint32_t count) {
            sum[0] += double(rgb >> 16) * count;
            sum[1] += double((rgb >> 8) & 255) * count;
            sum[2] += double(rgb & 255) * count;
            total += count;
        });
        palette.push_back(Pixel { uint8_t(std::lround(sum[0] / total)),
            uint8_t(std::lround(sum[1] / total)), uint8_t(std::lround(sum[2] / total)), 255 });
    } else {
        palette = liqPalette(histogram, budget, settings.speed);
        refinePalette(histogram, palette, settings.refineIterations);
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
    std::vector<Pixel> reference(pixels, Pixel { 0, 0, 0, 0 });
    std::vector<int> errors(size_t(animation.width + 2) * 3 * 2, 0);
    result.frames.reserve(animation.frames.size());
    for (size_t k = 0; k < animation.frames.size(); ++k) {
        std::vector<uint8_t> out(pixels);
        mapFrame(animation.frames[k], animation.width, animation.height, palette,
            result.transparentIndex, nearest, settings, k ? &result.frames.back() : nullptr,
            reference, out, errors);
        result.frames.push_back(std::move(out));
        result.delays.push_back(animation.frames[k].delay);
        std::vector<Pixel>().swap(animation.frames[k].pixels);
    }
    return result;
}

} // namespace qvgif
