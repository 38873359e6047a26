#include "KTextRecognizer.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace engines {

bool isCjk(QChar c)
{
    const ushort u = c.unicode();
    return (u >= 0x3040 && u <= 0x30ff) || (u >= 0x3400 && u <= 0x4dbf)
        || (u >= 0x4e00 && u <= 0x9fff) || (u >= 0xac00 && u <= 0xd7af)
        || (u >= 0xf900 && u <= 0xfaff) || (u >= 0xff00 && u <= 0xffef)
        || (u >= 0x3000 && u <= 0x303f);
}

void appendWithSeparator(QString &text, const QString &piece)
{
    if (piece.isEmpty())
        return;
    if (!text.isEmpty() && !(isCjk(text.back()) && isCjk(piece.front())))
        text += QLatin1Char(' ');
    text += piece;
}

QString TextLine::text() const
{
    QString out;
    for (const TextWord &word : words)
        appendWithSeparator(out, word.text);
    return out;
}

QString TextBlock::text() const
{
    QString out;
    for (const TextLine &line : lines) {
        const QString next = line.text();
        // A word broken at the end of a line ("exam-" + "ple") is joined again.
        if (out.size() >= 2 && out.back() == QLatin1Char('-') && out.at(out.size() - 2).isLetter()
            && !next.isEmpty() && next.front().isLower()) {
            out.chop(1);
            out += next;
            continue;
        }
        appendWithSeparator(out, next);
    }
    return out;
}

QString TextPage::plainText() const
{
    QStringList paragraphs;
    for (const TextBlock &block : blocks)
        paragraphs << block.text();
    return paragraphs.join(QLatin1Char('\n'));
}

namespace {

QString tessdataDir()
{
    const QString env = qEnvironmentVariable("TESSDATA_PREFIX");
    if (!env.isEmpty())
        return env;
    for (const char *dir : { "/usr/share/tesseract-ocr/5/tessdata",
             "/usr/share/tesseract-ocr/4.00/tessdata", "/usr/share/tessdata" }) {
        if (QFileInfo::exists(QString::fromLatin1(dir) + QStringLiteral("/eng.traineddata")))
            return QString::fromLatin1(dir);
    }
    return QString();
}

// Pictures carry no trustworthy resolution; without one Tesseract assumes
// 70 dpi and then drops short isolated words (a column of numbers) as noise.
// After prepare() letters are about 30 px high, which is ordinary print at 300 dpi.
constexpr int assumedResolution = 300;

struct MonitorData
{
    const EngineContext *context;
    bool cancelled;
};

bool cancelCallback(void *data, int)
{
    auto *monitor = static_cast<MonitorData *>(data);
    if (monitor->context->isCancelled())
        monitor->cancelled = true;
    return monitor->cancelled;
}

bool progressCallback(tesseract::ETEXT_DESC *desc, int, int, int, int)
{
    auto *monitor = static_cast<MonitorData *>(desc->cancel_this);
    if (monitor)
        monitor->context->report(desc->progress);
    return true;
}

QString utf8Text(char *raw)
{
    const QString text = QString::fromUtf8(raw).trimmed();
    delete[] raw;
    return text;
}

} // namespace

QString KTextRecognizer::defaultLanguages()
{
    const QString dir = tessdataDir();
    if (!dir.isEmpty() && QFileInfo::exists(dir + QStringLiteral("/chi_sim.traineddata")))
        return QStringLiteral("eng+chi_sim");
    return QStringLiteral("eng");
}

KTextRecognizer::KTextRecognizer(const QString &languages)
    : m_languages(languages.isEmpty() ? defaultLanguages() : languages)
{
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    const QByteArray dir = tessdataDir().toLocal8Bit();
    if (api->Init(dir.isEmpty() ? nullptr : dir.constData(), m_languages.toLatin1().constData(),
            tesseract::OEM_LSTM_ONLY)
        != 0) {
        m_error
            = QStringLiteral("Tesseract cannot start with the languages \"%1\"").arg(m_languages);
        return;
    }
    // Tesseract's own diagnostics would go to the service's standard error.
    api->SetVariable("debug_file", "/dev/null");
    m_api = std::move(api);
}

KTextRecognizer::~KTextRecognizer()
{
    if (m_api)
        m_api->End();
}

int KTextRecognizer::estimateTextHeight(const cv::Mat &gray)
{
    if (gray.empty())
        return 0;
    cv::Mat ink;
    cv::threshold(gray, ink, 0, 255, cv::THRESH_BINARY_INV | cv::THRESH_OTSU);
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(ink, labels, stats, centroids, 8, CV_32S);
    std::vector<int> heights;
    for (int i = 1; i < count; ++i) {
        const int w = stats.at<int>(i, cv::CC_STAT_WIDTH);
        const int h = stats.at<int>(i, cv::CC_STAT_HEIGHT);
        const int area = stats.at<int>(i, cv::CC_STAT_AREA);
        // Letters: not specks, not rules or frames.
        if (h < 4 || area < 8 || w > 6 * h || h > 6 * w || h > gray.rows / 2)
            continue;
        heights.push_back(h);
    }
    if (heights.empty())
        return 0;
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    return heights[heights.size() / 2];
}

