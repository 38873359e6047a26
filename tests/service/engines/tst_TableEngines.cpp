#include <QPainter>
#include <QtTest>

#include "EnginePictures.h"
#include "EngineTestUtils.h"
#include "Engines.h"
#include "KTableDetector.h"
#include "TestUtils.h"

using namespace engines;
using EngineTestUtils::Cell;
using EngineTestUtils::Table;

Q_DECLARE_METATYPE(EngineTestUtils::Table)

namespace {

// 3 rows x 4 columns, "Product" merged over the first two header columns.
Table mergedHeaderTable()
{
    Table t;
    t.rows = 3;
    t.columns = 4;
    t.cells = { { 0, 0, 1, 2, QStringLiteral("Product") }, { 0, 2, 1, 1, QStringLiteral("Price") },
        { 0, 3, 1, 1, QStringLiteral("Stock") }, { 1, 0, 1, 1, QStringLiteral("Apple") },
        { 1, 1, 1, 1, QStringLiteral("Red") }, { 1, 2, 1, 1, QStringLiteral("12") },
        { 1, 3, 1, 1, QStringLiteral("Yes") }, { 2, 0, 1, 1, QStringLiteral("Melon") },
        { 2, 1, 1, 1, QStringLiteral("Green") }, { 2, 2, 1, 1, QStringLiteral("30") },
        { 2, 3, 1, 1, QStringLiteral("No") } };
    return t;
}

Table fromGrid(const TableGrid &grid)
{
    Table t;
    t.rows = grid.rows();
    t.columns = grid.columns();
    for (const TableCell &c : grid.cells)
        t.cells.append({ c.row, c.column, c.rowSpan, c.columnSpan, c.text.trimmed() });
    return t;
}

QImage tilted(const QImage &image, double degrees)
{
    QImage turned(image.size(), QImage::Format_RGB32);
    turned.fill(Qt::white);
    QPainter painter(&turned);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(image.width() / 2.0, image.height() / 2.0);
    painter.rotate(degrees);
    painter.translate(-image.width() / 2.0, -image.height() / 2.0);
    painter.drawImage(0, 0, image);
    painter.end();
    return turned;
}

Table withTexts(Table t)
{
    const QStringList words { QStringLiteral("hold"), QStringLiteral("Bldg"), QStringLiteral("all"),
        QStringLiteral("fill"), QStringLiteral("delta") };
    for (int i = 0; i < t.cells.size(); ++i)
        if (t.cells[i].text.isEmpty())
            t.cells[i].text = words[i % words.size()];
    return t;
}

Table withoutTexts(Table t)
{
    for (Cell &c : t.cells)
        c.text.clear();
    return t;
}

} // namespace

// Table recognition: ruled grids with merged cells, the fallback for pictures
// without a table, and the documents and preview built from them.
class tst_TableEngines : public QObject
{
    Q_OBJECT

private slots:
    void detectsGridAndSpans_data();
    void detectsGridAndSpans();
    void faintRulesWithSoftText();
    void sameTableInWordAndExcel_data();
    void sameTableInWordAndExcel();
    void unruledPictureIsOneCell();
    void badInputFailsWithReason_data();
    void badInputFailsWithReason();
    void cancelStopsRecognition();
};

