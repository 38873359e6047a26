#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include "online/UploadFile.h"

// How an image goes to the online service: the size rules of the recognition
// and enhancement tools and the reduced copy that is sent instead of a large
// file. Plain functions, safe on any thread.
namespace OnlineUploads {

// size scaled by factor, each side truncated (at least 1 pixel).
QSize scaledSize(const QSize &size, double factor);

// Files over limitBytes are scaled to about targetPixels pixels (a small
// picture stored in a large file is enlarged); otherwise an invalid size: the
// file goes as it is.
QSize pixelTarget(const QSize &size, qint64 bytes, qint64 limitBytes, qint64 targetPixels);

// Pictures wider or taller than the box are scaled into it; otherwise an
// invalid size.
QSize boxTarget(const QSize &size, int maxWidth, int maxHeight);

// The image scaled to target (smooth) as a JPEG of quality 100, written to
// the temporary folder as baseName + milliseconds + ".jpg", read back and
// removed at once: nothing stays behind. An UploadFile with an empty name
// when the copy could not be made.
UploadFile reducedCopy(const QImage &image, const QSize &target, const QString &baseName);

// The file at path, or its reduced copy when target is valid and differs
// from the image's size; when the copy fails the file goes as it is. An
// unreadable file gives an UploadFile with an empty name.
UploadFile prepareUpload(const QString &path, const QImage &image, const QSize &target);

// The recognition tools' limits.
constexpr qint64 kTextLimitBytes = 2097152;
constexpr qint64 kTextTargetPixels = 2073600;
constexpr qint64 kTableLimitBytes = 31457280;
constexpr qint64 kTableTargetPixels = 8294400;

} // namespace OnlineUploads
