#pragma once

#include <QImage>
#include <QString>

// Reads the source image of a single-image tool (first frame, upright).
// Empty when the file cannot be read.
QImage loadSourceImage(const QString &path);