void tst_TableEngines::detectsGridAndSpans_data()
{
    // Grid detection alone (no text recognition): the merge patterns a
    // rule-based detector gets wrong when it trusts whole-length rules.
    // Every cell holds words with tall letters: their stems and the runs along
    // their baselines are the straight ink a rule detector must not take.
    QTest::addColumn<Table>("table");
    QTest::addColumn<QColor>("rule");
    QTest::addColumn<int>("ruleWidth");
    QTest::addColumn<int>("pixelSize");
    QTest::newRow("merged header")
        << withTexts(mergedHeaderTable()) << QColor(Qt::black) << 2 << 20;
    QTest::newRow("thin light-grey rules, small text")
        << withTexts(mergedHeaderTable()) << QColor(0xBB, 0xBB, 0xBB) << 1 << 16;
    Table rowSpan;
    rowSpan.rows = 3;
    rowSpan.columns = 3;
    rowSpan.cells = { { 0, 0, 3, 1, {} }, { 0, 1, 1, 1, {} }, { 0, 2, 1, 1, {} },
        { 1, 1, 1, 1, {} }, { 1, 2, 1, 1, {} }, { 2, 1, 1, 1, {} }, { 2, 2, 1, 1, {} } };
    QTest::newRow("first column spans all rows")
        << withTexts(rowSpan) << QColor(Qt::black) << 2 << 20;
    Table block;
    block.rows = 3;
    block.columns = 3;
    block.cells = { { 0, 0, 1, 1, {} }, { 0, 1, 1, 1, {} }, { 0, 2, 1, 1, {} }, { 1, 0, 1, 1, {} },
        { 1, 1, 2, 2, {} }, { 2, 0, 1, 1, {} } };
    QTest::newRow("2x2 block in a corner") << withTexts(block) << QColor(Qt::black) << 2 << 20;
    Table plain;
    plain.rows = 2;
    plain.columns = 2;
    plain.cells
        = { { 0, 0, 1, 1, {} }, { 0, 1, 1, 1, {} }, { 1, 0, 1, 1, {} }, { 1, 1, 1, 1, {} } };
    QTest::newRow("2x2 without merges") << withTexts(plain) << QColor(Qt::black) << 2 << 20;
}

void tst_TableEngines::detectsGridAndSpans()
{
    QFETCH(Table, table);
    QFETCH(QColor, rule);
    QFETCH(int, ruleWidth);
    QFETCH(int, pixelSize);
    const QImage image = EngineTestUtils::renderTable(
        table, 120, 48, pixelSize, QStringLiteral("DejaVu Sans"), rule, ruleWidth);
    const TableGrid grid = KTableDetector::detect(toGrayMat(image));
    QVERIFY(grid.ruled);
    QCOMPARE(
        EngineTestUtils::describe(fromGrid(grid)), EngineTestUtils::describe(withoutTexts(table)));
}

void tst_TableEngines::faintRulesWithSoftText()
{
    // Drawn without font hinting, with faint 1 px rules: the grey edges of
    // neighbouring letters nearly join, and a detector that closes small gaps
    // before looking for straight ink takes word baselines and letter stems
    // for rules and splits the cells.
    const QImage image(
        TestUtils::dataDir() + QStringLiteral("/service/table-faint-rules-soft-text.png"));
    QVERIFY(!image.isNull());
    const TableGrid grid = KTableDetector::detect(toGrayMat(image));
    Table expected;
    expected.rows = 3;
    expected.columns = 3;
    expected.cells
        = { { 0, 0, 1, 1, {} }, { 0, 1, 1, 2, {} }, { 1, 0, 1, 1, {} }, { 1, 1, 1, 1, {} },
              { 1, 2, 1, 1, {} }, { 2, 0, 1, 1, {} }, { 2, 1, 1, 1, {} }, { 2, 2, 1, 1, {} } };
    QCOMPARE(EngineTestUtils::describe(fromGrid(grid)), EngineTestUtils::describe(expected));
}

void tst_TableEngines::sameTableInWordAndExcel_data()
{
    QTest::addColumn<bool>("word");
    QTest::addColumn<double>("tilt");
    QTest::newRow("docx") << true << 0.0;
    QTest::newRow("xlsx") << false << 0.0;
    // Rules of a photographed page are not straight with the pixel grid.
    QTest::newRow("xlsx, page tilted by 0.8 degrees") << false << 0.8;
}

