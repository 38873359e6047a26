#include "GifCompressArguments.h"

namespace GifCompressArguments {

QSize targetSize(const QSize &source, int width, int height)
{
    if (width > 0 && height > 0)
        return QSize(width, height);
    if (source.width() <= 0 || source.height() <= 0)
        return QSize(width, height);
    if (width <= 0 && height <= 0)
        return source;
    // A very wide or tall source would round the other side down to nothing,
    // which the converter rejects.
    if (width > 0)
        return QSize(width, qMax(1, int(width * (double(source.height()) / source.width()))));
    return QSize(qMax(1, int(height * (double(source.width()) / source.height()))), height);
}

QVector<int> droppedFrames(int frameCount, int frameOption)
{
    QVector<int> frames;
    const int limit = frameCount - 1;
    switch (frameOption) {
    case 1:
    case 2:
    case 5: {
        const int step = 10 / frameOption;
        for (int index = step; index < limit; index += step)
            frames.append(index);
        break;
    }
    case 3:
    case 4: {
        // 10 / 3 and 10 / 2.5 are not whole: alternate steps of s and s + 1.
        const int step = 10 / frameOption;
        bool longStep = false;
        for (int index = step; index < limit;) {
            frames.append(index);
            longStep = !longStep;
            index += step + (longStep ? 1 : 0);
        }
        break;
    }
    default:
        break;
    }
    return frames;
}

int colorCount(int paletteColors, int percent)
{
    return qBound(2, paletteColors * percent / 100, 256);
}

QStringList build(const GifCompressRequest &request, const GifSourceFacts &facts)
{
    QStringList args { QString(), request.sourcePath };
    const QSize size = targetSize(facts.size, request.width, request.height);
    args << QStringLiteral("--resize")
         << QString::number(size.width()) + QLatin1Char('x') + QString::number(size.height());
    const QVector<int> dropped = droppedFrames(facts.frameCount, request.frameOption);
    if (!dropped.isEmpty()) {
        args << QStringLiteral("--delete");
        for (int index : dropped)
            args << QLatin1Char('#') + QString::number(index);
    }
    args << QStringLiteral("--colors")
         << QString::number(colorCount(facts.colorCount, request.colorPercent));
    return args;
}

} // namespace GifCompressArguments
