#include "SystemImageEncoder.h"

#include <cerrno>

#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>

#include "app/FileUtils.h"
#include "codec/BmpWriter.h"
#include "codec/HeifRgbPlanes.h"
#include "codec/ImageFormatRecord.h"
#include "codec/JpegReader.h"
#include "codec/JpegWriter.h"
#include "codec/PngWriter.h"
#include "codec/SystemImageEncoder_p.h"
#include "codec/TiffWriter.h"

namespace {

struct WriterChoice
{
    QByteArray format;
    int quality = -1;
};

bool writerFor(int typeId, WriterChoice *choice)
{
    switch (typeId) {
    case ImageFormatBmp:
        choice->format = "bmp";
        return true;
    case ImageFormatJpeg:
        choice->format = "jpg";
        choice->quality = 100;
        return true;
    case ImageFormatPng:
        // The PNG writer reads "quality" as the inverse of the zlib level:
        // 100 would store the pixels uncompressed (2.5 times the size of a
        // compressed photo). 80 selects level 1: a tenth larger than the
        // default level and several times faster on photos.
        choice->format = "png";
        choice->quality = 80;
        return true;
    case ImageFormatTiff:
        choice->format = "tif";
        return true;
    case ImageFormatWebp:
        // Quality 100 selects the lossless WebP encoder.
        choice->format = "webp";
        choice->quality = 100;
        return true;
    default:
        return false;
    }
}

bool isFreeOrPlaceholder(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    return info.isFile() && !info.isSymLink() && info.size() == 0;
}

} // namespace

QImage flattenedOntoWhite(const QImage &image)
{
    if (image.isNull())
        return QImage();
    // Nothing to flatten in an opaque picture: skip the paint pass.
    if (!image.hasAlphaChannel())
        return image.format() == QImage::Format_RGB32 ? image
                                                      : image.convertToFormat(QImage::Format_RGB32);
    QImage flat(image.size(), QImage::Format_RGB32);
    if (flat.isNull())
        return QImage();
    flat.fill(Qt::white);
    {
        QPainter painter(&flat);
        painter.drawImage(0, 0, image);
    }
    flat.setColorSpace(image.colorSpace());
    flat.setDotsPerMeterX(image.dotsPerMeterX());
    flat.setDotsPerMeterY(image.dotsPerMeterY());
    return flat;
}

namespace {

bool isOpaque(const QImage &image)
{
    const QImage argb = image.format() == QImage::Format_ARGB32
            || image.format() == QImage::Format_ARGB32_Premultiplied
        ? image
        : image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(line[x]) != 255)
                return false;
        }
    }
    return true;
}

// Writes pixels into temp (a new file) in the format of typeId; false with
// the reason in *writeError.
bool writeFileForType(const QImage &pixels, int typeId, const WriterChoice &choice,
    const QString &temp, const QString &folder, QString *writeError)
{
    bool written = false;
    if (typeId == ImageFormatJpeg) {
        // Straight through libjpeg-turbo: the same bytes as the toolkit's
        // optimised writer, without its converted copy of every row.
        written = JpegWriter::write(pixels, choice.quality, temp, writeError);
    } else if (typeId == ImageFormatTiff) {
        // libtiff directly: contiguous samples in strips, one pass per strip.
        written = TiffWriter::write(pixels, temp, writeError);
    } else if (typeId == ImageFormatPng && PngWriter::takes(pixels)) {
        // libpng with the toolkit's settings and chunks, without its plug-ins.
        written = PngWriter::write(pixels, choice.quality, temp, writeError);
    } else if (typeId == ImageFormatBmp && BmpWriter::takes(pixels)) {
        // The toolkit's 24-bit layout, written without loading its plug-ins.
        written = BmpWriter::write(pixels, temp, writeError);
    } else {
        QFile file(temp);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            QImageWriter writer(&file, choice.format);
            writer.setQuality(choice.quality);
            errno = 0;
            written = writer.write(pixels) && file.flush() && file.error() == QFileDevice::NoError;
            int code = errno;
            file.close();
            if (code == 0)
                code = errno;
            written = written && file.error() == QFileDevice::NoError;
            if (!written) {
                // The writer reports only that it failed; the system's error
                // number (a full disk above all) or the folder tells why.
                if (code == ENOSPC || code == EDQUOT || code == EACCES || code == EROFS
                    || code == EIO)
                    *writeError = fileErrorText(code, folder);
                else
                    *writeError = folderWriteProblem(folder);
                if (writeError->isEmpty())
                    *writeError = writer.error() == QImageWriter::DeviceError
                        ? QStringLiteral("the file could not be written: %1")
                              .arg(file.errorString())
                        : QStringLiteral("the image could not be encoded: %1")
                              .arg(writer.errorString());
            }
        } else {
            *writeError = fileErrorText(EACCES, folder);
        }
    }
    return written;
}

} // namespace

bool writeThroughTemp(const QString &path, QString *error,
    const std::function<bool(const QString &temp, QString *writeError)> &write)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!isFreeOrPlaceholder(path))
        return fail(QStringLiteral("%1 already exists").arg(path));
    const QString folder = QFileInfo(path).path();
    errno = 0;
    const QString temp = siblingTempPath(path);
    if (temp.isEmpty())
        return fail(fileErrorText(errno ? errno : EACCES, folder));
    QString writeError;
    if (!write(temp, &writeError)) {
        QFile::remove(temp);
        if (writeError.isEmpty())
            writeError = folderWriteProblem(folder);
        if (writeError.isEmpty())
            writeError = QStringLiteral("the image could not be written");
        return fail(writeError);
    }
    // A reservation made by another writer in the meantime is not ours to
    // replace; the check above and the rename leave only that window.
    if (!isFreeOrPlaceholder(path)) {
        QFile::remove(temp);
        return fail(QStringLiteral("%1 already exists").arg(path));
    }
    return replaceFile(temp, path, error);
}

