#include "GifConverterArguments.h"

namespace GifConverterArguments {

QSize targetSize(const QSize &source, int width, int height)
{
    if (width <= 0 && height <= 0)
        return source;
    if (height <= 0 && source.width() > 0)
        return QSize(width, int(width * (double(source.height()) / source.width())));
    if (width <= 0 && source.height() > 0)
        return QSize(int(height * (double(source.width()) / source.height())), height);
    return QSize(width, height);
}

QVector<int> droppedFrames(int frameCount, int frameOption)
{
    QVector<int> frames;
    if (frameOption == 1 || frameOption == 2 || frameOption == 5) {
        const int step = 10 / frameOption;
        for (int i = step; i < frameCount - 1; i += step)
            frames.append(i);
    } else if (frameOption == 3 || frameOption == 4) {
        // Steps of 10/option that alternate with one more, so that about
        // option tenths of the frames go: 3, 7, 10, 14, ... or 2, 5, 7, 10, ...
        const int step = 10 / frameOption;
        bool longer = false;
        for (int i = step; i < frameCount - 1;) {
            frames.append(i);
            longer = !longer;
            i += step + (longer ? 1 : 0);
        }
    }
    return frames;
}

int colorCount(int paletteColors, int percent)
{
    return qMax(2, int(paletteColors * percent / 100.0));
}

QStringList build(
    const QString &path, const Source &source, int width, int height, int percent, int frameOption)
{
    const QSize size = targetSize(source.size, width, height);
    QStringList arguments { QString(), path, QStringLiteral("--resize"),
        QStringLiteral("%1x%2").arg(size.width()).arg(size.height()) };
    const QVector<int> dropped = droppedFrames(source.frameCount, frameOption);
    if (!dropped.isEmpty()) {
        arguments.append(QStringLiteral("--delete"));
        for (int frame : dropped)
            arguments.append(QLatin1Char('#') + QString::number(frame));
    }
    arguments.append(QStringLiteral("--colors"));
    arguments.append(QString::number(colorCount(source.paletteColors, percent)));
    return arguments;
}

} // namespace GifConverterArguments
