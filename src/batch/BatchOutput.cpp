#include "BatchOutput.h"

#include <QFile>

#include "app/FileUtils.h"
#include "batch/BatchNaming.h"
#include "codec/ImageFormats.h"
#include "codec/KImageWrapper.h"
#include "codec/SystemImageEncoder.h"

namespace BatchOutput {

QImage firstFrame(const QString &path, const KImageWrapper::SizeRequest &sizeRequest)
{
    KImageWrapper wrapper;
    wrapper.setSizeRequest(sizeRequest);
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
    // BMP is flattened here; the JPEG writer puts rows on white as it goes.
    if (format->type == ImageFormatBmp)
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

QString writeBytes(
    const QByteArray &bytes, const QString &runFolder, const QString &path, const QString &ext)
{
    if (bytes.isEmpty() || ext.isEmpty())
        return QString();
    const QString output
        = reserveUniqueFilePath(runFolder, BatchNaming::outputName(path, ext), ext);
    if (output.isEmpty())
        return QString();
    if (!writeFileAtomically(output, bytes)) {
        QFile::remove(output);
        return QString();
    }
    return output;
}

} // namespace BatchOutput
