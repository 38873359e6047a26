#include "KImageWrapper.h"

#include <QFile>

#include "app/FileUtils.h"
#include "codec/CodecLibraries.h"
#include "codec/FrameMemory.h"
#include "codec/ImageCompleteness.h"
#include "codec/ImageFormats.h"
#include "codec/ImageLimits.h"
#include "codec/ImageLoadFailure.h"
#include "codec/InputCheck.h"
#include "codec/JpegReader.h"
#include "codec/KImageDecoderBase.h"
#include "codec/KImageFreeImageDecoder.h"
#include "codec/KImageGdiDecoder.h"
#include "codec/KImageGifDecoder.h"
#include "codec/KImageHeicDecoder.h"
#include "codec/KImageSvgDecoder.h"
#include "codec/KImageWindowsDecoder.h"
#include "codec/SystemImageEncoder.h"
#include "codec/SystemImageEncoder_p.h"

namespace {

std::unique_ptr<KImageDecoderBase> decoderFor(int type, KImageWrapper *wrapper)
{
    switch (type) {
    case ImageFormatWmf:
    case ImageFormatEmf:
        return std::make_unique<KImageGdiDecoder>(wrapper);
    case ImageFormatSvg:
        return std::make_unique<KImageSvgDecoder>(wrapper);
    case ImageFormatGif:
        return std::make_unique<KImageGifDecoder>(wrapper);
    case ImageFormatBmp:
    case ImageFormatJpeg:
    case ImageFormatPng:
    case ImageFormatIco:
    case ImageFormatTiff:
    case ImageFormatWebp:
    case ImageFormatXbm:
    case ImageFormatXpm:
        return std::make_unique<KImageWindowsDecoder>(wrapper);
    case ImageFormatHeif:
        return std::make_unique<KImageHeicDecoder>(wrapper);
    default:
        return std::make_unique<KImageFreeImageDecoder>(wrapper);
    }
}

bool isWrittenFormat(int type)
{
    return type == ImageFormatBmp || type == ImageFormatJpeg || type == ImageFormatPng
        || type == ImageFormatTiff || type == ImageFormatWebp;
}

} // namespace

KImageWrapper::KImageWrapper()
    : m_format(ImageFormats::global().unknownRecord())
{
    initialiseCodecLibraries();
}

KImageWrapper::~KImageWrapper() = default;

bool KImageWrapper::load(const QString &path)
{
    m_path = path;
    m_state = Loading;
    m_error.clear();
    m_format = ImageFormats::global().formatForExtension(ImageFormats::extensionOf(path));
    m_decoder.reset();
    m_error = InputCheck::regularFileProblem(path);
    if (!m_error.isEmpty()) {
        m_state = Failed;
        return false;
    }
    m_decoder = decoderFor(m_format->type, this);
    m_state = m_decoder->decodeFile(path) ? Loaded : Failed;
    if (m_state == Failed) {
        // The decoder's own reason when it has one, otherwise a look at the
        // file's structure says what is wrong with it.
        m_error = m_decoder->errorString();
        if (m_error.isEmpty())
            m_error = ImageLoadFailure::explain(path);
    }
    return m_state == Loaded;
}

bool KImageWrapper::loadFromData(const QByteArray &data)
{
    m_format = ImageFormats::global().unknownRecord();
    m_error.clear();
    m_decoder.reset();
    m_decoder = std::make_unique<KImageWindowsDecoder>(this);
    m_state = m_decoder->decodeData(data) ? Loaded : Failed;
    if (m_state == Failed) {
        m_error = m_decoder->errorString();
        if (m_error.isEmpty())
            m_error = QStringLiteral("not an image this program reads");
    }
    return m_state == Loaded;
}

int KImageWrapper::frameCount() const
{
    if (m_state != Loaded || !m_decoder)
        return 0;
    return m_decoder->frameCount();
}

QImage KImageWrapper::frameAt(int index) const
{
    if (m_state != Loaded || !m_decoder)
        return QImage();
    return m_decoder->frameAt(index);
}

int KImageWrapper::gifColorCount() const
{
    if (m_format->type != ImageFormatGif || !m_decoder)
        return 0;
    const auto *gif = dynamic_cast<const KImageGifDecoder *>(m_decoder.get());
    return gif ? gif->colorCount() : 0;
}

bool KImageWrapper::saveFirstFrame(
    const ImageFormatRecord *format, const QString &outDir, const QString &baseName) const
{
    if (!format || !isWrittenFormat(format->type) || frameCount() < 1)
        return false;
    QImage image = frameAt(0);
    if (image.isNull())
        return false;
    // BMP is flattened here; the JPEG writer puts rows on white as it goes.
    if (format->type == ImageFormatBmp)
        image = flattenedOntoWhite(image);
    const QString ext = format->extensions.value(0);
    // baseName + ".ext" so that the reservation takes baseName whole as the
    // stem, dots included.
    const QString path = reserveUniqueFilePath(outDir, baseName + QLatin1Char('.') + ext, ext);
    if (path.isEmpty())
        return false;
    if (!writeImageForType(image, format->type, path, false)) {
        releaseReservedPath(path);
        return false;
    }
    return true;
}

