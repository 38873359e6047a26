#include "Engines.h"

#include <algorithm>
#include <map>

#include <opencv2/imgproc.hpp>

#include <QPainter>
#include <QPen>

#include "EnginePictures.h"
#include "KColorizer.h"
#include "KDocxWriter.h"
#include "KStretchRestorer.h"
#include "KTextRecognizer.h"
#include "KXlsxWriter.h"

namespace engines {

namespace {

// A context whose progress 0..100 lands in from..to of the outer one.
EngineContext subRange(const EngineContext &outer, int from, int to)
{
    EngineContext inner = outer;
    const std::function<void(int)> report = outer.progress;
    inner.progress = [report, from, to](int p) {
        if (report)
            report(from + (to - from) * qBound(0, p, 100) / 100);
    };
    return inner;
}

EngineResult cancelledResult()
{
    return EngineResult::failed(EngineFailure::Cancelled, QStringLiteral("the job was cancelled"));
}

bool decodeOrFail(const QByteArray &bytes, DecodedImage *decoded, EngineResult *failure)
{
    *decoded = decodeImage(bytes);
    if (decoded->image.isNull()) {
        *failure = EngineResult::failed(EngineFailure::BadInput, decoded->error);
        return false;
    }
    return true;
}

bool startRecognizer(const EngineContext &context, std::unique_ptr<KTextRecognizer> *recognizer,
    EngineResult *failure)
{
    *recognizer = std::make_unique<KTextRecognizer>(context.languages);
    if (!(*recognizer)->isReady()) {
        *failure = EngineResult::failed(
            EngineFailure::RecognizerUnavailable, (*recognizer)->errorString());
        return false;
    }
    return true;
}

// Recognises the page of a decoded picture; false with failure set.
bool recognizePage(
    const QImage &image, const EngineContext &context, TextPage *page, EngineResult *failure)
{
    std::unique_ptr<KTextRecognizer> recognizer;
    if (!startRecognizer(context, &recognizer, failure))
        return false;
    context.report(10);
    bool cancelled = false;
    *page = recognizer->recognizePage(toGrayMat(image), subRange(context, 10, 85), &cancelled);
    if (cancelled || context.isCancelled()) {
        *failure = cancelledResult();
        return false;
    }
    return true;
}

// Decodes the upload and recognises its page; false with failure set.
bool readPage(
    const QByteArray &bytes, const EngineContext &context, TextPage *page, EngineResult *failure)
{
    context.report(1);
    DecodedImage decoded;
    return decodeOrFail(bytes, &decoded, failure)
        && recognizePage(decoded.image, context, page, failure);
}

EngineResult documentResult(const QByteArray &data, const QString &suffix, const QString &error)
{
    if (data.isEmpty())
        return EngineResult::failed(EngineFailure::OutputFailed,
            QStringLiteral("the %1 file could not be written: %2").arg(suffix, error));
    EngineResult result;
    result.data = data;
    result.suffix = suffix;
    return result;
}

struct SheetCell
{
    int left;
    QString text;
};

// Lines of the page grouped into visual rows (lines of different blocks side
// by side share a row), each row's words split into cells at wide gaps.
QVector<QVector<SheetCell>> sheetRows(const TextPage &page)
{
    QVector<TextLine> lines;
    for (const TextBlock &block : page.blocks)
        for (const TextLine &line : block.lines)
            lines.append(line);
    std::stable_sort(lines.begin(), lines.end(), [](const TextLine &a, const TextLine &b) {
        return a.box.center().y() < b.box.center().y();
    });
    QVector<QVector<TextLine>> rows;
    for (const TextLine &line : lines) {
        if (!rows.isEmpty()) {
            const QRect first = rows.last().first().box;
            const int overlap
                = qMin(first.bottom(), line.box.bottom()) - qMax(first.top(), line.box.top());
            if (overlap > qMin(first.height(), line.box.height()) / 2) {
                rows.last().append(line);
                continue;
            }
        }
        rows.append({ line });
    }
    QVector<QVector<SheetCell>> out;
    for (QVector<TextLine> &row : rows) {
        std::sort(row.begin(), row.end(),
            [](const TextLine &a, const TextLine &b) { return a.box.left() < b.box.left(); });
        QVector<SheetCell> cells;
        for (const TextLine &line : row) {
            int wordHeight = 0;
            for (const TextWord &word : line.words)
                wordHeight = qMax(wordHeight, word.box.height());
            // Blanks between words are about a third of the letter height;
            // a gap of more than the letter height separates columns.
            const int wideGap = qMax(8, wordHeight);
            int previousRight = -1;
            bool newCell = true;
            for (const TextWord &word : line.words) {
                if (previousRight >= 0 && word.box.left() - previousRight > wideGap)
                    newCell = true;
                if (newCell) {
                    cells.append({ word.box.left(), QString() });
                    newCell = false;
                }
                appendWithSeparator(cells.last().text, word.text);
                previousRight = word.box.right();
            }
        }
        out.append(cells);
    }
    return out;
}

// Column index per cell: left edges that lie close together across rows form
// one column, so a column of a borderless table stays one column.
QVector<QStringList> alignColumns(const QVector<QVector<SheetCell>> &rows, int tolerance)
{
    std::vector<int> lefts;
    for (const auto &row : rows)
        for (const SheetCell &cell : row)
            lefts.push_back(cell.left);
    std::sort(lefts.begin(), lefts.end());
    std::vector<int> starts; // first left edge of each column cluster
    for (int left : lefts) {
        if (starts.empty() || left - starts.back() > tolerance)
            starts.push_back(left);
    }
    QVector<QStringList> table;
    for (const auto &row : rows) {
        QStringList cells;
        for (const SheetCell &cell : row) {
            int column
                = int(std::upper_bound(starts.begin(), starts.end(), cell.left) - starts.begin())
                - 1;
            column = qMax(column, cells.size()); // never over an earlier cell of the row
            while (cells.size() < column)
                cells << QString();
            cells << cell.text;
        }
        table.append(cells);
    }
    return table;
}

QByteArray drawPreview(
    const QImage &source, const TableGrid &grid, const QByteArray &format, QString *suffix)
{
    QImage preview = source.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&preview);
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(QColor(0xE5, 0x39, 0x35));
    pen.setWidth(qMax(2, qMax(source.width(), source.height()) / 600));
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    for (const TableCell &cell : grid.cells)
        painter.drawRect(cell.box.adjusted(0, 0, -1, -1));
    painter.end();
    // Scans and rendered pages stay PNG; photographs travel as JPEG.
    if (format == "jpeg") {
        *suffix = QStringLiteral("jpg");
        return encodeLike(preview, "jpeg", nullptr);
    }
    *suffix = QStringLiteral("png");
    return encodePng(preview);
}

// Tilts below this many degrees are left alone: they move a rule by less than
// its tolerance across an ordinary table.
constexpr double smallestCorrectedTilt = 0.15;

// Recognises the table of image; a tilted picture is turned straight first
// and image then holds the straightened picture the grid refers to.
TableGrid recognizeTableImage(QImage *image, const EngineContext &context, EngineResult *failure)
{
    std::unique_ptr<KTextRecognizer> recognizer;
    if (!startRecognizer(context, &recognizer, failure))
        return TableGrid();
    cv::Mat gray = toGrayMat(*image);
    const double tilt = KTableDetector::estimateSkew(gray);
    if (std::abs(tilt) >= smallestCorrectedTilt) {
        gray = KTableDetector::deskew(gray, tilt);
        *image = fromMat(KTableDetector::deskew(toBgrMat(*image), tilt));
    }
    context.report(10);
    TableGrid grid = KTableDetector::detect(gray);
    if (context.isCancelled()) {
        *failure = cancelledResult();
        return TableGrid();
    }
    context.report(20);
    if (!grid.ruled) {
        // No table: one cell holds all the text of the picture.
        bool cancelled = false;
        const TextPage page
            = recognizer->recognizePage(gray, subRange(context, 20, 90), &cancelled);
        if (cancelled) {
            *failure = cancelledResult();
            return TableGrid();
        }
        TableCell cell;
        cell.box = QRect(0, 0, image->width(), image->height());
        cell.text = page.plainText();
        grid.rowEdges = { 0, image->height() };
        grid.columnEdges = { 0, image->width() };
        grid.cells = { cell };
        return grid;
    }
    // The detected rules are whitened first so that no stroke of them reaches
    // a cell's text. Only the bands around the rules are touched: the masks
    // also hold the stems of tall letters elsewhere.
    cv::Mat horizontal, vertical;
    KTableDetector::ruleMasks(gray, &horizontal, &vertical);
    cv::Mat rules = cv::Mat::zeros(gray.size(), CV_8U);
    const int band = grid.ruleTolerance + 2;
    for (int y : grid.rowEdges) {
        const cv::Range rows(qMax(0, y - band), qMin(gray.rows, y + band + 1));
        horizontal.rowRange(rows).copyTo(rules.rowRange(rows));
    }
    for (int x : grid.columnEdges) {
        const cv::Range cols(qMax(0, x - band), qMin(gray.cols, x + band + 1));
        cv::Mat target = rules.colRange(cols);
        target |= vertical.colRange(cols);
    }
    cv::dilate(rules, rules, cv::getStructuringElement(cv::MORPH_RECT, { 3, 3 }));
    cv::Mat clean = gray.clone();
    clean.setTo(255, rules);
    const int inset = 3;
    for (int i = 0; i < grid.cells.size(); ++i) {
        if (context.isCancelled()) {
            *failure = cancelledResult();
            return TableGrid();
        }
        TableCell &cell = grid.cells[i];
        const QRect inner = cell.box.adjusted(inset, inset, -inset, -inset)
                                .intersected(QRect(0, 0, gray.cols, gray.rows));
        if (inner.width() < 4 || inner.height() < 4)
            continue;
        const cv::Mat crop = clean(cv::Rect(inner.x(), inner.y(), inner.width(), inner.height()));
        cv::Mat dark;
        cv::threshold(crop, dark, 128, 255, cv::THRESH_BINARY_INV);
        if (cv::countNonZero(dark) >= 12)
            cell.text = recognizer->recognizeBlock(crop);
        context.report(20 + 70 * (i + 1) / grid.cells.size());
    }
    return grid;
}

EngineResult tableProduct(const QByteArray &bytes, const EngineContext &context, bool word)
{
    context.report(1);
    DecodedImage decoded;
    EngineResult failure;
    if (!decodeOrFail(bytes, &decoded, &failure))
        return failure;
    const TableGrid grid = recognizeTableImage(&decoded.image, context, &failure);
    if (!failure.ok())
        return failure;
    QString error;
    QByteArray data;
    if (word) {
        KDocxWriter writer;
        writer.addTable(grid);
        data = writer.toDocx(&error);
    } else {
        KXlsxWriter writer;
        writer.setTable(grid);
        data = writer.toXlsx(&error);
    }
    EngineResult result
        = documentResult(data, word ? QStringLiteral("docx") : QStringLiteral("xlsx"), error);
    if (!result.ok())
        return result;
    QString previewSuffix;
    result.preview = drawPreview(decoded.image, grid, decoded.format, &previewSuffix);
    result.previewSuffix = previewSuffix;
    if (result.preview.isEmpty())
        return EngineResult::failed(
            EngineFailure::OutputFailed, QStringLiteral("the preview image could not be written"));
    context.report(100);
    return result;
}

} // namespace

