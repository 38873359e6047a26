#pragma once

#include <memory>

#include <opencv2/core.hpp>

#include <QRect>
#include <QString>
#include <QVector>

#include "EngineTypes.h"

namespace tesseract {
class TessBaseAPI;
}

namespace engines {

struct TextWord
{
    QRect box;
    QString text;
    float confidence = 0;
};

struct TextLine
{
    QRect box;
    QVector<TextWord> words;
    QString text() const; // words joined by blanks, none between two CJK characters
};

// One paragraph as the layout analysis found it.
struct TextBlock
{
    QRect box;
    QVector<TextLine> lines;
    QString text() const; // lines joined by blanks, as one paragraph
};

struct TextPage
{
    QVector<TextBlock> blocks; // in reading order
    QString plainText() const; // blocks separated by line feeds
};

// A small wrapper around one Tesseract instance: page layout analysis with
// paragraph, line and word boxes in reading order, and single-block reading
// for table cells. Boxes are in the coordinates of the picture passed in.
// Not thread-safe: one instance per job, created and used on that job's thread.
class KTextRecognizer
{
public:
    // languages as Tesseract takes them ("eng+chi_sim"); empty picks English
    // plus Simplified Chinese when that data is installed.
    explicit KTextRecognizer(const QString &languages = QString());
    ~KTextRecognizer();
    KTextRecognizer(const KTextRecognizer &) = delete;
    KTextRecognizer &operator=(const KTextRecognizer &) = delete;

    bool isReady() const { return bool(m_api); }
    QString errorString() const { return m_error; }
    QString languages() const { return m_languages; }

    // Whole page. progress receives 0..100 of the recognition; a cancelled
    // context stops Tesseract early and cancelled is set.
    TextPage recognizePage(const cv::Mat &gray, const EngineContext &context, bool *cancelled);
    // One uniform block of text (a table cell); lines joined by line feeds.
    QString recognizeBlock(const cv::Mat &gray);

    // Median height of the letter-sized ink blobs of a grey picture, 0 if none;
    // used to bring small print to a size Tesseract reads well.
    static int estimateTextHeight(const cv::Mat &gray);
    // Default languages from what is installed.
    static QString defaultLanguages();

private:
    cv::Mat prepare(const cv::Mat &gray, double *scale, int *border) const;

    std::unique_ptr<tesseract::TessBaseAPI> m_api;
    QString m_languages;
    QString m_error;
};

// True for characters written without blanks between them (Han, kana, Hangul).
bool isCjk(QChar c);
// Appends piece to text with a blank unless both sides are CJK.
void appendWithSeparator(QString &text, const QString &piece);

} // namespace engines
