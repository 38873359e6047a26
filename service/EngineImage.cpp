#include "EngineImage.h"

#include <fstream>
#include <iterator>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace quorvel::service {

namespace {

cv::Mat toEightBit(const cv::Mat &image)
{
    if (image.depth() == CV_8U)
        return image;
    cv::Mat converted;
    switch (image.depth()) {
    case CV_16U:
        image.convertTo(converted, CV_8U, 1.0 / 257.0);
        break;
    case CV_32F:
    case CV_64F:
        image.convertTo(converted, CV_8U, 255.0);
        break;
    default:
        cv::normalize(image, converted, 0, 255, cv::NORM_MINMAX, CV_8U);
        break;
    }
    return converted;
}

} // namespace

cv::Mat decodePicture(const std::string &path, std::string &error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "input-missing: cannot open the uploaded picture";
        return {};
    }
    const std::vector<uchar> bytes(
        (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty()) {
        error = "unreadable-image: the uploaded file is empty";
        return {};
    }
    cv::Mat image;
    try {
        image = cv::imdecode(bytes, cv::IMREAD_UNCHANGED);
        if (!image.empty() && image.channels() != 4)
            image = cv::imdecode(bytes, cv::IMREAD_COLOR | cv::IMREAD_ANYDEPTH);
    } catch (const cv::Exception &) {
        image.release();
    }
    if (image.empty() || image.dims != 2 || image.cols < 1 || image.rows < 1) {
        error = "unreadable-image: the file is not a picture this service can read, or it is "
                "damaged";
        return {};
    }
    if (double(image.cols) * double(image.rows) > kMaxEnginePixels) {
        error = "image-too-large: the picture has more than 80 million pixels";
        return {};
    }
    image = toEightBit(image);
    if (image.channels() == 1)
        cv::cvtColor(image, image, cv::COLOR_GRAY2BGR);
    return image;
}

cv::Mat greyOnWhite(const cv::Mat &picture)
{
    cv::Mat grey;
    if (picture.channels() == 4) {
        std::vector<cv::Mat> planes;
        cv::split(picture, planes);
        cv::Mat bgr;
        cv::merge(std::vector<cv::Mat> { planes[0], planes[1], planes[2] }, bgr);
        cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
        // grey * a + 255 * (1 - a)
        cv::Mat alpha, inverse;
        planes[3].convertTo(alpha, CV_32F, 1.0 / 255.0);
        cv::Mat greyF;
        grey.convertTo(greyF, CV_32F);
        inverse = 1.0 - alpha;
        greyF = greyF.mul(alpha) + inverse * 255.0;
        greyF.convertTo(grey, CV_8U);
    } else if (picture.channels() == 3) {
        cv::cvtColor(picture, grey, cv::COLOR_BGR2GRAY);
    } else {
        grey = picture.clone();
    }
    return grey;
}

} // namespace quorvel::service
