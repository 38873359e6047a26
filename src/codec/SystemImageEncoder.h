#pragma once

#include <QImage>
#include <QString>

// Writing images in the output formats through the toolkit's writers. Safe
// to call from any thread (each call works on its own image and file).

// Writes image to path as BMP (0), JPEG (1), PNG (3), TIFF (5) or WEBP (7),
// type ids of the format registry; any other id fails. JPEG is written at
// quality 100 onto white (it has no alpha), TIFF as 32-bit premultiplied
// ARGB, WEBP losslessly, PNG with fast zlib compression (level 1); the colour
// profile is embedded where the format supports it.
//
// The data goes to a hidden sibling first and is renamed over path, so path
// never holds a partial file. path must be free or the empty placeholder a
// reservation left (reserveUniqueFilePath): a file with content is never
// replaced. On failure nothing new is left behind; a placeholder stays for
// its owner to remove.
// error (optional): why it failed, in one plain line.
bool saveWithSystemEncoder(
    const QImage &image, int typeId, const QString &path, QString *error = nullptr);

// The image painted onto an opaque white RGB32 image of the same size (so
// transparency becomes white), keeping its colour space and resolution.
QImage flattenedOntoWhite(const QImage &image);
