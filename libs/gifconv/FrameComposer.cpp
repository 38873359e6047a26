#include "FrameComposer.h"

#include <algorithm>

#include "FrameResampler.h"

namespace qvgif {

namespace {

struct Rect
{
    int left, top, right, bottom; // clipped to the canvas, right/bottom exclusive
};

Rect clippedRect(const SourceFrame &frame, int width, int height)
{
    Rect r;
    r.left = std::clamp(frame.left, 0, width);
    r.top = std::clamp(frame.top, 0, height);
    r.right = std::clamp(frame.left + frame.width, 0, width);
    r.bottom = std::clamp(frame.top + frame.height, 0, height);
    return r;
}

void drawFrame(const SourceFrame &frame, const std::vector<Pixel> &palette, const Rect &r,
    std::vector<Pixel> &canvas, int canvasWidth)
{
    if (r.left >= r.right || r.top >= r.bottom)
        return; // wholly outside the canvas
    const Pixel black { 0, 0, 0, 255 };
    for (int y = r.top; y < r.bottom; ++y) {
        const uint8_t *in = frame.indices.data() + size_t(y - frame.top) * size_t(frame.width)
            + size_t(r.left - frame.left);
        Pixel *out = canvas.data() + size_t(y) * size_t(canvasWidth);
        for (int x = r.left; x < r.right; ++x, ++in) {
            const int index = *in;
            if (index == frame.transparentIndex)
                continue;
            out[x] = size_t(index) < palette.size() ? palette[size_t(index)] : black;
        }
    }
}

void copyRect(const std::vector<Pixel> &from, std::vector<Pixel> &to, const Rect &r, int width)
{
    for (int y = r.top; y < r.bottom; ++y) {
        const size_t row = size_t(y) * size_t(width);
        std::copy(from.begin() + long(row + size_t(r.left)),
            from.begin() + long(row + size_t(r.right)), to.begin() + long(row + size_t(r.left)));
    }
}

} // namespace

RgbaAnimation composeFrames(const SourceAnimation &source, const ConvertOptions &options)
{
    // A zero logical screen (seen in the wild) takes the extent of the frames.
    int width = source.screenWidth;
    int height = source.screenHeight;
    if (width <= 0 || height <= 0) {
        width = height = 0;
        for (const SourceFrame &f : source.frames) {
            width = std::max(width, std::min(65535, f.left + f.width));
            height = std::max(height, std::min(65535, f.top + f.height));
        }
    }
    const long long canvasPixels = (long long)width * height;
    const long long frameCount = (long long)source.frames.size();
    if (canvasPixels <= 0 || canvasPixels > kMaxCanvasPixels
        || canvasPixels * frameCount > kMaxComposedPixels)
        throw ConvertFailure("canvas too large");

    const int outWidth = options.width > 0 ? options.width : width;
    const int outHeight = options.height > 0 ? options.height : height;

    const size_t last = source.frames.size() - 1;
    std::vector<bool> keep(source.frames.size(), true);
    for (long index : options.deletedFrames) {
        if (index >= 0 && size_t(index) < last)
            keep[size_t(index)] = false;
    }
    const long long keptCount = std::count(keep.begin(), keep.end(), true);
    const long long outPixels = (long long)outWidth * outHeight;
    // The scaler keeps up to a source column's height of filtered rows, each as
    // wide as the output, in floats: bounded too.
    if (outPixels > kMaxCanvasPixels || outPixels * keptCount > maxOutputPixels()
        || (long long)height * outWidth > kMaxCanvasPixels / 2)
        throw ConvertFailure("output too large");

    RgbaAnimation result;
    result.width = outWidth;
    result.height = outHeight;
    result.loopCount = source.loopCount;
    result.frames.reserve(size_t(keptCount));

    FrameResampler resampler(width, height, outWidth, outHeight);
    std::vector<Pixel> canvas(size_t(canvasPixels), Pixel { 0, 0, 0, 0 });
    std::vector<Pixel> saved;
    long long leadingDelay = 0;

    for (size_t i = 0; i < source.frames.size(); ++i) {
        const SourceFrame &frame = source.frames[i];
        const Rect r = clippedRect(frame, width, height);
        if (frame.disposal == 3) {
            if (saved.empty())
                saved.resize(canvas.size());
            copyRect(canvas, saved, r, width);
        }
        drawFrame(frame, source.palettes[size_t(frame.paletteId)], r, canvas, width);

        if (keep[i]) {
            RgbaFrame out;
            out.pixels.resize(size_t(outPixels));
            resampler.resample(canvas.data(), out.pixels.data());
            out.delay = int(std::min<long long>(kMaxDelay, frame.delay + leadingDelay));
            leadingDelay = 0;
            result.frames.push_back(std::move(out));
        } else if (!result.frames.empty()) {
            RgbaFrame &shown = result.frames.back();
            shown.delay = std::min(kMaxDelay, shown.delay + frame.delay);
        } else {
            leadingDelay += frame.delay; // nothing shown yet: the next kept frame takes it
        }

        if (frame.disposal == 2) {
            for (int y = r.top; y < r.bottom; ++y)
                std::fill_n(canvas.begin() + long(size_t(y) * size_t(width) + size_t(r.left)),
                    r.right - r.left, Pixel { 0, 0, 0, 0 });
        } else if (frame.disposal == 3) {
            copyRect(saved, canvas, r, width);
        }
    }
    return result;
}

} // namespace qvgif
