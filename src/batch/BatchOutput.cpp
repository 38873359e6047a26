#include "BatchOutput.h"

#include <QFile>

#include "app/FileUtils.h"
#include "batch/BatchNaming.h"
#include "codec/ImageFormats.h"
#include "codec/KImageWrapper.h"
#include "codec/SystemImageEncoder.h"

namespace BatchOutput {

QImage firstFrame(const QString &path)
{
    KImageWrapper wrapper;
    if (!wrapper.load(path) || wrapper.loadState() != KImageWrapper::Loaded)
        return QImage();
    return wrapper.frameAt(0);
}

QString write(const QImage &image, const QString &runFolder, const QString &path, int outputFormat)
{
    const QString ext = outputExtension(outputFormat);
    const ImageFormatRecord *format = ImageFormats::global().formatForExtension(ext);
    if (image.isNull() || ext.isEmpty() || format->type < 0)
        return QString();
    QImage pixels = image;
    if (format->type == ImageFormatBmp || format->type == ImageFormatJpeg)
        pixels = flattenedOntoWhite(pixels);
    // A reserved name is never handed to another task; the encoder writes
    // through a temporary sibling, so a failure leaves nothing behind.
    const QString output
        = reserveUniqueFilePath(runFolder, BatchNaming::outputName(path, ext), ext);
    if (output.isEmpty())
        return QString();
    if (!saveWithSystemEncoder(pixels, format->type, output)) {
        releaseReservedPath(output);
        return QString();
    }
    return output;
}

} // namespace BatchOutput