void tst_TableEngines::sameTableInWordAndExcel()
{
    QFETCH(bool, word);
    QFETCH(double, tilt);
    const Table expected = mergedHeaderTable();
    QImage image = EngineTestUtils::renderTable(expected, 150, 56, 26);
    if (tilt != 0)
        image = tilted(image, tilt);
    QVector<int> reported;
    EngineContext context;
    context.languages = QStringLiteral("eng");
    context.progress = [&reported](int p) { reported << p; };
    const EngineResult result = word ? table2word(EngineTestUtils::png(image), context)
                                     : table2xls(EngineTestUtils::png(image), context);
    QVERIFY2(result.ok(), qPrintable(result.reason));
    QCOMPARE(result.suffix, word ? QStringLiteral("docx") : QStringLiteral("xlsx"));

    const Table parsed
        = word ? EngineTestUtils::docxTable(result.data) : EngineTestUtils::xlsxTable(result.data);
    QCOMPARE(EngineTestUtils::describe(parsed), EngineTestUtils::describe(expected));

    // The preview is the source picture, same size, with the grid drawn in.
    const QImage preview = QImage::fromData(result.preview);
    QCOMPARE(preview.size(), image.size());
    QCOMPARE(result.previewSuffix, QStringLiteral("png"));
    QVERIFY(preview.pixel(10, 10) == qRgb(255, 255, 255));
    const QRgb onRule = preview.pixel(30, 100);
    QVERIFY2(
        qRed(onRule) > 150 && qGreen(onRule) < 100, "the detected grid is drawn on the preview");

    QVERIFY(!reported.isEmpty());
    QCOMPARE(reported.last(), 100);
    QVERIFY(std::is_sorted(reported.begin(), reported.end()));
}

void tst_TableEngines::unruledPictureIsOneCell()
{
    const QImage image = EngineTestUtils::renderText(
        { QStringLiteral("Quarterly report"), QStringLiteral("Sales grew in spring") }, 28);
    EngineContext context;
    context.languages = QStringLiteral("eng");
    const EngineResult result = table2xls(EngineTestUtils::png(image), context);
    QVERIFY2(result.ok(), qPrintable(result.reason));
    const Table parsed = EngineTestUtils::xlsxTable(result.data);
    QCOMPARE(parsed.cells.size(), 1);
    QCOMPARE(parsed.rows, 1);
    QCOMPARE(parsed.columns, 1);
    const QString text = parsed.cells.first().text.simplified();
    QVERIFY2(text.contains(QLatin1String("Quarterly report"))
            && text.contains(QLatin1String("Sales grew in spring")),
        qPrintable(text));
    QCOMPARE(QImage::fromData(result.preview).size(), image.size());
}

void tst_TableEngines::badInputFailsWithReason_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reasonPart");
    const QByteArray png
        = EngineTestUtils::png(EngineTestUtils::renderText({ QStringLiteral("x") }, 20));
    QTest::newRow("empty") << QByteArray() << "empty";
    QTest::newRow("not a picture") << QByteArray("not a picture") << "cannot be decoded";
    QTest::newRow("truncated PNG") << png.left(60) << "cannot be decoded";
    // A header claiming 30000 x 30000 pixels: refused before any pixel is
    // decoded, not after allocating 3.6 GB.
    QTest::newRow("30000 x 30000 PNG header")
        << EngineTestUtils::withPngSize(png, 30000, 30000) << "too large";
}

void tst_TableEngines::badInputFailsWithReason()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reasonPart);
    for (const QString &product : { QStringLiteral("table2word"), QStringLiteral("pic2word"),
             QStringLiteral("picstretchstore") }) {
        const EngineResult result = runProduct(product, bytes, EngineContext());
        QCOMPARE(result.failure, EngineFailure::BadInput);
        QVERIFY2(result.reason.contains(reasonPart), qPrintable(result.reason));
        QVERIFY(result.data.isEmpty());
        QVERIFY(result.preview.isEmpty());
    }
}

void tst_TableEngines::cancelStopsRecognition()
{
    const QImage image = EngineTestUtils::renderTable(mergedHeaderTable(), 150, 56, 26);
    EngineContext context;
    context.languages = QStringLiteral("eng");
    context.cancelled = [] { return true; };
    const EngineResult result = table2xls(EngineTestUtils::png(image), context);
    QCOMPARE(result.failure, EngineFailure::Cancelled);
    QVERIFY(result.data.isEmpty());
}

QTEST_MAIN(tst_TableEngines)
#include "tst_TableEngines.moc"
