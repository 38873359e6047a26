#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qvgif {

// What the caller asked for, parsed from the C argument vector.
struct ConvertOptions
{
    std::string sourcePath;
    int width = 0; // 0: keep the source size
    int height = 0;
    int colors = 256;
    std::vector<long> deletedFrames; // sorted, unique, 0-based
};

// Strict parser: an unknown option, a missing or malformed value or a number out of
// range yields nothing, so the caller reports failure instead of guessing.
std::optional<ConvertOptions> parseArguments(int argc, const char *const *argv);

} // namespace qvgif
