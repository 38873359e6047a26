#pragma once

#include <QByteArray>
#include <QString>

// Turning and mirroring a JPEG without decoding it: the DCT blocks are moved
// and transposed (libjpeg-turbo's lossless transform), so the result has no
// generation loss and costs a fraction of a decode and re-encode. The EXIF
// orientation is applied in the same step and its tag reset to 1; every
// other marker (EXIF, ICC profile, comments) is kept.
//
// A transform is only "perfect" when the picture has no partial block on the
// edges it moves; then, and for CMYK files, nothing is done and the caller
// takes the decoding path. Pure functions over bytes; safe from any thread.
namespace JpegLossless {

// What to do to the upright picture (after its EXIF orientation).
enum class Operation { None, RotateLeft, RotateRight, Rotate180, FlipLeftRight, FlipUpDown };

enum class Result {
    Transformed,
    // Not a JPEG this path can take (partial edge blocks, CMYK, not a JPEG
    // at all): nothing was done.
    NotApplicable,
    // The library failed on the data.
    Failed
};

// The operation a rotation request means, or false when it is no multiple of
// 90 degrees. angle turns counter-clockwise for positive values (-360..360).
bool operationForAngle(int angle, Operation *operation);

// The EXIF orientation tag of a JPEG file (1..8), 0 when absent.
int orientationOf(const QByteArray &jpeg);

Result transform(
    const QByteArray &jpeg, Operation operation, QByteArray *out, QString *error = nullptr);

} // namespace JpegLossless
