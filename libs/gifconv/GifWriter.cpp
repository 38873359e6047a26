#include "GifWriter.h"

#include <algorithm>
#include <memory>

#include <gif_lib.h>

#include "FramePlanner.h"

namespace qvgif {

namespace {

int paletteBits(size_t colors)
{
    int bits = 1;
    while ((size_t(1) << bits) < colors)
        ++bits;
    return bits;
}

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

// A frame's own colour table, when one pays.
struct LocalTable
{
    std::vector<GifColorType> colors; // empty: the frame uses the global table
    int transparent = -1;
};

size_t measure(LzwPlanner &lzw, int bits, const std::vector<uint8_t> &pixels)
{
    std::vector<uint8_t> ignored(pixels.size());
    PixelChoices fixed;
    fixed.preferred = fixed.other = fixed.target = pixels.data();
    return lzw.plan(std::max(2, bits), fixed, pixels.size(), ignored.data());
}

// A frame that uses few of the global colours may carry a smaller table of its
// own: every code gets shorter, at the price of the table. Both are measured and
// the smaller wins; the frame's pixels are renumbered when the local table does.
LocalTable chooseTable(PlannedFrame &frame, const std::vector<Pixel> &palette, int transparent,
    int globalBits, LzwPlanner &lzw)
{
    LocalTable table;
    std::vector<int> local(256, -1);
    for (const uint8_t index : frame.pixels)
        local[index] = 0;
    std::vector<uint8_t> used;
    for (int i = 0; i < 256; ++i) {
        if (local[size_t(i)] == 0) {
            local[size_t(i)] = int(used.size());
            used.push_back(uint8_t(i));
        }
    }
    const int bits = paletteBits(used.size());
    if (bits >= globalBits)
        return table;
    std::vector<uint8_t> renumbered(frame.pixels.size());
    for (size_t i = 0; i < frame.pixels.size(); ++i)
        renumbered[i] = uint8_t(local[frame.pixels[i]]);
    const size_t globalSize = measure(lzw, globalBits, frame.pixels);
    const size_t localSize = measure(lzw, bits, renumbered) + 3 * (size_t(1) << bits);
    if (localSize >= globalSize)
        return table;
    table.colors.assign(size_t(1) << bits, GifColorType { 0, 0, 0 });
    for (size_t i = 0; i < used.size(); ++i) {
        const Pixel &p = palette[used[i]];
        table.colors[i] = GifColorType { p.r, p.g, p.b };
    }
    table.transparent = transparent >= 0 ? local[size_t(transparent)] : -1;
    frame.pixels.swap(renumbered);
    return table;
}

void check(int status)
{
    if (status == GIF_ERROR)
        throw ConvertFailure("encoding failed");
}

} // namespace

std::vector<uint8_t> writeGif(const IndexedAnimation &animation)
{
    std::vector<PlannedFrame> frames = FramePlanner(animation).run();

    // The planner's freedom often leaves entries unused; dropping them shrinks the
    // colour table and, below a power of two, every code of every frame.
    std::vector<int> remap(256, -1);
    for (const PlannedFrame &frame : frames) {
        for (const uint8_t index : frame.pixels)
            remap[index] = 0;
    }
    std::vector<Pixel> palette;
    int transparent = -1;
    for (size_t i = 0; i < animation.palette.size(); ++i) {
        if (remap[i] < 0 && int(i) != animation.transparentIndex)
            continue;
        remap[i] = int(palette.size());
        if (int(i) == animation.transparentIndex)
            transparent = remap[i];
        palette.push_back(animation.palette[i]);
    }
    for (PlannedFrame &frame : frames) {
        for (uint8_t &index : frame.pixels)
            index = uint8_t(remap[index]);
    }

    std::vector<uint8_t> bytes;
    const int bits = paletteBits(palette.size());
    std::vector<GifColorType> colors(size_t(1) << bits, GifColorType { 0, 0, 0 });
    for (size_t i = 0; i < palette.size(); ++i)
        colors[i] = GifColorType { palette[i].r, palette[i].g, palette[i].b };
    std::unique_ptr<ColorMapObject, MapDeleter> map(GifMakeMapObject(1 << bits, colors.data()));
    if (!map)
        throw ConvertFailure("out of memory");

    int error = 0;
    std::unique_ptr<GifFileType, EncoderCloser> gif(EGifOpen(&bytes, writeToVector, &error));
    if (!gif)
        throw ConvertFailure("encoder failed");
    EGifSetGifVersion(gif.get(), true);
    const int background = std::max(0, transparent);
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

    LzwPlanner lzw;
    for (PlannedFrame &frame : frames) {
        const LocalTable table = chooseTable(frame, palette, transparent, bits, lzw);
        std::unique_ptr<ColorMapObject, MapDeleter> localMap;
        if (!table.colors.empty()) {
            localMap.reset(GifMakeMapObject(int(table.colors.size()), table.colors.data()));
            if (!localMap)
                throw ConvertFailure("out of memory");
        } else if (gif->Image.ColorMap) {
            // giflib 5.2 drops, without freeing, the previous frame's local table
            // when a frame without one follows.
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
        const int frameTransparent = table.colors.empty() ? transparent : table.transparent;
        GraphicsControlBlock control;
        control.DisposalMode = frame.disposal;
        control.UserInputFlag = false;
        control.DelayTime = frame.delay;
        control.TransparentColor = frameTransparent >= 0 ? frameTransparent : NO_TRANSPARENT_COLOR;
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        check(EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, int(length), extension));
        check(EGifPutImageDesc(gif.get(), frame.rect.left, frame.rect.top, frame.rect.width,
            frame.rect.height, false, localMap.get()));
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
