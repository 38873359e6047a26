#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace engines {

// What stretch recovery concluded about a picture.
struct StretchEstimate
{
    enum Source {
        None, // nothing to go by: leave the picture as it is
        Exif, // the camera's pixel dimensions recorded in the file
        CommonRatio, // the nearest common camera ratio
    };
    Source source = None;
    double ratio = 0; // width / height to restore; 0 with None
    QSize target; // restored size; invalid when unchanged
    QString notice; // with an unchanged picture: "stretch_not_needed" or "stretch_not_estimated"
    QString noticeText;
};

// Estimates the aspect ratio a stretched picture had and resamples it back.
// Free of state; safe on any thread.
class KStretchRestorer
{
public:
    // Largest relative difference from a common ratio (4:3, 3:2, 16:9, 1:1)
    // still taken as that ratio stretched.
    static constexpr double commonRatioTolerance = 0.15;
    // Below this relative difference a picture counts as not stretched.
    static constexpr double unchangedTolerance = 0.01;

    // Pixel dimensions a camera recorded in the EXIF block of a JPEG (APP1)
    // or PNG (eXIf chunk): PixelXDimension/PixelYDimension, else
    // ImageWidth/ImageLength. Invalid when absent or unreadable.
    static QSize exifPixelDimensions(const QByteArray &file);

    // size is the picture as decoded (upright); exifSize the recorded
    // dimensions already turned upright as well (may be invalid).
    static StretchEstimate estimate(const QSize &size, const QSize &exifSize);

    // The picture resampled to target with a high-quality filter (Lanczos
    // when enlarging along an axis, pixel-area averaging when shrinking).
    static QImage resample(const QImage &image, const QSize &target);
};

} // namespace engines
