#include "OnlineUploads.h"

#include <cmath>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace OnlineUploads {

QSize scaledSize(const QSize &size, double factor)
{
    return QSize(qMax(1, int(size.width() * factor)), qMax(1, int(size.height() * factor)));
}

QSize pixelTarget(const QSize &size, qint64 bytes, qint64 limitBytes, qint64 targetPixels)
{
    if (bytes <= limitBytes || size.isEmpty())
        return QSize();
    const double pixels = double(size.width()) * double(size.height());
    return scaledSize(size, std::sqrt(double(targetPixels) / pixels));
}

QSize boxTarget(const QSize &size, int maxWidth, int maxHeight)
{
    if (size.isEmpty() || (size.width() <= maxWidth && size.height() <= maxHeight))
        return QSize();
    // In whole numbers: the limiting side gets exactly its limit (800 / 900
    // in floating point would make 900 pixels 799).
    const qint64 w = size.width();
    const qint64 h = size.height();
    if (w * maxHeight >= h * maxWidth)
        return QSize(maxWidth, int(qMax<qint64>(1, h * maxWidth / w)));
    return QSize(int(qMax<qint64>(1, w * maxHeight / h)), maxHeight);
}

UploadFile reducedCopy(const QImage &image, const QSize &target, const QString &baseName)
{
    if (image.isNull() || !target.isValid())
        return UploadFile();
    // The target keeps the picture's proportions already (truncated to whole
    // pixels); fitting it again would lose a pixel to rounding: 900 x 600 into
    // 800 x 533 would give 799 x 533.
    const QImage reduced = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QString copy = QDir::tempPath() + QDir::separator() + baseName
        + QString::number(QDateTime::currentMSecsSinceEpoch()) + QStringLiteral(".jpg");
    UploadFile file;
    // Never written over (nor removed) when a file of that name is there.
    if (QFileInfo::exists(copy))
        return file;
    if (reduced.save(copy, "JPEG", 100))
        file = UploadFile::fromPath(copy);
    QFile::remove(copy);
    if (!file.name.isEmpty())
        file.suffix = QStringLiteral("jpg");
    return file;
}

UploadFile prepareUpload(const QString &path, const QImage &image, const QSize &target)
{
    UploadFile file = UploadFile::fromPath(path);
    if (file.name.isEmpty() || !target.isValid() || target == image.size())
        return file;
    const UploadFile small = reducedCopy(image, target, QFileInfo(path).completeBaseName());
    return small.name.isEmpty() ? file : small;
}

} // namespace OnlineUploads
