#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

// What the argument builder needs to know about the source GIF.
struct GifSourceFacts
{
    bool valid = false;
    // Palette colours the colour percentage is taken of.
    int colorCount = 0;
    int frameCount = 0;
    // Size of the first (composed) frame, i.e. of the logical screen.
    QSize size;
};

// Reads the file's facts: a GIF's from its structure (its pixel data is
// skipped, not decompressed, so data that does not decompress still gives
// valid facts: the converter finds it), any other file by decoding it.
// Call it from the worker thread: a large animation takes a while. Invalid
// facts when it does not load.
GifSourceFacts readGifSourceFacts(const QString &path);

// The decoder's estimate takes the first opaque black entry of the global
// palette as the start of the padding; a palette that uses black for a real
// colour (often its very first entry) would then count only the colours
// before it. head is the start of the file (at least the global palette);
// the estimate is raised to the entries up to the last non-black one.
int gifPaletteColorEstimate(int decoderEstimate, const QByteArray &head);
