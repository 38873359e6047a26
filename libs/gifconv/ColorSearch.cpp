#include "ColorSearch.h"

#include <algorithm>
#include <climits>

namespace qvgif {

namespace {

constexpr int kCellSize = 8;
constexpr size_t kCells = 32 * 32 * 32;

size_t hashRgb(uint32_t key) { return size_t((key * 2654435761u) >> 8); }

size_t cellOf(uint32_t rgb)
{
    return size_t((rgb >> 19) & 31) << 10 | size_t((rgb >> 11) & 31) << 5 | size_t((rgb >> 3) & 31);
}

void addToCells(std::vector<ColorHistogram::Cell> &cells, uint32_t rgb, uint64_t count)
{
    ColorHistogram::Cell &cell = cells[cellOf(rgb)];
    cell.r += uint64_t(rgb >> 16 & 255) * count;
    cell.g += uint64_t(rgb >> 8 & 255) * count;
    cell.b += uint64_t(rgb & 255) * count;
    cell.count += count;
}

} // namespace

ColorHistogram::ColorHistogram()
    // Far more slots than kExactLimit colours: probes stay short and the table
    // never grows.
    : m_keys(1 << 12, 0)
    , m_counts(1 << 12, 0)
{
}

void ColorHistogram::add(uint32_t rgb, uint32_t count)
{
    if (!isExact()) {
        addToCells(m_cells, rgb, count);
        return;
    }
    const uint32_t key = (rgb & 0xffffffu) | 0x1000000u;
    const size_t mask = m_keys.size() - 1;
    for (size_t slot = hashRgb(key) & mask;; slot = (slot + 1) & mask) {
        if (m_keys[slot] == key) {
            m_counts[slot]
                = uint32_t(std::min<uint64_t>(UINT_MAX, uint64_t(m_counts[slot]) + count));
            return;
        }
        if (m_keys[slot] == 0) {
            m_keys[slot] = key;
            m_counts[slot] = count;
            if (++m_used > kExactLimit) {
                // Too many colours to keep one by one: on in cells.
                m_cells.resize(kCells);
                forEach([this](uint32_t colour, uint32_t n) { addToCells(m_cells, colour, n); });
                std::vector<uint32_t>().swap(m_keys);
                std::vector<uint32_t>().swap(m_counts);
            }
            return;
        }
    }
}

std::vector<ColorHistogram::Cell> ColorHistogram::cells() const
{
    if (!isExact())
        return m_cells;
    std::vector<Cell> folded(kCells);
    forEach([&folded](uint32_t colour, uint32_t n) { addToCells(folded, colour, n); });
    return folded;
}

NearestColor::NearestColor(const std::vector<Pixel> &palette, int skipIndex)
    : m_cellStart(kCells, UINT32_MAX)
    , m_cellCount(kCells, 0)
    , m_cacheKey(1 << 15, 0)
    , m_cacheValue(1 << 15, 0)
{
    for (size_t i = 0; i < palette.size(); ++i) {
        if (int(i) != skipIndex)
            m_entries.push_back(Entry { palette[i].r, palette[i].g, palette[i].b, int(i) });
    }
    if (m_entries.empty())
        m_entries.push_back(Entry { 0, 0, 0, 0 });
}

void NearestColor::buildCell(int cell)
{
    const int lo[3]
        = { (cell >> 10) * kCellSize, ((cell >> 5) & 31) * kCellSize, (cell & 31) * kCellSize };
    auto axisMin = [](int v, int l) {
        const int d = v < l ? l - v : (v > l + kCellSize - 1 ? v - l - kCellSize + 1 : 0);
        return d * d;
    };
    auto axisMax = [](int v, int l) {
        const int d = std::max(std::abs(v - l), std::abs(v - l - kCellSize + 1));
        return d * d;
    };
    // Any colour in the cell has an entry within the smallest of the entries'
    // farthest distances, so entries whose nearest distance exceeds it can never be
    // the nearest.
    int bound = INT_MAX;
    for (const Entry &e : m_entries)
        bound = std::min(bound, axisMax(e.r, lo[0]) + axisMax(e.g, lo[1]) + axisMax(e.b, lo[2]));
    m_cellStart[size_t(cell)] = uint32_t(m_pool.size());
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const Entry &e = m_entries[i];
        if (axisMin(e.r, lo[0]) + axisMin(e.g, lo[1]) + axisMin(e.b, lo[2]) <= bound)
            m_pool.push_back(uint16_t(i));
    }
    m_cellCount[size_t(cell)] = uint16_t(m_pool.size() - m_cellStart[size_t(cell)]);
}

int NearestColor::find(int r, int g, int b)
{
    const uint32_t key = uint32_t(r << 16 | g << 8 | b) | 0x1000000u;
    const size_t slot = hashRgb(key) & (m_cacheKey.size() - 1);
    if (m_cacheKey[slot] == key)
        return m_cacheValue[slot];
    const int cell = (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
    if (m_cellStart[size_t(cell)] == UINT32_MAX)
        buildCell(cell);
    const uint16_t *candidates = m_pool.data() + m_cellStart[size_t(cell)];
    const int count = m_cellCount[size_t(cell)];
    int best = INT_MAX;
    int bestIndex = 0;
    for (int i = 0; i < count; ++i) {
        const Entry &e = m_entries[candidates[i]];
        const int d = distance2(r, g, b, e.r, e.g, e.b);
        if (d < best) {
            best = d;
            bestIndex = e.index;
        }
    }
    m_cacheKey[slot] = key;
    m_cacheValue[slot] = uint8_t(bestIndex);
    return bestIndex;
}

} // namespace qvgif
