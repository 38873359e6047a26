#pragma once

#include <string>

#include <opencv2/core.hpp>

// Decoding helpers shared by the picture engines (worker threads, no state).
namespace quorvel::service {

// Pictures larger than this are refused rather than decoded.
constexpr double kMaxEnginePixels = 80e6;

// Decodes a picture file into 8-bit BGR or BGRA (alpha kept). EXIF orientation is
// applied to pictures without alpha. Empty matrix and `error` set on failure.
cv::Mat decodePicture(const std::string &path, std::string &error);

// 8-bit grey of a decoded picture; transparent areas become white.
cv::Mat greyOnWhite(const cv::Mat &picture);

} // namespace quorvel::service
