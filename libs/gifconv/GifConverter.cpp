#include "GifConverter.h"

#include "FrameComposer.h"
#include "GifDecoder.h"
#include "GifWriter.h"
#include "PaletteMapper.h"

#include <cstdio>
#include <memory>

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

// Dithering pays off only when few colours are left; with many it mostly adds noise
// that costs bytes in every frame.
PaletteSettings paletteSettingsFor(int colors)
{
    PaletteSettings settings;
    settings.maxColors = colors;
    settings.dither = 0.0f;
    settings.stillTolerance = 0;
    settings.refineIterations = 0;
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
