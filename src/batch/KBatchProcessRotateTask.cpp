#include "KBatchProcessRotateTask.h"

#include <cmath>

#include <FreeImage.h>

#include <QColorSpace>
#include <QFile>

#include "batch/BatchOutput.h"
#include "codec/FrameMemory.h"
#include "codec/FreeImageLibrary.h"
#include "codec/ImageCompleteness.h"
#include "codec/ImageLimits.h"
#include "codec/JpegReader.h"
#include "codec/OutputFormat.h"

namespace {

// QImage's ARGB32 is laid out as FreeImage's 32-bit BGRA on little-endian
// machines, so the pixels move over row by row without conversion.
FIBITMAP *toBitmap(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    FIBITMAP *bitmap = FreeImage_Allocate(
        image.width(), image.height(), 32, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
    if (!bitmap)
        return nullptr;
    for (int y = 0; y < image.height(); ++y) {
        BYTE *dst = FreeImage_GetScanLine(bitmap, image.height() - 1 - y); // bottom-up
        const auto *src = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x, dst += 4) {
            dst[FI_RGBA_RED] = BYTE(qRed(src[x]));
            dst[FI_RGBA_GREEN] = BYTE(qGreen(src[x]));
            dst[FI_RGBA_BLUE] = BYTE(qBlue(src[x]));
            dst[FI_RGBA_ALPHA] = BYTE(qAlpha(src[x]));
        }
    }
    return bitmap;
}

QImage toImage(FIBITMAP *bitmap)
{
    const int w = int(FreeImage_GetWidth(bitmap));
    const int h = int(FreeImage_GetHeight(bitmap));
    QImage image(w, h, QImage::Format_ARGB32);
    if (image.isNull())
        return QImage();
    for (int y = 0; y < h; ++y) {
        const BYTE *src = FreeImage_GetScanLine(bitmap, h - 1 - y);
        auto *dst = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x, src += 4)
            dst[x] = qRgba(
                src[FI_RGBA_RED], src[FI_RGBA_GREEN], src[FI_RGBA_BLUE], src[FI_RGBA_ALPHA]);
    }
    return image;
}

} // namespace

KBatchProcessRotateTask::KBatchProcessRotateTask(const QString &runFolder,
    const QVector<QPair<QString, int>> &files, int type, int angle, OutputFormat outputFormat)
    : m_runFolder(runFolder)
    , m_files(files)
    , m_type(type)
    , m_angle(angle)
    , m_outputFormat(outputFormat)
{
    registerWorkerMetaTypes();
}

void KBatchProcessRotateTask::run()
{
    for (const auto &file : m_files) {
        emit processStatusChanged({ file.second, BatchResult::Processing, QString(), QString() });
        QString error;
        const QString written = rotateOne(file.first, &error);
        if (written.isEmpty())
            emit processStatusChanged({ file.second, BatchResult::Failed, QString(), error });
        else
            emit processStatusChanged({ file.second, BatchResult::Succeeded, written, QString() });
    }
}

QSize KBatchProcessRotateTask::outputSize(const QSize &size, int type, int angle)
{
    switch (type) {
    case RotateLeft:
    case RotateRight:
        return size.transposed();
    case FreeAngle: {
        // The bounding box of the turned picture, as FreeImage makes it.
        const double radians = double(angle) * M_PI / 180.0;
        const double c = std::fabs(std::cos(radians));
        const double s = std::fabs(std::sin(radians));
        return QSize(int(std::ceil(size.width() * c + size.height() * s)),
            int(std::ceil(size.width() * s + size.height() * c)));
    }
    default:
        return size;
    }
}

