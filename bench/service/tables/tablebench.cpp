// Table recognition benchmark: renders ruled tables of several sizes, fonts
// and merge patterns (clean and scan-like), recognises them with the service
// engines and prints the exact grid rate and the cell-text accuracy.
//
//   tablebench [--languages eng+chi_sim] [--limit N] [--save DIR] [--grid-only]
// --grid-only measures the grid detection alone (no text recognition).
#include <algorithm>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMap>
#include <QPainter>
#include <QRandomGenerator>
#include <QTextStream>

#include "EnginePictures.h"
#include "Engines.h"
#include "KTableDetector.h"

using namespace engines;

namespace {

struct Span
{
    int row, column, rowSpan, columnSpan;
};

struct TableCase
{
    int rows, columns;
    QString pattern;
    QString font;
    int pixelSize;
    bool scan;
    double tilt; // degrees, for the photographed variant
    QVector<Span> cells;
    QMap<QPair<int, int>, QString> texts;
};

const QStringList words { "Apple", "Order", "Total", "Amount", "Date", "Name", "Region", "North",
    "South", "Paid", "Open", "Invoice", "Stock", "Price", "Monday", "Budget", "Green", "Silver",
    "Report", "Office", "Travel", "Service", "Plan", "Notes", "Q3", "Week", "Status", "Done" };

QVector<Span> layout(int rows, int cols, const QString &pattern)
{
    QVector<QVector<bool>> taken(rows, QVector<bool>(cols, false));
    QVector<Span> spans;
    const auto place = [&](int r, int c, int rs, int cs) {
        for (int i = r; i < r + rs; ++i)
            for (int j = c; j < c + cs; ++j)
                taken[i][j] = true;
        spans.append({ r, c, rs, cs });
    };
    if ((pattern == "header" || pattern == "mixed") && cols >= 3)
        place(0, 0, 1, 2);
    if ((pattern == "rowspan" || pattern == "mixed") && rows >= 3)
        place(1, 0, 2, 1);
    if (pattern == "block" && rows >= 3 && cols >= 3)
        place(1, 1, 2, 2);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            if (!taken[r][c])
                place(r, c, 1, 1);
    std::sort(spans.begin(), spans.end(), [](const Span &a, const Span &b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    return spans;
}

QImage render(const TableCase &table, QRandomGenerator &random)
{
    QFont font(table.font);
    font.setPixelSize(table.pixelSize);
    const QFontMetrics metrics(font);
    QVector<int> widths(table.columns, 0);
    for (const Span &s : table.cells)
        if (s.columnSpan == 1)
            widths[s.column] = qMax(
                widths[s.column], metrics.horizontalAdvance(table.texts[{ s.row, s.column }]));
    for (int &w : widths)
        w += 2 * table.pixelSize;
    const int rowHeight = table.pixelSize * 2 + 6;
    const int margin = 24;
    QVector<int> xs { margin };
    for (int w : widths)
        xs << xs.last() + w;
    QImage image(xs.last() + margin, table.rows * rowHeight + 2 * margin, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    QPen pen(Qt::black);
    pen.setWidth(table.scan ? 1 : 2);
    painter.setPen(pen);
    for (const Span &s : table.cells) {
        const QRect box(QPoint(xs[s.column], margin + s.row * rowHeight),
            QPoint(xs[s.column + s.columnSpan], margin + (s.row + s.rowSpan) * rowHeight));
        painter.drawRect(box);
        painter.drawText(box.adjusted(table.pixelSize / 2, 0, 0, 0),
            Qt::AlignVCenter | Qt::AlignLeft, table.texts[{ s.row, s.column }]);
    }
    painter.end();
    if (table.tilt != 0) {
        QImage turned(image.size(), QImage::Format_RGB32);
        turned.fill(Qt::white);
        QPainter p(&turned);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.translate(image.width() / 2.0, image.height() / 2.0);
        p.rotate(table.tilt);
        p.translate(-image.width() / 2.0, -image.height() / 2.0);
        p.drawImage(0, 0, image);
        p.end();
        image = turned;
    }
    if (table.scan) {
        // Grey paper, uneven light and noise, as from a phone or a cheap scanner.
        for (int y = 0; y < image.height(); ++y) {
            QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int shade = 30 * x / image.width();
                const int v = qBound(
                    0, qGray(line[x]) * 85 / 100 + 20 - shade + int(random.bounded(17)) - 8, 255);
                line[x] = qRgb(v, v, v);
            }
        }
    }
    return image;
}

QByteArray encode(const QImage &image, bool scan)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, scan ? "JPEG" : "PNG", scan ? 80 : -1);
    return bytes;
}

int editDistance(const QString &a, const QString &b)
{
    QVector<int> previous(b.size() + 1), current(b.size() + 1);
    for (int j = 0; j <= b.size(); ++j)
        previous[j] = j;
    for (int i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (int j = 1; j <= b.size(); ++j)
            current[j] = std::min({ previous[j] + 1, current[j - 1] + 1,
                previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1) });
        std::swap(previous, current);
    }
    return previous[b.size()];
}

// Grid detection alone, with the same straightening the engines apply.
TableGrid gridOf(const QByteArray &bytes)
{
    cv::Mat gray = toGrayMat(decodeImage(bytes).image);
    const double tilt = KTableDetector::estimateSkew(gray);
    if (std::abs(tilt) >= 0.15)
        gray = KTableDetector::deskew(gray, tilt);
    return KTableDetector::detect(gray);
}

