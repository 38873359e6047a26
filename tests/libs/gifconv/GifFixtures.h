#pragma once

#include <QByteArray>
#include <QImage>
#include <QVector>
#include <QtGlobal>

// Tiny GIFs written and read with giflib for the converter library's tests. The
// reader composes frames independently of the library under test.
namespace GifFixtures {

struct Frame
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    QVector<quint8> indices; // width x height
    int delay = 10;
    int disposal = 1;
    int transparent = -1;
    bool interlaced = false; // rows stored in the four-pass order
    QVector<QRgb> localPalette; // empty: the global one
};

struct Gif
{
    int width = 0;
    int height = 0;
    QVector<QRgb> palette; // global; padded to a power of two when written
    QVector<Frame> frames;
    int loopCount = -1; // -1: no loop extension
};

QByteArray encode(const Gif &gif);

// A frame covering the whole canvas filled with one index.
Frame filledFrame(int width, int height, quint8 index, int delay = 10);

struct Decoded
{
    bool ok = false;
    int width = 0;
    int height = 0;
    int loopCount = -1;
    QVector<QImage> frames; // composed, ARGB32; disposal 2 clears to transparent
    QVector<int> delays;
    QVector<QRect> rects; // each frame's own rectangle
    int largestColourTable = 0; // entries actually used by pixels, per table, the largest
    QVector<QRgb> visibleColours; // distinct opaque colours over all composed frames

    int totalDelay() const;
};

Decoded decode(const QByteArray &bytes);

} // namespace GifFixtures
