#pragma once

#include <QSize>
#include <QStringList>
#include <QVector>

#include "compress/GifCompressRequest.h"
#include "compress/GifSourceFacts.h"

// The argument vector of the GIF converter library, built from a request and
// the facts of its source. Pure functions, callable from any thread.
namespace GifCompressArguments {

// The "--resize" size: a side left at 0 follows the source's ratio (both 0:
// the source's size). A side computed from the ratio is at least 1 pixel.
QSize targetSize(const QSize &source, int width, int height);

// 0-based frames to drop for a frame option (0..5), all below the last frame
// so the animation always ends on its own last picture.
QVector<int> droppedFrames(int frameCount, int frameOption);

// Colours to keep: percent of the palette's colours, 2 to 256.
int colorCount(int paletteColors, int percent);

// "", source path, "--resize" WxH, ["--delete" "#i" ...], "--colors" N.
QStringList build(const GifCompressRequest &request, const GifSourceFacts &facts);

} // namespace GifCompressArguments
