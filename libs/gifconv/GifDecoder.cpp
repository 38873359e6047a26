#include "GifDecoder.h"

#include <algorithm>
#include <memory>

#include <gif_lib.h>

namespace qvgif {

namespace {

struct MemoryReader
{
    const uint8_t *data;
    size_t size;
    size_t position;
};

int readFromMemory(GifFileType *gif, GifByteType *buffer, int length)
{
    auto *reader = static_cast<MemoryReader *>(gif->UserData);
    if (length <= 0)
        return 0;
    const size_t wanted = size_t(length);
    const size_t available = reader->size - reader->position;
    const size_t count = std::min(wanted, available);
    if (count == 0)
        return 0;
    std::memcpy(buffer, reader->data + reader->position, count);
    reader->position += count;
    return int(count);
}

struct GifCloser
{
    void operator()(GifFileType *gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

std::vector<Pixel> toPalette(const ColorMapObject *map)
{
    const int count = std::clamp(map->ColorCount, 0, 256);
    std::vector<Pixel> palette;
    palette.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        palette.push_back(
            Pixel { map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue, 255 });
    return palette;
}

void skipImageData(GifFileType *gif)
{
    GifByteType *block = nullptr;
    do {
        if (DGifGetCodeNext(gif, &block) == GIF_ERROR)
            throw ConvertFailure("corrupt image data");
    } while (block);
}

void readPixels(GifFileType *gif, SourceFrame &frame, bool interlaced)
{
    const int w = frame.width;
    const int h = frame.height;
    frame.indices.assign(size_t(w) * size_t(h), 0);
    auto readRow = [&](int row) {
        if (DGifGetLine(gif, frame.indices.data() + size_t(row) * size_t(w), w) == GIF_ERROR)
            throw ConvertFailure("truncated or corrupt image data");
    };
    if (interlaced) {
        static const int offsets[] = { 0, 4, 2, 1 };
        static const int steps[] = { 8, 8, 4, 2 };
        for (int pass = 0; pass < 4; ++pass) {
            for (int row = offsets[pass]; row < h; row += steps[pass])
                readRow(row);
        }
    } else {
        for (int row = 0; row < h; ++row)
            readRow(row);
    }
}

struct ControlBlock
{
    int disposal = 0;
    int delay = 0;
    int transparentIndex = -1;
};

void readExtension(GifFileType *gif, ControlBlock *control, int *loopCount)
{
    int code = 0;
    GifByteType *block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
        throw ConvertFailure("corrupt extension");
    bool looping = false;
    if (block && code == GRAPHICS_EXT_FUNC_CODE && block[0] >= 4) {
        control->disposal = (block[1] >> 2) & 7;
        control->delay = block[2] | (block[3] << 8);
        control->transparentIndex = (block[1] & 1) ? int(block[4]) : -1;
    } else if (block && code == APPLICATION_EXT_FUNC_CODE && block[0] == 11
        && (std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0
            || std::memcmp(block + 1, "ANIMEXTS1.0", 11) == 0)) {
        looping = true;
    }
    while (block) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
            throw ConvertFailure("corrupt extension");
        if (looping && block && block[0] >= 3 && block[1] == 1) {
            *loopCount = block[2] | (block[3] << 8);
            looping = false;
        }
    }
}

} // namespace

SourceAnimation decodeGif(const std::vector<uint8_t> &bytes)
{
    MemoryReader reader { bytes.data(), bytes.size(), 0 };
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, readFromMemory, &error));
    if (!gif)
        throw ConvertFailure("not a GIF");

    SourceAnimation animation;
    animation.screenWidth = gif->SWidth;
    animation.screenHeight = gif->SHeight;
    int globalPalette = -1;
    if (gif->SColorMap) {
        animation.palettes.push_back(toPalette(gif->SColorMap));
        globalPalette = 0;
    }

    long long decodedPixels = 0;
    ControlBlock control;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) {
            // A file that stops cleanly after a complete frame only lacks its
            // trailer; viewers show it, so it is accepted. Anything else is damage.
            if (gif->Error == D_GIF_ERR_READ_FAILED && reader.position == reader.size
                && !animation.frames.empty())
                break;
            throw ConvertFailure("corrupt record");
        }
        if (record == TERMINATE_RECORD_TYPE)
            break;
        if (record == EXTENSION_RECORD_TYPE) {
            readExtension(gif.get(), &control, &animation.loopCount);
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE)
            throw ConvertFailure("unknown record");

        if (DGifGetImageDesc(gif.get()) == GIF_ERROR)
            throw ConvertFailure("corrupt image descriptor");
        if (animation.frames.size() >= size_t(kMaxFrames))
            throw ConvertFailure("too many frames");
        const GifImageDesc &desc = gif->Image;
        SourceFrame frame;
        frame.left = desc.Left;
        frame.top = desc.Top;
        frame.width = desc.Width;
        frame.height = desc.Height;
        frame.transparentIndex = control.transparentIndex;
        frame.disposal = control.disposal;
        frame.delay = control.delay;
        control = ControlBlock();
        if (desc.ColorMap) {
            animation.palettes.push_back(toPalette(desc.ColorMap));
            frame.paletteId = int(animation.palettes.size()) - 1;
        } else if (globalPalette >= 0) {
            frame.paletteId = globalPalette;
        } else {
            throw ConvertFailure("frame without colour table");
        }
        const long long area = (long long)frame.width * frame.height;
        decodedPixels += area;
        if (frame.width < 0 || frame.height < 0 || area > kMaxCanvasPixels
            || decodedPixels > kMaxDecodedPixels)
            throw ConvertFailure("frames too large");
        if (area == 0)
            skipImageData(gif.get());
        else
            readPixels(gif.get(), frame, desc.Interlace);
        animation.frames.push_back(std::move(frame));
    }
    if (animation.frames.empty())
        throw ConvertFailure("no frames");
    return animation;
}

} // namespace qvgif