EngineResult pic2word(const QByteArray &image, const EngineContext &context)
{
    TextPage page;
    EngineResult failure;
    if (!readPage(image, context, &page, &failure))
        return failure;
    KDocxWriter writer;
    for (const TextBlock &block : page.blocks)
        writer.addParagraph(block.text());
    QString error;
    EngineResult result = documentResult(writer.toDocx(&error), QStringLiteral("docx"), error);
    context.report(100);
    return result;
}

EngineResult pic2xlsx(const QByteArray &image, const EngineContext &context)
{
    TextPage page;
    EngineResult failure;
    if (!readPage(image, context, &page, &failure))
        return failure;
    std::vector<int> heights;
    for (const TextBlock &block : page.blocks)
        for (const TextLine &line : block.lines)
            heights.push_back(line.box.height());
    std::sort(heights.begin(), heights.end());
    const int lineHeight = heights.empty() ? 20 : heights[heights.size() / 2];
    KXlsxWriter writer;
    for (const QStringList &row : alignColumns(sheetRows(page), lineHeight))
        writer.addRow(row);
    QString error;
    EngineResult result = documentResult(writer.toXlsx(&error), QStringLiteral("xlsx"), error);
    context.report(100);
    return result;
}

EngineResult table2word(const QByteArray &image, const EngineContext &context)
{
    return tableProduct(image, context, true);
}

