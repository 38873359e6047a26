#pragma once

#include <QImage>
#include <QString>

// Writing a rendered page to disk in the format its file name asks for. Used
// by the exported calls on whichever thread called them; holds no state.
namespace PageImageWriter {

enum class Format { Unsupported, Png, Jpeg, Bmp, Webp, Tiff };

// The format named by the suffix of path, case-insensitive.
Format formatForPath(const QString &path);

// Writes image to a temporary sibling of target and renames it over target.
// target must be absent or empty (a reserved placeholder); anything else is
// left untouched and the write fails. On failure no temporary file remains.
bool writeImage(const QImage &image, Format format, const QString &target);

} // namespace PageImageWriter
