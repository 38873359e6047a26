#include "FrameResampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qvgif {

namespace {

constexpr double kPi = 3.14159265358979323846;

double lanczos3(double x)
{
    x = std::fabs(x);
    if (x < 1e-9)
        return 1.0;
    if (x >= 3.0)
        return 0.0;
    const double px = kPi * x;
    return 3.0 * std::sin(px) * std::sin(px / 3.0) / (px * px);
}

uint8_t toByte(float value) { return uint8_t(std::clamp(std::lround(value), 0L, 255L)); }

} // namespace

FrameResampler::Axis FrameResampler::makeAxis(int sourceLength, int targetLength)
{
    Axis axis;
    axis.taps.resize(size_t(targetLength));
    std::vector<double> local;
    for (int x = 0; x < targetLength; ++x) {
        local.clear();
        int first = 0;
        if (targetLength == sourceLength) {
            first = x;
            local.push_back(1.0);
        } else if (targetLength < sourceLength) {
            // Box over the exact footprint of the output pixel.
            const double scale = double(sourceLength) / targetLength;
            const double left = x * scale;
            const double right = std::min(double(sourceLength), (x + 1) * scale);
            first = int(std::floor(left));
            const int last = std::min(sourceLength - 1, int(std::ceil(right)) - 1);
            for (int i = first; i <= last; ++i) {
                const double overlap = std::min(right, double(i + 1)) - std::max(left, double(i));
                local.push_back(std::max(0.0, overlap));
            }
        } else {
            const double centre = (x + 0.5) * double(sourceLength) / targetLength - 0.5;
            const int base = int(std::floor(centre));
            const int lo = std::max(0, base - 2);
            const int hi = std::min(sourceLength - 1, base + 3);
            first = lo;
            for (int i = lo; i <= hi; ++i)
                local.push_back(lanczos3(centre - i));
        }
        double sum = 0.0;
        for (double w : local)
            sum += w;
        if (sum <= 0.0) {
            local.assign(local.size(), 0.0);
            local[0] = 1.0;
            sum = 1.0;
        }
        Taps &taps = axis.taps[size_t(x)];
        taps.first = first;
        taps.count = int(local.size());
        taps.weightOffset = axis.weights.size();
        for (double w : local)
            axis.weights.push_back(float(w / sum));
        axis.maxTaps = std::max(axis.maxTaps, taps.count);
    }
    return axis;
}

FrameResampler::FrameResampler(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight)
    : m_sourceWidth(sourceWidth)
    , m_sourceHeight(sourceHeight)
    , m_targetWidth(targetWidth)
    , m_targetHeight(targetHeight)
{
    if (sourceWidth == targetWidth && sourceHeight == targetHeight)
        return;
    m_horizontal = makeAxis(sourceWidth, targetWidth);
    m_vertical = makeAxis(sourceHeight, targetHeight);
    const size_t ringRows = size_t(m_vertical.maxTaps) + 1;
    m_ring.resize(ringRows * size_t(targetWidth) * 4);
    m_ringRow.assign(ringRows, -1);
    m_premultiplied.resize(size_t(sourceWidth) * 4);
}

const float *FrameResampler::filteredRow(const Pixel *source, int row)
{
    const size_t slot = size_t(row) % m_ringRow.size();
    float *out = m_ring.data() + slot * size_t(m_targetWidth) * 4;
    if (m_ringRow[slot] == row)
        return out;
    m_ringRow[slot] = row;
    const Pixel *in = source + size_t(row) * size_t(m_sourceWidth);
    for (int x = 0; x < m_sourceWidth; ++x) {
        const float a = in[x].a;
        float *p = m_premultiplied.data() + size_t(x) * 4;
        p[0] = in[x].r * a;
        p[1] = in[x].g * a;
        p[2] = in[x].b * a;
        p[3] = a;
    }
    for (int x = 0; x < m_targetWidth; ++x) {
        const Taps &taps = m_horizontal.taps[size_t(x)];
        const float *w = m_horizontal.weights.data() + taps.weightOffset;
        const float *p = m_premultiplied.data() + size_t(taps.first) * 4;
        float r = 0, g = 0, b = 0, a = 0;
        for (int i = 0; i < taps.count; ++i, p += 4) {
            r += w[i] * p[0];
            g += w[i] * p[1];
            b += w[i] * p[2];
            a += w[i] * p[3];
        }
        float *o = out + size_t(x) * 4;
        o[0] = r;
        o[1] = g;
        o[2] = b;
        o[3] = a;
    }
    return out;
}

void FrameResampler::resample(const Pixel *source, Pixel *target)
{
    if (m_sourceWidth == m_targetWidth && m_sourceHeight == m_targetHeight) {
        // Composed canvases only hold opaque colours and (0, 0, 0, 0).
        std::memcpy(target, source, size_t(m_sourceWidth) * size_t(m_sourceHeight) * sizeof(Pixel));
        return;
    }
    std::fill(m_ringRow.begin(), m_ringRow.end(), -1);
    std::vector<const float *> rows(size_t(m_vertical.maxTaps));
    for (int y = 0; y < m_targetHeight; ++y) {
        const Taps &taps = m_vertical.taps[size_t(y)];
        const float *w = m_vertical.weights.data() + taps.weightOffset;
        for (int i = 0; i < taps.count; ++i)
            rows[size_t(i)] = filteredRow(source, taps.first + i);
        Pixel *out = target + size_t(y) * size_t(m_targetWidth);
        for (int x = 0; x < m_targetWidth; ++x) {
            float r = 0, g = 0, b = 0, a = 0;
            for (int i = 0; i < taps.count; ++i) {
                const float *p = rows[size_t(i)] + size_t(x) * 4;
                r += w[i] * p[0];
                g += w[i] * p[1];
                b += w[i] * p[2];
                a += w[i] * p[3];
            }
            if (a < 127.5f) {
                out[x] = Pixel { 0, 0, 0, 0 };
            } else {
                const float inverse = 1.0f / a;
                out[x]
                    = Pixel { toByte(r * inverse), toByte(g * inverse), toByte(b * inverse), 255 };
            }
        }
    }
}

} // namespace qvgif
