#include "SourceImageLoader.h"

#include <QImageReader>

QImage loadSourceImage(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    return reader.read();
}
