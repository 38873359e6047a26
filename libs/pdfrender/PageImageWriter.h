#pragma once

#include <QImage>
#include <QString>

// Writing a rendered page to disk in the format its file name asks for. Used
// by the exported calls on whichever thread called them; holds no state.
namespace PageImageWriter {

enum class Format { Unsupported, Png, Jpeg, Bmp, Webp, Tiff };

// The format named by the suffix of path, case-insensitive.
Format formatForPath(const QString &path);

// Writes image to a temporary sibling of target, checking every write and
// the close, and links it to target, which must be free: an existing file
// is left untouched and the write fails. Returns 0 or the errno of the
// failure (ENOSPC on a full disk); on failure no temporary file remains.
int writeImage(const QImage &image, Format format, const QString &target);

} // namespace PageImageWriter
