#pragma once

#include <QSize>
#include <QStringList>
#include <QVector>

// The argument vector handed to the GIF converter library, built as the GIF
// compression tool builds it, from the request and facts of the source read
// through the image wrapper. Pure functions, callable from any thread.
namespace GifConverterArguments {

struct Source
{
    QSize size; // first frame
    int frameCount = 0;
    int paletteColors = 0; // KImageWrapper::gifColorCount()
};

// Width 0 and height 0 keep the source size; one side 0 follows the ratio
// (integer part); both given are used as they are.
QSize targetSize(const QSize &source, int width, int height);

// 0-based frames to drop for the frame option 0..5, all below the last frame.
QVector<int> droppedFrames(int frameCount, int frameOption);

// Integer part of paletteColors * percent / 100, at least 2.
int colorCount(int paletteColors, int percent);

// "", path, "--resize", "WxH", ["--delete", "#i", ...], "--colors", "N".
QStringList build(
    const QString &path, const Source &source, int width, int height, int percent, int frameOption);

} // namespace GifConverterArguments
