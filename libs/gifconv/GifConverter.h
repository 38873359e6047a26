#pragma once

#include "ConvertOptions.h"

#include <cstdint>
#include <vector>

namespace qvgif {

// The whole job on the calling thread: read, compose and scale, quantize, optimise
// and encode. Throws ConvertFailure (or std::bad_alloc) when the job cannot be done.
std::vector<uint8_t> convertGif(const ConvertOptions &options);

} // namespace qvgif
