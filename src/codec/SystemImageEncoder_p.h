#pragma once

#include <QImage>
#include <QString>

// saveWithSystemEncoder with a choice for TIFF: premultiplyTiff false writes
// the image's own pixel format (the wrapper's plain save), true the 32-bit
// premultiplied layout of saveWithSystemEncoder.
bool writeImageForType(const QImage &image, int typeId, const QString &path, bool premultiplyTiff,
    QString *error = nullptr);
