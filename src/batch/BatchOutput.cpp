#include "BatchOutput.h"

#include "app/FileUtils.h"
#include "batch/BatchNaming.h"
#include "codec/ImageFormats.h"
#include "codec/KImageWrapper.h"
#include "codec/SystemImageEncoder.h"

namespace BatchOutput {

QImage firstFrame(
    const QString &path, QString *error, const KImageWrapper::SizeRequest &sizeRequest)
{
    KImageWrapper wrapper;
    wrapper.setSizeRequest(sizeRequest);
    if (!wrapper.load(path) || wrapper.loadState() != KImageWrapper::Loaded) {
        if (error)
            *error = wrapper.errorString();
        return QImage();
    }
    const QImage frame = wrapper.frameAt(0);
    if (frame.isNull() && error)
        *error = QStringLiteral("not enough memory for the image");
    return frame;
}

QString write(const QImage &image, const QString &runFolder, const QString &path,
    OutputFormat outputFormat, QString *error)
{
    const QString ext = outputExtension(outputFormat);
    const ImageFormatRecord *format = ImageFormats::global().formatForExtension(ext);
    if (ext.isEmpty() || format->type < 0) {
        if (error)
            *error = QStringLiteral("unknown output format");
        return QString();
    }
    if (image.isNull()) {
        if (error)
            *error = QStringLiteral("not enough memory for the result");
        return QString();
    }
    QImage pixels = image;
    // BMP is flattened here; the JPEG writer puts rows on white as it goes.
    if (format->type == ImageFormatBmp)
        pixels = flattenedOntoWhite(pixels);
    // A reserved name is never handed to another task; the encoder writes
    // through a temporary sibling, so a failure leaves nothing behind.
    const QString output
        = reserveUniqueFilePath(runFolder, BatchNaming::outputName(path, ext), ext, error);
    if (output.isEmpty())
        return QString();
    if (!saveWithSystemEncoder(pixels, format->type, output, error)) {
        releaseReservedPath(output);
        return QString();
    }
    return output;
}

QString writeBytes(const QByteArray &bytes, const QString &runFolder, const QString &path,
    const QString &ext, QString *error)
{
    if (bytes.isEmpty() || ext.isEmpty()) {
        if (error)
            *error = QStringLiteral("nothing to write");
        return QString();
    }
    const QString output
        = reserveUniqueFilePath(runFolder, BatchNaming::outputName(path, ext), ext, error);
    if (output.isEmpty())
        return QString();
    if (!writeFileAtomically(output, bytes, error)) {
        releaseReservedPath(output);
        return QString();
    }
    return output;
}

} // namespace BatchOutput
