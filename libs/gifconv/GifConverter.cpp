#include "GifConverter.h"

#include <cstdio>
#include <memory>

#include "FrameComposer.h"
#include "GifDecoder.h"
#include "GifWriter.h"
#include "PaletteMapper.h"

namespace qvgif {

namespace {

struct FileCloser
{
    void operator()(std::FILE *file) const { std::fclose(file); }
};

std::vector<uint8_t> readFile(const std::string &path)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        throw ConvertFailure("cannot open source");
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    for (;;) {
        const size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
        if (n == 0)
            break;
        if ((long long)(bytes.size() + n) > kMaxFileBytes)
            throw ConvertFailure("source too large");
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    if (std::ferror(file.get()))
        throw ConvertFailure("cannot read source");
    return bytes;
}

// How far the encoder may stray from the nearest palette colour, measured with
// bench/gif on photographs, gradients, stickers and screen recordings: a pixel may
// take any colour up to 1.7 times as far from its source as the nearest one, plus
// a little. Files shrink by a fifth or more for a small loss of fidelity. With few
// colours the nearest one is already far off, and the same share would cost
// visible structure, so the share is smaller there.
PaletteSettings paletteSettingsFor(int colors)
{
    PaletteSettings settings;
    settings.maxColors = colors;
    settings.toleranceScale = colors < 32 ? 1.6f : 1.7f;
    settings.toleranceBias = 6.0f;
    return settings;
}

} // namespace

std::vector<uint8_t> convertGif(const ConvertOptions &options)
{
    RgbaAnimation frames;
    {
        const SourceAnimation source = decodeGif(readFile(options.sourcePath));
        frames = composeFrames(source, options);
    }
    const IndexedAnimation indexed
        = quantizeAnimation(std::move(frames), paletteSettingsFor(options.colors));
    return writeGif(indexed);
}

} // namespace qvgif
