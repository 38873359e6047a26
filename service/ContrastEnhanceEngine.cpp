#include "ContrastEnhanceEngine.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "EngineImage.h"

namespace quorvel::service {

namespace {

struct OutputFormat
{
    const char *suffix;
    const char *extension;
    std::vector<int> parameters;
};

OutputFormat outputFormatFor(std::string suffix, bool hasAlpha)
{
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
        [](unsigned char c) { return char(std::tolower(c)); });
    if ((suffix == "jpg" || suffix == "jpeg" || suffix == "jpe" || suffix == "jfif") && !hasAlpha)
        return { "jpg", ".jpg", { cv::IMWRITE_JPEG_QUALITY, 95 } };
    if (suffix == "bmp" && !hasAlpha)
        return { "bmp", ".bmp", {} };
    if (suffix == "webp")
        return { "webp", ".webp", { cv::IMWRITE_WEBP_QUALITY, 95 } };
    if (suffix == "tif" || suffix == "tiff")
        return { "tif", ".tif", {} };
    return { "png", ".png", { cv::IMWRITE_PNG_COMPRESSION, 6 } };
}

} // namespace

EngineOutcome enhanceContrast(const EngineJob &job, const EngineProgress &progress)
{
    std::string error;
    cv::Mat picture = decodePicture(job.inputPath, error);
    if (picture.empty())
        return EngineOutcome::failure(kJobUnreadableInput, error);
    if (!progress(10))
        return EngineOutcome::failure(kJobCancelled, "cancelled");

    cv::Mat alpha;
    if (picture.channels() == 4) {
        cv::extractChannel(picture, alpha, 3);
        cv::cvtColor(picture, picture, cv::COLOR_BGRA2BGR);
    }
    cv::Mat lab;
    cv::cvtColor(picture, lab, cv::COLOR_BGR2Lab);
    std::vector<cv::Mat> planes;
    cv::split(lab, planes);
    if (!progress(30))
        return EngineOutcome::failure(kJobCancelled, "cancelled");

    // Tiles of about 128 pixels, at least 2 and at most 16 per side.
    const int tilesX = std::clamp(picture.cols / 128, 2, 16);
    const int tilesY = std::clamp(picture.rows / 128, 2, 16);
    cv::Ptr<cv::CLAHE> clahe = cv::createCLAHE(2.0, cv::Size(tilesX, tilesY));
    clahe->apply(planes[0], planes[0]);
    cv::merge(planes, lab);
    cv::cvtColor(lab, picture, cv::COLOR_Lab2BGR);
    if (!progress(60))
        return EngineOutcome::failure(kJobCancelled, "cancelled");

    // Mild unsharp mask: 0.4 of the detail above a 1-pixel blur.
    cv::Mat blurred;
    cv::GaussianBlur(picture, blurred, cv::Size(0, 0), 1.0);
    cv::addWeighted(picture, 1.4, blurred, -0.4, 0, picture);
    if (!alpha.empty()) {
        std::vector<cv::Mat> channels;
        cv::split(picture, channels);
        channels.push_back(alpha);
        cv::merge(channels, picture);
    }
    if (!progress(80))
        return EngineOutcome::failure(kJobCancelled, "cancelled");

    const OutputFormat format = outputFormatFor(job.inputSuffix, !alpha.empty());
    std::vector<uchar> encoded;
    try {
        if (!cv::imencode(format.extension, picture, encoded, format.parameters))
            encoded.clear();
    } catch (const cv::Exception &) {
        encoded.clear();
    }
    if (encoded.empty())
        return EngineOutcome::failure(
            kJobEngineFailed, "encode-failed: cannot write the result picture");
    EngineOutcome outcome;
    outcome.result.assign(encoded.begin(), encoded.end());
    outcome.resultSuffix = format.suffix;
    return outcome;
}

} // namespace quorvel::service
