#pragma once

#include <QSize>
#include <QString>

// Pixel size of an image file read from its header only, upright (orientation
// tags that turn by 90 degrees swap the sides). Invalid when the header
// cannot tell. Cheap enough for the interface thread.
QSize probeImageSize(const QString &path);
