#pragma once

#include "Animation.h"
#include "ConvertOptions.h"
#include "GifDecoder.h"

namespace qvgif {

// Plays the source animation on its full canvas the way a browser does (disposal
// to background clears to transparent, disposal to previous restores the frame's
// area), keeps the requested frames and scales each kept picture to the output
// size. Delays of dropped frames go to the kept frame shown before them, so the
// animation keeps its length; the last frame is always kept.
RgbaAnimation composeFrames(const SourceAnimation &source, const ConvertOptions &options);

} // namespace qvgif
