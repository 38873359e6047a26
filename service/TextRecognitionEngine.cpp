#include "TextRecognitionEngine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include <opencv2/imgproc.hpp>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>

#include <QRegularExpression>
#include <QString>

#include "EngineImage.h"

namespace quorvel::service {

namespace {

// Tesseract reads best with glyphs about this tall.
constexpr double kTargetTextHeight = 34.0;
constexpr int kBorder = 24;

double medianGlyphHeight(const cv::Mat &grey)
{
    cv::Mat ink;
    cv::threshold(grey, ink, 0, 255, cv::THRESH_BINARY_INV | cv::THRESH_OTSU);
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(ink, labels, stats, centroids, 8, CV_32S);
    std::vector<int> heights;
    for (int i = 1; i < count; ++i) {
        const int height = stats.at<int>(i, cv::CC_STAT_HEIGHT);
        const int width = stats.at<int>(i, cv::CC_STAT_WIDTH);
        const int area = stats.at<int>(i, cv::CC_STAT_AREA);
        // Skip specks, rules and blobs that span the page.
        if (area < 4 || height < 3 || height > grey.rows / 3 || width > grey.cols / 3)
            continue;
        heights.push_back(height);
    }
    if (heights.size() < 3)
        return 0.0;
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    return heights[heights.size() / 2];
}

// Divides out the background (shadows, uneven light, grey paper) and stretches
// what is left to the full range.
cv::Mat flattenBackground(const cv::Mat &grey, double textHeight)
{
    int size = int(std::lround(std::max(15.0, textHeight * 1.5))) | 1;
    size = std::min(size, 151);
    cv::Mat background;
    cv::dilate(grey, background, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(size, size)));
    cv::blur(background, background, cv::Size(size, size));
    cv::Mat flat;
    cv::divide(grey, background, flat, 255.0);
    // Stretch between the 1st and the 99th percentile of the flattened picture.
    int histogram[256] = {};
    for (int y = 0; y < flat.rows; ++y) {
        const uchar *row = flat.ptr<uchar>(y);
        for (int x = 0; x < flat.cols; ++x)
            ++histogram[row[x]];
    }
    const double total = double(flat.total());
    int low = 0, high = 255;
    double seen = 0;
    for (int v = 0; v < 256; ++v) {
        seen += histogram[v];
        if (seen >= total * 0.01) {
            low = v;
            break;
        }
    }
    seen = 0;
    for (int v = 255; v >= 0; --v) {
        seen += histogram[v];
        if (seen >= total * 0.01) {
            high = v;
            break;
        }
    }
    if (high - low >= 16)
        flat.convertTo(flat, CV_8U, 255.0 / (high - low), -255.0 * low / (high - low));
    return flat;
}

// Angle (degrees) that makes the text lines horizontal: the rotation whose row
// profile of ink is the most peaked.
double estimateSkew(const cv::Mat &grey)
{
    cv::Mat ink;
    cv::threshold(grey, ink, 0, 255, cv::THRESH_BINARY_INV | cv::THRESH_OTSU);
    const double shrink = std::min(1.0, 1000.0 / std::max(ink.cols, ink.rows));
    if (shrink < 1.0)
        cv::resize(ink, ink, cv::Size(), shrink, shrink, cv::INTER_AREA);
    const cv::Point2f centre(ink.cols / 2.0f, ink.rows / 2.0f);
    auto score = [&](double angle) {
        cv::Mat rotated;
        cv::warpAffine(ink, rotated, cv::getRotationMatrix2D(centre, angle, 1.0), ink.size(),
            cv::INTER_NEAREST, cv::BORDER_CONSTANT, cv::Scalar(0));
        cv::Mat rows;
        cv::reduce(rotated, rows, 1, cv::REDUCE_SUM, CV_64F);
        double sum = 0;
        for (int i = 1; i < rows.rows; ++i) {
            const double d = rows.at<double>(i) - rows.at<double>(i - 1);
            sum += d * d;
        }
        return sum;
    };
    double best = 0.0;
    double bestScore = score(0.0);
    for (double angle = -8.0; angle <= 8.0; angle += 0.5) {
        const double s = score(angle);
        if (s > bestScore) {
            bestScore = s;
            best = angle;
        }
    }
    const double coarse = best;
    for (double angle = coarse - 0.4; angle <= coarse + 0.4; angle += 0.1) {
        const double s = score(angle);
        if (s > bestScore) {
            bestScore = s;
            best = angle;
        }
    }
    return best;
}

// Clears ink blobs smaller than minArea pixels: noise of the source pixels, grown by
// the upscaling. A full stop of small print is about two source pixels, a speck one.
void removeSpecks(cv::Mat &binary, double minArea)
{
    cv::Mat ink;
    cv::bitwise_not(binary, ink);
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(ink, labels, stats, centroids, 8, CV_32S);
    std::vector<uchar> clear(std::size_t(count), 0);
    bool any = false;
    for (int i = 1; i < count; ++i) {
        if (stats.at<int>(i, cv::CC_STAT_AREA) < minArea) {
            clear[std::size_t(i)] = 1;
            any = true;
        }
    }
    if (!any)
        return;
    for (int y = 0; y < binary.rows; ++y) {
        const int *label = labels.ptr<int>(y);
        uchar *row = binary.ptr<uchar>(y);
        for (int x = 0; x < binary.cols; ++x) {
            if (clear[std::size_t(label[x])])
                row[x] = 255;
        }
    }
}

// Tesseract puts blanks between Chinese characters; a reader does not want them.
std::string tidyRecognisedText(const char *utf8)
{
    QString text = QString::fromUtf8(utf8);
    // Local patterns: one QRegularExpression object is not meant to be shared by threads.
    const QRegularExpression cjkGap(
        QStringLiteral("(?<=[\\x{3000}-\\x{303F}\\x{4E00}-\\x{9FFF}\\x{FF00}-\\x{FFEF}]) +"
                       "(?=[\\x{3000}-\\x{303F}\\x{4E00}-\\x{9FFF}\\x{FF00}-\\x{FFEF}])"));
    text.replace(cjkGap, QString());
    // Trailing blanks of each line and blank lines at the end.
    const QRegularExpression trailing(QStringLiteral("[ \\t]+\\n"));
    text.replace(trailing, QStringLiteral("\n"));
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    if (!text.isEmpty())
        text += QLatin1Char('\n');
    return text.toStdString();
}

struct MonitorContext
{
    const EngineProgress *progress;
    bool stopped = false;
};

bool monitorCancel(void *context, int)
{
    auto *ctx = static_cast<MonitorContext *>(context);
    return ctx->stopped;
}

bool monitorProgress(tesseract::ETEXT_DESC *monitor, int, int, int, int)
{
    auto *ctx = static_cast<MonitorContext *>(monitor->cancel_this);
    // Recognition covers 25..95 of the job.
    if (!(*ctx->progress)(25 + monitor->progress * 70 / 100))
        ctx->stopped = true;
    return true;
}

tesseract::TessBaseAPI *threadRecogniser(std::string &error)
{
    thread_local std::unique_ptr<tesseract::TessBaseAPI> api;
    thread_local bool failed = false;
    if (api)
        return api.get();
    if (failed) {
        error = "engine-unavailable: Tesseract could not load its language data";
        return nullptr;
    }
    auto created = std::make_unique<tesseract::TessBaseAPI>();
    if (created->Init(nullptr, recognitionLanguages().c_str(), tesseract::OEM_DEFAULT) != 0) {
        failed = true;
        error = "engine-unavailable: Tesseract could not load the languages "
            + recognitionLanguages();
        return nullptr;
    }
    created->SetPageSegMode(tesseract::PSM_AUTO);
    // Keep the blanks between words of the same line as they are.
    created->SetVariable("preserve_interword_spaces", "0");
    api = std::move(created);
    return api.get();
}

} // namespace