bool writeImageForType(
    const QImage &image, int typeId, const QString &path, bool premultiplyTiff, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    WriterChoice choice;
    if (image.isNull() || path.isEmpty() || !writerFor(typeId, &choice))
        return fail(QStringLiteral("this output format cannot be written"));

    // JPEG rows are put on white by its writer, without a flattened copy.
    QImage pixels = image;
    if (typeId == ImageFormatTiff && premultiplyTiff && pixels.hasAlphaChannel()) {
        // Decoders hand out 32-bit pictures; an opaque one is written with three
        // channels (a quarter smaller), only real transparency keeps the fourth.
        if (isOpaque(pixels))
            pixels = pixels.convertToFormat(QImage::Format_RGB32);
        else if (pixels.format() != QImage::Format_ARGB32_Premultiplied)
            pixels = pixels.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    if (pixels.isNull())
        return fail(QStringLiteral("not enough memory for the image"));

    const QString folder = QFileInfo(path).path();
    return writeThroughTemp(path, error, [&](const QString &temp, QString *whyNot) {
        return writeFileForType(pixels, typeId, choice, temp, folder, whyNot);
    });
}
bool saveWithSystemEncoder(const QImage &image, int typeId, const QString &path, QString *error)
{
    return writeImageForType(image, typeId, path, true, error);
}

bool writesRows(int typeId)
{
    return typeId == ImageFormatJpeg || typeId == ImageFormatTiff || typeId == ImageFormatBmp
        || typeId == ImageFormatPng;
}

namespace {

// Writes a picture of size from next into temp in the format of typeId
// (writesRows); sample serves the JPEG writer's tables.
bool writeRowsOfType(int typeId, const QSize &size, const QImage &metadata, int quality,
    const RowSource &next, const RowSource *sample, const QString &temp, QString *writeError,
    bool *sourceFailed)
{
    switch (typeId) {
    case ImageFormatJpeg:
        return JpegWriter::writeRows(
            size, metadata, quality, next, temp, writeError, sourceFailed, sample);
    case ImageFormatTiff:
        return TiffWriter::writeRows(size, metadata, next, temp, writeError, sourceFailed);
    case ImageFormatPng:
        return PngWriter::writeRows(size, metadata, quality, next, temp, writeError, sourceFailed);
    default:
        return BmpWriter::writeRows(size, metadata, next, temp, writeError, sourceFailed);
    }
}

} // namespace

bool writeFromRows(int typeId, const QByteArray &bytes, JpegReader::RowReader *reader,
    const QImage &metadata, const QString &path, QString *error, bool *readFailed)
{
    *readFailed = false;
    WriterChoice choice;
    if (!writesRows(typeId) || !writerFor(typeId, &choice)) {
        if (error)
            *error = QStringLiteral("this output format cannot be written");
        return false;
    }
    const RowSource next
        = [reader](uchar *const *rows, int, int count) { return reader->readRows(rows, count); };
    // The sample's reader is started only when the writer asks for it.
    JpegReader::RowReader sampler;
    int sampled = -1; // the row the sampler stands at; -1 before it starts
    const RowSource sample = [&](uchar *const *rows, int first, int count) {
        if (sampled < 0) {
            QImage ignored;
            if (sampler.start(
                    bytes, &ignored, qint64(reader->size().width()) * reader->size().height())
                != JpegReader::Result::Decoded)
                return false;
            sampled = 0;
        }
        if (first < sampled || (first > sampled && !sampler.skipRows(first - sampled))
            || !sampler.readRows(rows, count))
            return false;
        sampled = first + count;
        return true;
    };
    return writeThroughTemp(path, error, [&](const QString &temp, QString *writeError) {
        bool sourceFailed = false;
        bool ok = writeRowsOfType(typeId, reader->size(), metadata, choice.quality, next, &sample,
            temp, writeError, &sourceFailed);
        // What follows the last row is read too, as a whole decode does.
        if (ok && !reader->finish()) {
            ok = false;
            sourceFailed = true;
            *writeError = QStringLiteral("the picture could not be read");
        }
        *readFailed = sourceFailed;
        return ok;
    });
}

bool writeJpegFromPlanes(const QSize &size, const JpegWriter::Planes420 &planes,
    const QImage &metadata, const QString &path, QString *error)
{
    WriterChoice choice;
    writerFor(ImageFormatJpeg, &choice);
    return writeThroughTemp(path, error, [&](const QString &temp, QString *writeError) {
        return JpegWriter::writeYCbCr420(size, planes, metadata, choice.quality, temp, writeError);
    });
}

bool writeFromRgbPlanes(int typeId, const HeifRgbPlanes &planes, const QImage &metadata,
    const QString &path, QString *error)
{
    WriterChoice choice;
    if (!writesRows(typeId) || !writerFor(typeId, &choice)) {
        if (error)
            *error = QStringLiteral("this output format cannot be written");
        return false;
    }
    // The planes are whole in memory: the same rows serve the JPEG writer's
    // sample of bands and its writing.
    const RowSource rows = [&planes](uchar *const *out, int first, int count) {
        planes.fillRows(out, first, count);
        return true;
    };
    return writeThroughTemp(path, error, [&](const QString &temp, QString *writeError) {
        return writeRowsOfType(
            typeId, planes.size, metadata, choice.quality, rows, &rows, temp, writeError, nullptr);
    });
}
