#pragma once

#include <QImage>
#include <QString>

// Decodes an image file that the PDF writer cannot embed as it is, through
// the project's image wrapper (decoder chosen by extension, EXIF orientation
// applied, size limits enforced), in the calling (converter) thread. The
// first frame, or a null image when the file cannot be decoded.
// *error (when given) gets the decoder's reason for a failure.
QImage decodeImageForPdf(const QString &path, QString *error = nullptr);
