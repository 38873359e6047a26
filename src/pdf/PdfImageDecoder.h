#pragma once

#include <QImage>
#include <QString>

// Decodes an image file that the PDF writer cannot embed as it is, in the
// calling (converter) thread. Null image on failure or when the image is too
// large to hold in memory.
QImage decodeImageForPdf(const QString &path);
