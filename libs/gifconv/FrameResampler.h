#pragma once

#include <vector>

#include "Animation.h"

namespace qvgif {

// Scales composed RGBA frames to the output size in premultiplied alpha: area
// averaging when shrinking (every source pixel contributes by the area it covers),
// Lanczos-3 when enlarging. The result's alpha is cut at half coverage, since a GIF
// pixel is either painted or transparent. Input pixels are opaque or (0, 0, 0, 0),
// as composed canvases are. The filter weights are computed once per job; one
// instance serves all frames of that job on the converting thread.
class FrameResampler
{
public:
    FrameResampler(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight);

    void resample(const Pixel *source, Pixel *target);

private:
    struct Taps
    {
        int first = 0;
        int count = 0;
        size_t weightOffset = 0;
    };
    struct Axis
    {
        std::vector<Taps> taps;
        std::vector<float> weights;
        int maxTaps = 0;
    };

    static Axis makeAxis(int sourceLength, int targetLength);
    const float *filteredRow(const Pixel *source, int row);

    int m_sourceWidth;
    int m_sourceHeight;
    int m_targetWidth;
    int m_targetHeight;
    Axis m_horizontal;
    Axis m_vertical;
    // Horizontally filtered source rows, a ring indexed by row modulo its size;
    // output rows need a window of source rows that only moves forward.
    std::vector<float> m_ring;
    std::vector<int> m_ringRow;
    std::vector<float> m_premultiplied;
};

} // namespace qvgif
