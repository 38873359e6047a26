#pragma once

#include <QSize>

// How a batch resize sizes each image, read from the parameters panel.
struct ResizeParams
{
    int mode = 1; // 0 explicit pixels, 1 percentage, 2 preset
    int width = 0; // mode 0: 0 derives it from the height
    int height = 0; // mode 0: 0 derives it from the width
    bool lockRatio = true;
    double scale = 1.0; // mode 1: 0.10 .. 2.00

    // The size an image of the given size is scaled to (may be empty, which fails).
    QSize targetFor(const QSize &source) const;

    // Preset photo and web sizes, by index 0..presetCount()-1 (invalid otherwise).
    static QSize presetSize(int index);
    static int presetCount();
};