QString KImageWrapper::saveFirstFrameAs(const ImageFormatRecord *format, const QString &outDir,
    const QString &baseName, QString *error) const
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return QString();
    };
    if (!format || !isWrittenFormat(format->type))
        return fail(QStringLiteral("this output format cannot be written"));
    if (frameCount() < 1)
        return fail(m_error.isEmpty() ? QStringLiteral("no image was loaded") : m_error);
    QImage image = frameAt(0);
    if (image.isNull())
        return fail(QStringLiteral("not enough memory for the image"));
    // BMP is flattened here; the JPEG writer puts rows on white as it goes.
    if (format->type == ImageFormatBmp)
        image = flattenedOntoWhite(image);
    const QString ext = format->extensions.value(0);
    const QString path
        = reserveUniqueFilePath(outDir, baseName + QLatin1Char('.') + ext, ext, error);
    if (path.isEmpty())
        return QString();
    if (!saveWithSystemEncoder(image, format->type, path, error)) {
        releaseReservedPath(path);
        return QString();
    }
    return path;
}

QString KImageWrapper::convertFileAs(const QString &path, const ImageFormatRecord *format,
    const QString &outDir, const QString &baseName, QString *error)
{
    QString written;
    if (convertJpegByRows(path, format, outDir, baseName, &written, error)
        || convertHeifByPlanes(path, format, outDir, baseName, &written, error))
        return written;
    if (!load(path) || loadState() != Loaded) {
        if (error)
            *error = errorString();
        return QString();
    }
    return saveFirstFrameAs(format, outDir, baseName, error);
}

QString KImageWrapper::writeWithoutFrames(const QString &path, const ImageFormatRecord *format,
    const QString &outDir, const QString &baseName, QString *error,
    const std::function<bool(const QString &target)> &write)
{
    const QString target = reserveWithoutFrames(path, format, outDir, baseName, error);
    if (target.isEmpty())
        return QString();
    if (!write(target)) {
        releaseReservedPath(target);
        return QString();
    }
    return target;
}

QString KImageWrapper::reserveWithoutFrames(const QString &path, const ImageFormatRecord *format,
    const QString &outDir, const QString &baseName, QString *error)
{
    m_path = path;
    m_format = ImageFormats::global().formatForExtension(ImageFormats::extensionOf(path));
    m_decoder.reset();
    m_state = Idle;
    m_error.clear();
    const QString ext = format->extensions.value(0);
    return reserveUniqueFilePath(outDir, baseName + QLatin1Char('.') + ext, ext, error);
}

bool KImageWrapper::convertJpegByRows(const QString &path, const ImageFormatRecord *format,
    const QString &outDir, const QString &baseName, QString *written, QString *error)
{
    // Only files that load() would give to the JPEG reader, with the same
    // checks before it, and no caller waiting for a smaller frame.
    if (!format || !writesRows(format->type) || m_sizeRequest
        || ImageFormats::global().formatForExtension(ImageFormats::extensionOf(path))->type
            != ImageFormatJpeg
        || !InputCheck::regularFileProblem(path).isEmpty())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > ImageLimits::kMaxFileBytes)
        return false;
    const QByteArray bytes = FrameMemory::readAll(&file);
    if (file.error() != QFileDevice::NoError || bytes.size() != file.size())
        return false;
    file.close();
    if (!JpegReader::isJpeg(bytes) || !ImageCompleteness::isComplete("jpeg", bytes, QSize()))
        return false;
    JpegReader::RowReader reader;
    QImage metadata;
    if (reader.start(bytes, &metadata, ImageLimits::kMaxPixels) != JpegReader::Result::Decoded)
        return false;

    bool readFailed = false;
    *written
        = writeWithoutFrames(path, format, outDir, baseName, error, [&](const QString &target) {
              return writeFromRows(
                  format->type, bytes, &reader, metadata, target, error, &readFailed);
          });
    return !written->isEmpty() || !readFailed;
}

bool KImageWrapper::convertHeifByPlanes(const QString &path, const ImageFormatRecord *format,
    const QString &outDir, const QString &baseName, QString *written, QString *error)
{
    if (!format || !writesRows(format->type) || m_sizeRequest
        || ImageFormats::global().formatForExtension(ImageFormats::extensionOf(path))->type
            != ImageFormatHeif
        || !InputCheck::regularFileProblem(path).isEmpty())
        return false;
    KImageHeicDecoder::Planes planes;
    if (!KImageHeicDecoder::decodePlanes(path, format->type == ImageFormatJpeg, &planes))
        return false;
    *written
        = writeWithoutFrames(path, format, outDir, baseName, error, [&](const QString &target) {
              return planes.isYCbCr
                  ? writeJpegFromPlanes(planes.size, planes.ycbcr, planes.metadata, target, error)
                  : writeFromRgbPlanes(format->type, planes.rgb, planes.metadata, target, error);
          });
    return true;
}
