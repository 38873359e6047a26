#pragma once

#include "Animation.h"

namespace qvgif {

// Settings of the colour stage, fixed per job.
struct PaletteSettings
{
    int maxColors = 256;
    // Error diffusion strength, 0..1; 0 maps every pixel to its nearest colour.
    float dither = 0.0f;
    // A pixel keeps the colour it already shows when its source moved by at most
    // this squared RGB distance since that colour was chosen, so still areas do not
    // flicker between neighbouring palette entries from frame to frame.
    int stillTolerance = 0;
    // Lloyd iterations in sRGB on top of libimagequant's palette.
    int refineIterations = 0;
    int speed = 0;
};

// Chooses one palette of at most maxColors entries for the whole animation with
// libimagequant (an exact palette when the frames use few enough colours) and maps
// every frame to it. One entry is kept transparent when the frames need one or when
// frame differencing can use it. Consumes the RGBA frames to bound peak memory.
IndexedAnimation quantizeAnimation(RgbaAnimation &&animation, const PaletteSettings &settings);

} // namespace qvgif
