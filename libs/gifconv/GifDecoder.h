#pragma once

#include <cstdint>
#include <vector>

#include "Animation.h"

namespace qvgif {

// One frame as stored in the file: its rectangle, colour indices and control block.
struct SourceFrame
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> indices; // width x height, rows top to bottom
    int paletteId = 0; // into SourceAnimation::palettes
    int transparentIndex = -1;
    int disposal = 0;
    int delay = 0;
};

struct SourceAnimation
{
    int screenWidth = 0;
    int screenHeight = 0;
    int loopCount = -1;
    std::vector<std::vector<Pixel>> palettes; // opaque; indices past the end show black
    std::vector<SourceFrame> frames;
};

// Decodes every frame with giflib's record-level reader, so sizes can be checked
// before anything is allocated. Throws ConvertFailure on corrupt or truncated data.
SourceAnimation decodeGif(const std::vector<uint8_t> &bytes);

} // namespace qvgif