QImage KBatchProcessRotateTask::transform(const QImage &image, int type, int angle)
{
    if (image.isNull())
        return QImage();
    // Refused before FreeImage allocates anything for it.
    const QSize turned = outputSize(image.size(), type, angle);
    if (!ImageLimits::sizeAllowed(turned.width(), turned.height()))
        return QImage();
    if (!FreeImageLibrary::load())
        return QImage();
    FIBITMAP *bitmap = toBitmap(image);
    if (!bitmap)
        return QImage();
    FIBITMAP *result = nullptr;
    switch (type) {
    case RotateLeft:
        result = FreeImage_Rotate(bitmap, 90.0);
        break;
    case RotateRight:
        result = FreeImage_Rotate(bitmap, 270.0);
        break;
    case FlipLeftRight:
        if (FreeImage_FlipHorizontal(bitmap))
            result = FreeImage_Clone(bitmap);
        break;
    case FlipUpDown:
        if (FreeImage_FlipVertical(bitmap))
            result = FreeImage_Clone(bitmap);
        break;
    case FreeAngle: {
        const int a = angle < 0 ? angle + 360 : angle;
        // White corners, with alpha 0: transparent where the image keeps
        // alpha, white once flattened for formats without it.
        RGBQUAD background;
        background.rgbBlue = 255;
        background.rgbGreen = 255;
        background.rgbRed = 255;
        background.rgbReserved = 0;
        result = FreeImage_Rotate(bitmap, double(a), &background);
        break;
    }
    default:
        break;
    }
    FreeImage_Unload(bitmap);
    if (!result)
        return QImage();
    QImage out = toImage(result);
    FreeImage_Unload(result);
    out.setColorSpace(image.colorSpace());
    return out;
}

bool KBatchProcessRotateTask::losslessOperation(
    int type, int angle, JpegLossless::Operation *operation)
{
    switch (type) {
    case RotateLeft:
        *operation = JpegLossless::Operation::RotateLeft;
        return true;
    case RotateRight:
        *operation = JpegLossless::Operation::RotateRight;
        return true;
    case FlipLeftRight:
        *operation = JpegLossless::Operation::FlipLeftRight;
        return true;
    case FlipUpDown:
        *operation = JpegLossless::Operation::FlipUpDown;
        return true;
    case FreeAngle:
        return JpegLossless::operationForAngle(angle, operation);
    default:
        return false;
    }
}

QString KBatchProcessRotateTask::rotateLosslessly(
    const QString &path, bool *taken, QString *error) const
{
    *taken = false;
    JpegLossless::Operation operation;
    if (m_outputFormat != OutputFormat::Jpg || !losslessOperation(m_type, m_angle, &operation))
        return QString();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > ImageLimits::kMaxFileBytes)
        return QString();
    const QByteArray source = FrameMemory::readAll(&file);
    file.close();
    // Only whole, plain JPEGs: anything the decoding path would refuse or
    // convert (a truncated file, CMYK) goes that way.
    if (!JpegReader::isJpeg(source) || !ImageCompleteness::isComplete("jpeg", source, QSize()))
        return QString();
    JpegReader::Header header;
    if (!JpegReader::readHeader(source, &header) || !header.supported
        || !ImageLimits::sizeAllowed(header.size.width(), header.size.height()))
        return QString();
    QByteArray turned;
    if (JpegLossless::transform(source, operation, &turned) != JpegLossless::Result::Transformed)
        return QString();
    *taken = true;
    return BatchOutput::writeBytes(turned, m_runFolder, path, QStringLiteral("jpg"), error);
}

QString KBatchProcessRotateTask::rotateOne(const QString &path, QString *error) const
{
    // JPEG to JPG by right angles: the blocks are moved, not re-encoded.
    bool taken = false;
    const QString lossless = rotateLosslessly(path, &taken, error);
    if (taken)
        return lossless;
    // Other turns go through FreeImage: without it, the reason is its absence.
    QString missing;
    if (!FreeImageLibrary::load(&missing)) {
        if (error)
            *error = missing;
        return QString();
    }
    const QImage frame = BatchOutput::firstFrame(path, error);
    if (frame.isNull())
        return QString();
    // One encode from the decoded pixels. Formats without alpha are flattened
    // after the turn, so what was transparent and the uncovered corners are white.
    return BatchOutput::write(
        transform(frame, m_type, m_angle), m_runFolder, path, m_outputFormat, error);
}
