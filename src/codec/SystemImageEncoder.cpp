#include "SystemImageEncoder.h"

#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>

#include "app/FileUtils.h"
#include "codec/ImageFormatRecord.h"
#include "codec/JpegWriter.h"
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

} // namespace

bool writeImageForType(const QImage &image, int typeId, const QString &path, bool premultiplyTiff)
{
    WriterChoice choice;
    if (image.isNull() || path.isEmpty() || !writerFor(typeId, &choice))
        return false;
    if (!isFreeOrPlaceholder(path))
        return false;

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
        return false;

    const QString temp = siblingTempPath(path);
    if (temp.isEmpty())
        return false;
    bool written = false;
    if (typeId == ImageFormatJpeg) {
        // Straight through libjpeg-turbo: the same bytes as the toolkit's
        // optimised writer, without its converted copy of every row.
        written = JpegWriter::write(pixels, choice.quality, temp);
    } else if (typeId == ImageFormatTiff) {
        // libtiff directly: contiguous samples in strips, one pass per strip.
        written = TiffWriter::write(pixels, temp);
    } else {
        QFile file(temp);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            QImageWriter writer(&file, choice.format);
            writer.setQuality(choice.quality);
            // Optimised Huffman tables: the same JPEG pixels in fewer bytes.
            if (typeId == ImageFormatJpeg)
                writer.setOptimizedWrite(true);
            written = writer.write(pixels) && file.flush() && file.error() == QFileDevice::NoError;
            file.close();
            written = written && file.error() == QFileDevice::NoError;
        }
    }
    if (!written) {
        QFile::remove(temp);
        return false;
    }
    // A reservation made by another writer in the meantime is not ours to
    // replace; the check above and the rename leave only that window.
    if (!isFreeOrPlaceholder(path)) {
        QFile::remove(temp);
        return false;
    }
    return replaceFile(temp, path);
}

bool saveWithSystemEncoder(const QImage &image, int typeId, const QString &path)
{
    return writeImageForType(image, typeId, path, true);
}
