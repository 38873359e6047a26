#pragma once

#include <cstdint>
#include <vector>

#include "ConvertOptions.h"

namespace qvgif {

// The whole job on the calling thread: read, compose and scale, quantize, optimise
// and encode. Throws ConvertFailure (or std::bad_alloc) when the job cannot be done.
std::vector<uint8_t> convertGif(const ConvertOptions &options);

} // namespace qvgif
