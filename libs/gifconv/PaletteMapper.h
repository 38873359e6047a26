#pragma once

#include "Animation.h"

namespace qvgif {

// Settings of the colour stage, fixed per job.
struct PaletteSettings
{
    int maxColors = 256;
    // The encoder may write any palette colour within a radius of a pixel's source
    // colour (in the brightness-weighted distance of toleranceDistance2):
    // toleranceScale times the distance to the nearest palette colour plus
    // toleranceBias. Scale 1 and bias 0 admit only equally good colours.
    float toleranceScale = 1.0f;
    float toleranceBias = 0.0f;
};

// Chooses one palette of at most maxColors entries for the whole animation with
// libimagequant (the exact colours when the frames use few enough) and maps every
// pixel to its nearest entry; no dithering, which costs bytes in every frame and
// measures worse. One entry is kept transparent when the frames need one or when
// frame differencing can use it. The RGBA frames move into the result as the
// sources the encoder measures its freedom against. Runs on the converting thread.
IndexedAnimation quantizeAnimation(RgbaAnimation &&animation, const PaletteSettings &settings);

} // namespace qvgif