EngineResult table2xls(const QByteArray &image, const EngineContext &context)
{
    return tableProduct(image, context, false);
}

TableGrid recognizeTable(
    const QByteArray &image, const EngineContext &context, EngineResult *failure)
{
    DecodedImage decoded;
    *failure = EngineResult();
    if (!decodeOrFail(image, &decoded, failure))
        return TableGrid();
    return recognizeTableImage(&decoded.image, context, failure);
}

EngineResult piccolor(const QByteArray &image, const EngineContext &context)
{
    context.report(1);
    KColorizer colorizer;
    if (!colorizer.load(context.modelsDir))
        return EngineResult::failed(colorizer.failure(), colorizer.errorString());
    context.report(20);
    DecodedImage decoded;
    EngineResult failure;
    if (!decodeOrFail(image, &decoded, &failure))
        return failure;
    if (qint64(decoded.image.width()) * decoded.image.height() > 40 * 1000 * 1000)
        return EngineResult::failed(
            EngineFailure::BadInput, QStringLiteral("the picture is too large to colour"));
    if (context.isCancelled())
        return cancelledResult();
    context.report(30);
    const QImage coloured = colorizer.colorize(decoded.image);
    if (coloured.isNull())
        return EngineResult::failed(colorizer.failure(), colorizer.errorString());
    if (context.isCancelled())
        return cancelledResult();
    context.report(90);
    EngineResult result;
    result.data = encodeLike(coloured, decoded.format, &result.suffix);
    if (result.data.isEmpty())
        return EngineResult::failed(EngineFailure::OutputFailed,
            QStringLiteral("the coloured picture could not be encoded"));
    context.report(100);
    return result;
}