std::string recognitionLanguages()
{
    const char *configured = std::getenv("QUORVEL_OCR_LANGUAGES");
    return configured && *configured ? configured : "eng+chi_sim";
}

TextPreparation prepareForRecognition(const cv::Mat &grey)
{
    TextPreparation prepared;
    cv::Mat work = grey;
    // Light text on a dark ground reads as its negative.
    cv::Mat sorted = grey.reshape(1, 1).clone();
    std::nth_element(
        sorted.begin<uchar>(), sorted.begin<uchar>() + sorted.cols / 2, sorted.end<uchar>());
    if (sorted.at<uchar>(sorted.cols / 2) < 100)
        cv::bitwise_not(grey, work);

    prepared.textHeight = medianGlyphHeight(flattenBackground(work, 20.0));
    double scale = 1.0;
    if (prepared.textHeight > 0 && prepared.textHeight < kTargetTextHeight * 0.8)
        scale = std::min(4.0, kTargetTextHeight / prepared.textHeight);
    // Never grow a picture past ~40 megapixels.
    scale = std::min(scale, std::sqrt(40e6 / std::max(1.0, double(work.total()))));
    scale = std::max(scale, 1.0);
    if (scale > 1.05)
        cv::resize(work, work, cv::Size(), scale, scale, cv::INTER_CUBIC);
    prepared.scale = scale;

    const double scaledHeight = prepared.textHeight > 0 ? prepared.textHeight * scale : 30.0;
    cv::Mat flat = flattenBackground(work, scaledHeight);

    prepared.skewDegrees = estimateSkew(flat);
    if (std::abs(prepared.skewDegrees) >= 0.2) {
        const cv::Point2f centre(flat.cols / 2.0f, flat.rows / 2.0f);
        const cv::Mat rotation = cv::getRotationMatrix2D(centre, prepared.skewDegrees, 1.0);
        // Grow the canvas so no corner of the text is cut off.
        const cv::Rect2f box
            = cv::RotatedRect(centre, flat.size(), float(prepared.skewDegrees)).boundingRect2f();
        cv::Mat shifted = rotation.clone();
        shifted.at<double>(0, 2) += box.width / 2.0 - centre.x;
        shifted.at<double>(1, 2) += box.height / 2.0 - centre.y;
        cv::warpAffine(flat, flat, shifted, cv::Size(int(box.width), int(box.height)),
            cv::INTER_CUBIC, cv::BORDER_CONSTANT, cv::Scalar(255));
    }

    // Smooth sensor noise a little before the threshold; the stroke is several pixels wide now.
    const double sigma = std::clamp(scaledHeight / 30.0, 0.6, 1.5);
    cv::GaussianBlur(flat, flat, cv::Size(0, 0), sigma);
    cv::threshold(flat, prepared.binary, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    removeSpecks(prepared.binary, std::max(3.0, 1.5 * scale * scale));
    cv::copyMakeBorder(prepared.binary, prepared.binary, kBorder, kBorder, kBorder, kBorder,
        cv::BORDER_CONSTANT, cv::Scalar(255));
    return prepared;
}

EngineOutcome recogniseText(const EngineJob &job, const EngineProgress &progress)
{
    std::string error;
    const cv::Mat picture = decodePicture(job.inputPath, error);
    if (picture.empty())
        return EngineOutcome::failure(kJobUnreadableInput, error);
    if (!progress(5))
        return EngineOutcome::failure(kJobCancelled, "cancelled");
    const TextPreparation prepared = prepareForRecognition(greyOnWhite(picture));
    if (!progress(25))
        return EngineOutcome::failure(kJobCancelled, "cancelled");

    tesseract::TessBaseAPI *api = threadRecogniser(error);
    if (!api)
        return EngineOutcome::failure(kJobEngineUnavailable, error);
    api->SetImage(prepared.binary.data, prepared.binary.cols, prepared.binary.rows, 1,
        int(prepared.binary.step));
    api->SetSourceResolution(300);

    MonitorContext context { &progress };
    tesseract::ETEXT_DESC monitor;
    monitor.cancel = &monitorCancel;
    monitor.cancel_this = &context;
    monitor.progress_callback2 = &monitorProgress;
    const int status = api->Recognize(&monitor);
    if (context.stopped || !progress(95)) {
        api->Clear();
        return EngineOutcome::failure(kJobCancelled, "cancelled");
    }
    if (status != 0) {
        api->Clear();
        return EngineOutcome::failure(kJobEngineFailed, "recognition-failed: Tesseract stopped");
    }
    std::unique_ptr<char[]> text(api->GetUTF8Text());
    api->Clear();
    EngineOutcome outcome;
    outcome.result = tidyRecognisedText(text ? text.get() : "");
    outcome.resultSuffix = "txt";
    if (outcome.result.empty())
        return EngineOutcome::failure(
            kJobUnreadableInput, "no-text: no text was found in the picture");
    return outcome;
}

} // namespace quorvel::service
