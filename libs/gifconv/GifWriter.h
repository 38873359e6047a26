#pragma once

#include "Animation.h"

#include <cstdint>
#include <vector>

namespace qvgif {

// Writes the indexed animation with giflib after choosing, frame by frame, the
// smallest way to reach the next picture: the previous frame's disposal (keep,
// clear to transparent or restore), the rectangle that changed, and for unchanged
// pixels inside it either transparency or the colour already shown.
std::vector<uint8_t> writeGif(const IndexedAnimation &animation);

} // namespace qvgif
