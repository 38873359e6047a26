#include "LzwPlanner.h"

#include <algorithm>
#include <cstring>

namespace qvgif {

namespace {
constexpr int kMaxCode = 4095;
}

LzwPlanner::LzwPlanner()
    : m_next(size_t(4096) * 256, 0)
{
}

void LzwPlanner::resetDictionary(int clearCode)
{
    std::memset(m_next.data(), 0, size_t(clearCode) * 256 * sizeof(uint16_t));
}

size_t LzwPlanner::plan(
    int minCodeSize, const uint8_t *preferred, const uint8_t *other, size_t count, uint8_t *chosen)
{
    const int clearCode = 1 << minCodeSize;
    const int eofCode = clearCode + 1;
    int runningCode = eofCode + 1;
    int runningBits = minCodeSize + 1;
    int maxCode1 = 1 << runningBits;
    uint64_t bits = 0;
    auto output = [&](int code) {
        bits += uint64_t(runningBits);
        if (runningCode >= maxCode1 && code <= kMaxCode)
            maxCode1 = 1 << ++runningBits;
    };

    resetDictionary(clearCode);
    output(clearCode);
    if (count == 0) {
        output(eofCode);
    } else {
        // A string that cannot be extended starts again with the pixel's value; when
        // it has a choice, take the one whose next step is already in the dictionary.
        auto startValue = [&](size_t i) -> int {
            const int a = preferred[i];
            const int b = other[i];
            if (a == b || i + 1 >= count)
                return a;
            const int na = preferred[i + 1];
            const int nb = other[i + 1];
            if (child(a, na) || child(a, nb))
                return a;
            if (child(b, na) || child(b, nb))
                return b;
            return a;
        };
        int current = startValue(0);
        chosen[0] = uint8_t(current);
        for (size_t i = 1; i < count; ++i) {
            const int a = preferred[i];
            const int b = other[i];
            int value = a;
            uint16_t next = child(current, a);
            if (a != b) {
                const uint16_t nextB = child(current, b);
                if (next && nextB && i + 1 < count) {
                    // Both continue the string: keep the one that goes further.
                    const int na = preferred[i + 1];
                    const int nb = other[i + 1];
                    if (!(child(next, na) || child(next, nb))
                        && (child(nextB, na) || child(nextB, nb))) {
                        next = nextB;
                        value = b;
                    }
                } else if (!next && nextB) {
                    next = nextB;
                    value = b;
                }
            }
            if (next) {
                current = next;
                chosen[i] = uint8_t(value);
                continue;
            }
            value = startValue(i);
            chosen[i] = uint8_t(value);
            output(current);
            if (runningCode >= kMaxCode) {
                output(clearCode);
                runningCode = eofCode + 1;
                runningBits = minCodeSize + 1;
                maxCode1 = 1 << runningBits;
                resetDictionary(clearCode);
            } else {
                const int code = runningCode++;
                std::memset(m_next.data() + (size_t(code) << 8), 0, 256 * sizeof(uint16_t));
                m_next[size_t(current) << 8 | size_t(value)] = uint16_t(code);
            }
            current = value;
        }
        output(current);
        output(eofCode);
    }
    const size_t bytes = size_t((bits + 7) / 8);
    return 1 + bytes + (bytes + 254) / 255 + 1;
}

} // namespace qvgif
