#pragma once

#include <QSize>
#include <QString>

// Pixel size of an image file, upright (orientation tags that turn by 90
// degrees swap the sides), from its header where the format allows and
// through the codec's guards otherwise. Invalid when it cannot be told or
// the picture is over the size limit. May decode: call it on a worker.
QSize probeImageSize(const QString &path);
