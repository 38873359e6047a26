#include "ConvertOptions.h"

#include <algorithm>
#include <cstring>

namespace qvgif {

namespace {

// Plain decimal digits only: no sign, no blanks, no hex, bounded.
bool parseNumber(const char *text, size_t length, long maxValue, long *out)
{
    if (length == 0 || length > 10)
        return false;
    long value = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    if (value > maxValue)
        return false;
    *out = value;
    return true;
}

bool parseSize(const char *text, int *width, int *height)
{
    const char *cross = std::strchr(text, 'x');
    if (!cross)
        cross = std::strchr(text, 'X');
    if (!cross)
        return false;
    long w = 0;
    long h = 0;
    if (!parseNumber(text, size_t(cross - text), 65535, &w)
        || !parseNumber(cross + 1, std::strlen(cross + 1), 65535, &h) || w < 1 || h < 1)
        return false;
    *width = int(w);
    *height = int(h);
    return true;
}

} // namespace

std::optional<ConvertOptions> parseArguments(int argc, const char *const *argv)
{
    if (argc < 2 || !argv)
        return std::nullopt;
    for (int i = 0; i < argc; ++i) {
        if (!argv[i])
            return std::nullopt;
    }
    ConvertOptions options;
    options.sourcePath = argv[1];
    if (options.sourcePath.empty())
        return std::nullopt;

    for (int i = 2; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strcmp(arg, "--resize") == 0) {
            if (i + 1 >= argc || !parseSize(argv[++i], &options.width, &options.height))
                return std::nullopt;
        } else if (std::strcmp(arg, "--colors") == 0) {
            long colors = 0;
            if (i + 1 >= argc)
                return std::nullopt;
            const char *value = argv[++i];
            if (!parseNumber(value, std::strlen(value), 256, &colors) || colors < 2)
                return std::nullopt;
            options.colors = int(colors);
        } else if (std::strcmp(arg, "--delete") == 0) {
            int taken = 0;
            while (i + 1 < argc && argv[i + 1][0] == '#') {
                const char *value = argv[++i] + 1;
                long index = 0;
                if (!parseNumber(value, std::strlen(value), 2147483647L, &index))
                    return std::nullopt;
                options.deletedFrames.push_back(index);
                ++taken;
            }
            if (taken == 0)
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    std::sort(options.deletedFrames.begin(), options.deletedFrames.end());
    options.deletedFrames.erase(
        std::unique(options.deletedFrames.begin(), options.deletedFrames.end()),
        options.deletedFrames.end());
    return options;
}

} // namespace qvgif
