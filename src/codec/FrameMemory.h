#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

class QFile;

// Pictures of many megapixels are filled page by page as a decoder writes
// them, and every first touch of a 4 KB page costs the system a fault: a
// 12 MP frame takes about twelve thousand of them, which on a virtual
// machine is a good part of the decoding time. The system can back such
// memory with 2 MB pages instead when asked before it is touched.
namespace FrameMemory {

// A new, untouched image of size and format whose pixel memory the system
// may back with large pages. Null when it cannot be had, as for QImage.
QImage allocate(const QSize &size, QImage::Format format);

// Asks for large pages on the whole 2 MB blocks inside [data, data + bytes);
// nothing for smaller ranges. Only a hint: the memory works either way.
void adviseLargePages(void *data, qsizetype bytes);

// The rest of an open file, as QFile::readAll() gives it, read into memory
// asked for large pages when the file is big (a 12 MP photo is several MB).
// Check file->error() after it, as after readAll().
QByteArray readAll(QFile *file);

} // namespace FrameMemory
