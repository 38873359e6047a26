#pragma once

#include <cstdint>

// What quorvel-decode writes on its standard output, in this order: one
// Header, reasonBytes of UTF-8 text, iccBytes of ICC profile, then height
// rows of width * 4 bytes (QImage::Format_ARGB32, no padding). Host byte
// order: both ends are the same build on the same machine.
namespace DecodeHelperProtocol {

constexpr uint32_t kMagic = 0x31445651; // "QVD1"

// Exit codes besides 0 (a Header was written, ok or not).
enum ExitCode : int { ExitUsage = 2, ExitOutOfMemory = 3 };

struct Header
{
    uint32_t magic = kMagic;
    int32_t ok = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t dotsPerMeterX = 0;
    int32_t dotsPerMeterY = 0;
    uint32_t reasonBytes = 0;
    uint32_t iccBytes = 0;
};

constexpr uint32_t kMaxReasonBytes = 4096;
constexpr uint32_t kMaxIccBytes = 16u << 20;

} // namespace DecodeHelperProtocol