cv::Mat KTextRecognizer::prepare(const cv::Mat &gray, double *scale, int *border) const
{
    // Letters read best at roughly 30 px; small print is enlarged (never
    // shrunk) within a pixel budget, and a white border keeps text off the edge.
    const int height = estimateTextHeight(gray);
    double s = 1.0;
    if (height > 0 && height < 24)
        s = std::min(3.0, 30.0 / height);
    const double budget = 40e6;
    if (double(gray.cols) * gray.rows * s * s > budget)
        s = std::max(1.0, std::sqrt(budget / (double(gray.cols) * gray.rows)));
    cv::Mat scaled;
    if (s > 1.01)
        cv::resize(gray, scaled, cv::Size(), s, s, cv::INTER_CUBIC);
    else {
        scaled = gray;
        s = 1.0;
    }
    const int pad = 16;
    cv::Mat padded;
    cv::copyMakeBorder(scaled, padded, pad, pad, pad, pad, cv::BORDER_CONSTANT, cv::Scalar(255));
    *scale = s;
    *border = pad;
    return padded;
}

TextPage KTextRecognizer::recognizePage(
    const cv::Mat &gray, const EngineContext &context, bool *cancelled)
{
    TextPage page;
    *cancelled = false;
    if (!m_api || gray.empty())
        return page;
    double scale = 1;
    int border = 0;
    const cv::Mat prepared = prepare(gray, &scale, &border);
    m_api->SetPageSegMode(tesseract::PSM_AUTO);
    m_api->SetImage(prepared.data, prepared.cols, prepared.rows, 1, int(prepared.step));
    m_api->SetSourceResolution(assumedResolution);
    MonitorData data { &context, false };
    tesseract::ETEXT_DESC monitor;
    monitor.cancel = cancelCallback;
    monitor.cancel_this = &data;
    monitor.progress_callback2 = progressCallback;
    m_api->Recognize(&monitor);
    if (data.cancelled) {
        *cancelled = true;
        m_api->Clear();
        return page;
    }
    const auto mapBack = [&](int x1, int y1, int x2, int y2) {
        const QRect r(QPoint(int((x1 - border) / scale), int((y1 - border) / scale)),
            QPoint(int((x2 - border) / scale) - 1, int((y2 - border) / scale) - 1));
        return r.intersected(QRect(0, 0, gray.cols, gray.rows));
    };
    std::unique_ptr<tesseract::ResultIterator> it(m_api->GetIterator());
    if (it) {
        do {
            if (it->Empty(tesseract::RIL_WORD))
                continue;
            if (page.blocks.isEmpty() || it->IsAtBeginningOf(tesseract::RIL_PARA))
                page.blocks.append(TextBlock());
            TextBlock &block = page.blocks.last();
            if (block.lines.isEmpty() || it->IsAtBeginningOf(tesseract::RIL_TEXTLINE))
                block.lines.append(TextLine());
            TextLine &line = block.lines.last();
            TextWord word;
            word.text = utf8Text(it->GetUTF8Text(tesseract::RIL_WORD));
            word.confidence = it->Confidence(tesseract::RIL_WORD);
            int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
            it->BoundingBox(tesseract::RIL_WORD, &x1, &y1, &x2, &y2);
            word.box = mapBack(x1, y1, x2, y2);
            if (word.text.isEmpty())
                continue;
            line.box |= word.box;
            block.box |= word.box;
            line.words.append(word);
        } while (it->Next(tesseract::RIL_WORD));
    }
    m_api->Clear();
    // A paragraph start with no words after it leaves empty records behind.
    for (TextBlock &block : page.blocks)
        block.lines.erase(std::remove_if(block.lines.begin(), block.lines.end(),
                              [](const TextLine &l) { return l.words.isEmpty(); }),
            block.lines.end());
    page.blocks.erase(std::remove_if(page.blocks.begin(), page.blocks.end(),
                          [](const TextBlock &b) { return b.lines.isEmpty(); }),
        page.blocks.end());
    return page;
}

QString KTextRecognizer::recognizeBlock(const cv::Mat &gray)
{
    if (!m_api || gray.empty())
        return QString();
    double scale = 1;
    int border = 0;
    const cv::Mat prepared = prepare(gray, &scale, &border);
    m_api->SetPageSegMode(tesseract::PSM_SINGLE_BLOCK);
    m_api->SetImage(prepared.data, prepared.cols, prepared.rows, 1, int(prepared.step));
    m_api->SetSourceResolution(assumedResolution);
    QString text;
    if (m_api->Recognize(nullptr) == 0) {
        std::unique_ptr<tesseract::ResultIterator> it(m_api->GetIterator());
        if (it) {
            QString line;
            do {
                if (it->Empty(tesseract::RIL_WORD))
                    continue;
                if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE) && !line.isEmpty()) {
                    text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + line;
                    line.clear();
                }
                appendWithSeparator(line, utf8Text(it->GetUTF8Text(tesseract::RIL_WORD)));
            } while (it->Next(tesseract::RIL_WORD));
            if (!line.isEmpty())
                text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + line;
        }
    }
    m_api->Clear();
    return text;
}

} // namespace engines
