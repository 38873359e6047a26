#pragma once

#include <opencv2/core.hpp>

#include <QByteArray>
#include <QImage>
#include <QString>

// Decoding of uploaded pictures and the conversions between Qt and OpenCV
// images that the engines share. Free functions, safe on any thread.
namespace engines {

struct DecodedImage
{
    QImage image; // upright (EXIF orientation applied); null on failure
    QByteArray format; // lower-case reader format: "jpeg", "png", "bmp" ...
    bool orientationSwapsAxes = false; // EXIF orientation 5..8 was applied
    QString error; // why image is null
};

// Largest picture the engines accept, in pixels; larger ones are refused
// before any pixel is decoded.
constexpr qint64 maxInputPixels = 100 * 1000 * 1000;

DecodedImage decodeImage(const QByteArray &bytes);

// Grey 8-bit copy with any transparency flattened onto white.
cv::Mat toGrayMat(const QImage &image);
// BGR 8-bit copy with transparency flattened onto white.
cv::Mat toBgrMat(const QImage &image);
// Deep copies back into QImage (Format_RGB888 / Format_Grayscale8 / ARGB32).
QImage fromMat(const cv::Mat &mat);

// Encodes image in the family of sourceFormat when Qt can write it (JPEG at
// quality 95), else as PNG. suffix receives the file suffix written.
QByteArray encodeLike(const QImage &image, const QByteArray &sourceFormat, QString *suffix);
QByteArray encodePng(const QImage &image);

} // namespace engines