struct Tally
{
    int tables = 0, exactGrids = 0, cells = 0, exactCells = 0, chars = 0, errors = 0;
    double seconds = 0;
    void add(const Tally &o)
    {
        tables += o.tables;
        exactGrids += o.exactGrids;
        cells += o.cells;
        exactCells += o.exactCells;
        chars += o.chars;
        errors += o.errors;
        seconds += o.seconds;
    }
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QString languages;
    QString saveDir;
    int limit = 1 << 30;
    const QStringList args = app.arguments();
    const bool gridOnly = args.contains(QStringLiteral("--grid-only"));
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--languages")
            languages = args[i + 1];
        else if (args[i] == "--limit")
            limit = args[i + 1].toInt();
        else if (args[i] == "--save")
            saveDir = args[i + 1];
    }
    QTextStream out(stdout);
    QRandomGenerator random(20261210);
    const QVector<QPair<int, int>> sizes { { 2, 2 }, { 3, 4 }, { 5, 3 }, { 6, 5 }, { 8, 6 } };
    const QStringList patterns { "none", "header", "rowspan", "block", "mixed" };
    const QStringList fonts { "DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono",
        "WenQuanYi Micro Hei" };
    QMap<QString, Tally> byGroup;
    Tally all;
    int index = 0;
    for (const auto &size : sizes) {
        for (const QString &pattern : patterns) {
            // Variants: clean PNG, scan-like JPEG, and scan-like tilted by 0.5 degrees.
            for (int variant = 0; variant < 3 && index < limit; ++variant, ++index) {
                TableCase table;
                table.rows = size.first;
                table.columns = size.second;
                table.pattern = pattern;
                table.font = fonts[(index / 3 + variant) % fonts.size()];
                table.pixelSize = 16 + 2 * int(random.bounded(6));
                table.scan = variant >= 1;
                table.tilt = variant == 2 ? 0.5 : 0.0;
                table.cells = layout(table.rows, table.columns, pattern);
                for (const Span &s : table.cells) {
                    QString text = words[int(random.bounded(words.size()))];
                    if (random.bounded(3) == 0)
                        text += ' ' + QString::number(random.bounded(1000));
                    table.texts[{ s.row, s.column }] = text;
                }
                const QImage image = render(table, random);
                const QByteArray bytes = encode(image, table.scan);
                if (!saveDir.isEmpty()) {
                    QDir().mkpath(saveDir);
                    image.save(QStringLiteral("%1/table%2.png")
                                   .arg(saveDir)
                                   .arg(index, 3, 10, QLatin1Char('0')));
                }
                EngineContext context;
                context.languages = languages;
                EngineResult failure;
                QElapsedTimer timer;
                timer.start();
                const TableGrid grid
                    = gridOnly ? gridOf(bytes) : recognizeTable(bytes, context, &failure);
                Tally t;
                t.tables = 1;
                t.seconds = timer.elapsed() / 1000.0;
                bool exact = grid.ruled && grid.rows() == table.rows
                    && grid.columns() == table.columns && grid.cells.size() == table.cells.size();
                for (int i = 0; exact && i < table.cells.size(); ++i) {
                    const TableCell &c = grid.cells[i];
                    const Span &s = table.cells[i];
                    exact = c.row == s.row && c.column == s.column && c.rowSpan == s.rowSpan
                        && c.columnSpan == s.columnSpan;
                }
                t.exactGrids = exact ? 1 : 0;
                for (const Span &s : table.cells) {
                    const QString expected = table.texts[{ s.row, s.column }];
                    QString found;
                    if (exact && !gridOnly) {
                        if (const TableCell *c = grid.cellAt(s.row, s.column))
                            found = c->text.simplified();
                    }
                    ++t.cells;
                    t.exactCells += found == expected ? 1 : 0;
                    t.chars += expected.size();
                    t.errors += qMin(editDistance(found, expected), int(expected.size()));
                }
                const QString kind = table.tilt != 0 ? QStringLiteral("tilted")
                    : table.scan                     ? QStringLiteral("scan")
                                                     : QStringLiteral("clean");
                const QString group = QStringLiteral("%1 / %2").arg(kind, table.font);
                byGroup[kind].add(t);
                byGroup[group].add(t);
                byGroup[QStringLiteral("pattern %1").arg(pattern)].add(t);
                all.add(t);
                out << QStringLiteral("%1 %2x%3 %4 %5px %6: grid %7, cells %8/%9, %10 s\n")
                           .arg(index, 3)
                           .arg(table.rows)
                           .arg(table.columns)
                           .arg(pattern, -7)
                           .arg(table.pixelSize)
                           .arg(group)
                           .arg(exact ? "exact"
                                      : (grid.ruled ? QStringLiteral("%1x%2")
                                                          .arg(grid.rows())
                                                          .arg(grid.columns())
                                                    : QStringLiteral("none")))
                           .arg(t.exactCells)
                           .arg(t.cells)
                           .arg(t.seconds, 0, 'f', 2);
                out.flush();
            }
        }
    }
    out << "\n| group | tables | exact grid | cells exact | char accuracy | s/table "
           "|\n|---|---|---|---|---|---|\n";
    byGroup.insert(QStringLiteral("all"), all);
    for (auto it = byGroup.cbegin(); it != byGroup.cend(); ++it) {
        const Tally &t = it.value();
        out << QStringLiteral("| %1 | %2 | %3 % | %4 % | %5 % | %6 |\n")
                   .arg(it.key())
                   .arg(t.tables)
                   .arg(100.0 * t.exactGrids / qMax(1, t.tables), 0, 'f', 1)
                   .arg(100.0 * t.exactCells / qMax(1, t.cells), 0, 'f', 1)
                   .arg(100.0 * (1.0 - double(t.errors) / qMax(1, t.chars)), 0, 'f', 1)
                   .arg(t.seconds / qMax(1, t.tables), 0, 'f', 2);
    }
    return 0;
}
