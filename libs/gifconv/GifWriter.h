#pragma once

#include <cstdint>
#include <vector>

#include "Animation.h"

namespace qvgif {

// Plans the frames (FramePlanner) and writes them with giflib: one global palette,
// the loop extension when the source had one, and per frame its control block
// (delay, disposal, transparent index) and the planned rectangle.
std::vector<uint8_t> writeGif(const IndexedAnimation &animation);

} // namespace qvgif
