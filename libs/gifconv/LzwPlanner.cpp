#include "LzwPlanner.h"

#include <algorithm>

#include "ColorSearch.h"

namespace qvgif {

namespace {
constexpr int kMaxCode = 4095;
constexpr uint32_t kMaxGeneration = (1u << 12) - 1;
constexpr int kMaxChildrenTried = 16;
} // namespace

LzwPlanner::LzwPlanner()
    : m_keys(kSlots, 0)
    , m_codes(kSlots, 0)
    , m_firstChild(4096, 0)
    , m_firstChildGeneration(4096, 0)
    , m_sibling(4096, 0)
    , m_suffix(4096, 0)
{
}

void LzwPlanner::resetDictionary()
{
    if (++m_generation > kMaxGeneration) {
        std::fill(m_keys.begin(), m_keys.end(), 0);
        std::fill(m_firstChildGeneration.begin(), m_firstChildGeneration.end(), 0);
        m_generation = 1;
    }
}

size_t LzwPlanner::plan(int minCodeSize, const PixelChoices &choices, size_t count, uint8_t *chosen)
{
    const uint8_t *preferred = choices.preferred;
    const uint8_t *other = choices.other;
    const uint8_t *target = choices.target;

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

    // The dictionary entry that continues string `code` with an admissible value of
    // pixel i, or 0; the value taken goes to *value.
    auto extend = [&](int code, size_t i, int *value) -> uint16_t {
        const int a = preferred[i];
        if (const uint16_t next = child(code, a)) {
            *value = a;
            return next;
        }
        const int b = other[i];
        if (b != a) {
            if (const uint16_t next = child(code, b)) {
                *value = b;
                return next;
            }
        }
        const int t = target[i];
        if (t != a && t != b) {
            if (const uint16_t next = child(code, t)) {
                *value = t;
                return next;
            }
        }
        // Any continuation whose colour is close enough to the source will do;
        // take the closest.
        const int radius2 = choices.radius2 ? choices.radius2[i] : 0;
        if (radius2 == 0)
            return 0;
        const Pixel s = choices.source[i];
        int bestDistance = radius2 + 1;
        uint16_t best = 0;
        // The newest children come first; looking further rarely finds more.
        int visited = 0;
        for (uint16_t c = firstChild(code); c && visited < kMaxChildrenTried;
             c = m_sibling[c], ++visited) {
            const int v = m_suffix[c];
            if (v == choices.transparent)
                continue;
            const Pixel &p = choices.palette[v];
            const int dg = int(s.g) - int(p.g);
            if (dg * dg > radius2)
                continue;
            const int d = toleranceDistance2(s, p);
            if (d < bestDistance) {
                bestDistance = d;
                best = c;
            }
        }
        if (best)
            *value = m_suffix[best];
        return best;
    };
    // A string that cannot be extended starts again; between the two unchanged
    // choices take the one whose next step is already in the dictionary.
    auto startValue = [&](size_t i) -> int {
        const int a = preferred[i];
        const int b = other[i];
        if (a == b || i + 1 >= count)
            return a;
        int ignored = 0;
        if (extend(a, i + 1, &ignored))
            return a;
        if (extend(b, i + 1, &ignored))
            return b;
        return a;
    };

    resetDictionary();
    output(clearCode);
    if (count > 0) {
        int current = startValue(0);
        chosen[0] = uint8_t(current);
        for (size_t i = 1; i < count; ++i) {
            int value = 0;
            if (const uint16_t next = extend(current, i, &value)) {
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
                resetDictionary();
            } else {
                addChild(current, value, runningCode++);
            }
            current = value;
        }
        output(current);
    }
    output(eofCode);
    const size_t bytes = size_t((bits + 7) / 8);
    return 1 + bytes + (bytes + 254) / 255 + 1;
}

} // namespace qvgif