EngineResult picstretchstore(const QByteArray &image, const EngineContext &context)
{
    context.report(1);
    DecodedImage decoded;
    EngineResult failure;
    if (!decodeOrFail(image, &decoded, &failure))
        return failure;
    QSize recorded = KStretchRestorer::exifPixelDimensions(image);
    if (decoded.orientationSwapsAxes)
        recorded.transpose();
    const StretchEstimate estimate = KStretchRestorer::estimate(decoded.image.size(), recorded);
    context.report(20);
    EngineResult result;
    if (!estimate.target.isValid()) {
        // Nothing to undo: the picture goes back as it came.
        result.data = image;
        encodeLike(QImage(1, 1, QImage::Format_RGB32), decoded.format, &result.suffix);
        result.notice = estimate.notice;
        result.noticeText = estimate.noticeText;
        context.report(100);
        return result;
    }
    if (context.isCancelled())
        return cancelledResult();
    const QImage restored = KStretchRestorer::resample(decoded.image, estimate.target);
    if (context.isCancelled())
        return cancelledResult();
    context.report(80);
    result.data = encodeLike(restored, decoded.format, &result.suffix);
    if (result.data.isEmpty())
        return EngineResult::failed(EngineFailure::OutputFailed,
            QStringLiteral("the restored picture could not be encoded"));
    context.report(100);
    return result;
}

bool providesProduct(const QString &product)
{
    static const QStringList products { QStringLiteral("pic2word"), QStringLiteral("pic2xlsx"),
        QStringLiteral("table2word"), QStringLiteral("table2xls"), QStringLiteral("piccolor"),
        QStringLiteral("picstretchstore") };
    return products.contains(product);
}

EngineResult runProduct(
    const QString &product, const QByteArray &image, const EngineContext &context)
{
    if (product == QLatin1String("pic2word"))
        return pic2word(image, context);
    if (product == QLatin1String("pic2xlsx"))
        return pic2xlsx(image, context);
    if (product == QLatin1String("table2word"))
        return table2word(image, context);
    if (product == QLatin1String("table2xls"))
        return table2xls(image, context);
    if (product == QLatin1String("piccolor"))
        return piccolor(image, context);
    if (product == QLatin1String("picstretchstore"))
        return picstretchstore(image, context);
    return EngineResult::failed(
        EngineFailure::BadInput, QStringLiteral("no engine for the product \"%1\"").arg(product));
}

} // namespace engines
