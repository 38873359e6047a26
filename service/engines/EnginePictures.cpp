#include "EnginePictures.h"

#include <opencv2/imgproc.hpp>

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

namespace engines {

DecodedImage decodeImage(const QByteArray &bytes)
{
    DecodedImage decoded;
    if (bytes.isEmpty()) {
        decoded.error = QStringLiteral("the picture is empty");
        return decoded;
    }
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    decoded.format = reader.format().toLower();
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > maxInputPixels) {
        decoded.error = QStringLiteral("the picture is too large (%1 x %2 pixels)")
                            .arg(size.width())
                            .arg(size.height());
        return decoded;
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        decoded.error
            = QStringLiteral("the picture cannot be decoded: %1").arg(reader.errorString());
        return decoded;
    }
    if (qint64(image.width()) * image.height() > maxInputPixels) {
        decoded.error = QStringLiteral("the picture is too large");
        return decoded;
    }
    const QImageIOHandler::Transformations t = reader.transformation();
    decoded.orientationSwapsAxes = t.testFlag(QImageIOHandler::TransformationRotate90);
    decoded.image = image;
    return decoded;
}

namespace {

QImage flattenedRgb(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB888);
    QImage flat(image.size(), QImage::Format_RGB888);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    painter.end();
    return flat;
}

} // namespace

cv::Mat toBgrMat(const QImage &image)
{
    const QImage rgb = flattenedRgb(image);
    cv::Mat wrapped(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar *>(rgb.constBits()),
        size_t(rgb.bytesPerLine()));
    cv::Mat bgr;
    cv::cvtColor(wrapped, bgr, cv::COLOR_RGB2BGR);
    return bgr;
}

cv::Mat toGrayMat(const QImage &image)
{
    if (image.format() == QImage::Format_Grayscale8) {
        cv::Mat wrapped(image.height(), image.width(), CV_8UC1,
            const_cast<uchar *>(image.constBits()), size_t(image.bytesPerLine()));
        return wrapped.clone();
    }
    cv::Mat gray;
    cv::cvtColor(toBgrMat(image), gray, cv::COLOR_BGR2GRAY);
    return gray;
}

QImage fromMat(const cv::Mat &mat)
{
    if (mat.empty())
        return QImage();
    if (mat.type() == CV_8UC1) {
        QImage image(mat.cols, mat.rows, QImage::Format_Grayscale8);
        for (int y = 0; y < mat.rows; ++y)
            memcpy(image.scanLine(y), mat.ptr(y), size_t(mat.cols));
        return image;
    }
    if (mat.type() == CV_8UC3) {
        cv::Mat rgb;
        cv::cvtColor(mat, rgb, cv::COLOR_BGR2RGB);
        QImage image(mat.cols, mat.rows, QImage::Format_RGB888);
        for (int y = 0; y < rgb.rows; ++y)
            memcpy(image.scanLine(y), rgb.ptr(y), size_t(rgb.cols) * 3);
        return image;
    }
    if (mat.type() == CV_8UC4) {
        // BGRA in memory is QImage's ARGB32 on little-endian machines.
        QImage image(mat.cols, mat.rows, QImage::Format_ARGB32);
        for (int y = 0; y < mat.rows; ++y)
            memcpy(image.scanLine(y), mat.ptr(y), size_t(mat.cols) * 4);
        return image;
    }
    return QImage();
}

QByteArray encodePng(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        return QByteArray();
    return bytes;
}

QByteArray encodeLike(const QImage &image, const QByteArray &sourceFormat, QString *suffix)
{
    QByteArray format = sourceFormat;
    if (format == "jpg")
        format = "jpeg";
    if (format != "jpeg" && format != "png" && format != "bmp" && format != "webp"
        && format != "tiff")
        format = "png";
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (format == "jpeg")
        writer.setQuality(95);
    QImage out = image;
    if (format == "jpeg" || format == "bmp")
        out = flattenedRgb(image);
    if (!writer.write(out)) {
        if (format == "png")
            return QByteArray();
        format = "png";
        bytes = encodePng(image);
        if (bytes.isEmpty())
            return bytes;
    }
    if (suffix)
        *suffix = format == "jpeg" ? QStringLiteral("jpg")
            : format == "tiff"     ? QStringLiteral("tif")
                                   : QString::fromLatin1(format);
    return bytes;
}

} // namespace engines
