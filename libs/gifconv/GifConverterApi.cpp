#include "GifConverterApi.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "GifConverter.h"

namespace {

// Each calling thread owns its result, so two converters running on two worker
// threads never free each other's bytes. Plain data only: nothing has to run at
// thread exit.
thread_local GifConverterResult t_result = { nullptr, 0 };

void releaseResult()
{
    std::free(t_result.bytes);
    t_result.bytes = nullptr;
    t_result.count = 0;
}

} // namespace

extern "C" GifConverterResult *GifConverter(int argc, char **argv)
{
    releaseResult();
    try {
        const auto options = qvgif::parseArguments(argc, argv);
        if (!options)
            return &t_result;
        const std::vector<uint8_t> bytes = qvgif::convertGif(*options);
        if (bytes.empty() || bytes.size() > size_t(INT_MAX))
            return &t_result;
        auto *copy = static_cast<unsigned char *>(std::malloc(bytes.size()));
        if (!copy)
            return &t_result;
        std::memcpy(copy, bytes.data(), bytes.size());
        t_result.bytes = copy;
        t_result.count = int(bytes.size());
    } catch (...) {
        // Corrupt input, exhausted limits or memory: the caller only sees count 0.
        releaseResult();
    }
    return &t_result;
}

extern "C" void Release(void) { releaseResult(); }
