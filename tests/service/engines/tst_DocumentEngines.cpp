#include <QPainter>
#include <QtTest>

#include "EngineTestUtils.h"
#include "Engines.h"
#include "KDocxWriter.h"
#include "KTextRecognizer.h"
#include "KXlsxWriter.h"

using namespace engines;

namespace {

EngineContext englishContext()
{
    EngineContext context;
    context.languages = QStringLiteral("eng");
    return context;
}

// Three columns without rules, the second and third far to the right.
QImage borderlessColumns(const QVector<QStringList> &rows)
{
    QImage image(760, 60 + 56 * rows.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(26);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int columns[] = { 40, 330, 600 };
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c)
            painter.drawText(columns[c], 60 + 56 * r, rows[r][c]);
    painter.end();
    return image;
}

} // namespace

// Text recognition into documents: paragraphs in a .docx and lines in an
// .xlsx, read back with an independent unzip and XML walk.
class tst_DocumentEngines : public QObject
{
    Q_OBJECT

private slots:
    void wordHasParagraphsInReadingOrder();
    void excelSplitsColumnsAtWideGaps();
    void cancelledRecognitionGivesNoDocument_data();
    void cancelledRecognitionGivesNoDocument();
    void unknownProductIsRefused();
    void writersKeepAwkwardText();
    void paragraphJoinsLines_data();
    void paragraphJoinsLines();
};

void tst_DocumentEngines::wordHasParagraphsInReadingOrder()
{
    const QImage image = EngineTestUtils::renderText(
        { QStringLiteral("The quick brown fox jumps"), QStringLiteral("over the lazy dog."),
            QString(), QString(), QStringLiteral("Second paragraph starts here") },
        28);
    const EngineResult result = pic2word(EngineTestUtils::png(image), englishContext());
    QVERIFY2(result.ok(), qPrintable(result.reason));
    QCOMPARE(result.suffix, QStringLiteral("docx"));
    QVERIFY(result.preview.isEmpty());

    const QStringList entries = EngineTestUtils::zipEntryNames(result.data);
    for (const char *part :
        { "[Content_Types].xml", "_rels/.rels", "word/document.xml", "word/styles.xml" })
        QVERIFY2(entries.contains(QLatin1String(part)), part);
    const QStringList paragraphs = EngineTestUtils::docxParagraphs(result.data);
    QCOMPARE(paragraphs,
        QStringList({ QStringLiteral("The quick brown fox jumps over the lazy dog."),
            QStringLiteral("Second paragraph starts here") }));
}

void tst_DocumentEngines::excelSplitsColumnsAtWideGaps()
{
    const QVector<QStringList> rows { { QStringLiteral("Name"), QStringLiteral("City"),
                                          QStringLiteral("Age") },
        { QStringLiteral("Alice Brown"), QStringLiteral("Paris"), QStringLiteral("31") },
        { QStringLiteral("Bob"), QStringLiteral("New York"), QStringLiteral("47") } };
    const EngineResult result
        = pic2xlsx(EngineTestUtils::png(borderlessColumns(rows)), englishContext());
    QVERIFY2(result.ok(), qPrintable(result.reason));
    QCOMPARE(result.suffix, QStringLiteral("xlsx"));
    const QVector<QStringList> found = EngineTestUtils::xlsxRows(result.data);
    QStringList shown;
    for (const QStringList &row : found)
        shown << row.join(QLatin1Char('|'));
    QVERIFY2(found == rows, qPrintable(shown.join(QLatin1String(" / "))));
}

void tst_DocumentEngines::cancelledRecognitionGivesNoDocument_data()
{
    QTest::addColumn<QString>("product");
    QTest::newRow("word") << QStringLiteral("pic2word");
    QTest::newRow("excel") << QStringLiteral("pic2xlsx");
}

void tst_DocumentEngines::cancelledRecognitionGivesNoDocument()
{
    QFETCH(QString, product);
    const QImage image = EngineTestUtils::renderText({ QStringLiteral("Nothing to see") }, 28);
    EngineContext context = englishContext();
    int polls = 0;
    context.cancelled = [&polls] { return ++polls > 1; };
    const EngineResult result = runProduct(product, EngineTestUtils::png(image), context);
    QCOMPARE(result.failure, EngineFailure::Cancelled);
    QVERIFY(result.data.isEmpty());
    QCOMPARE(failureCodeName(result.failure), QStringLiteral("cancelled"));
}

void tst_DocumentEngines::unknownProductIsRefused()
{
    const EngineResult result
        = runProduct(QStringLiteral("pic2pdf"), QByteArray("x"), EngineContext());
    QCOMPARE(result.failure, EngineFailure::BadInput);
    QVERIFY(result.reason.contains(QLatin1String("pic2pdf")));
    QVERIFY(!providesProduct(QStringLiteral("pic2txt")));
    QVERIFY(providesProduct(QStringLiteral("picstretchstore")));
}

void tst_DocumentEngines::writersKeepAwkwardText()
{
    // Recognised text can hold anything: XML specials, control characters
    // XML cannot carry at all, and lines inside one table cell.
    const QString awkward = QStringLiteral("a < b & \"c\" > d\x01\x1f end");
    const QString kept = QStringLiteral("a < b & \"c\" > d end");
    QString error;
    KDocxWriter docx;
    docx.addParagraph(awkward);
    TableGrid grid;
    grid.ruled = true;
    grid.rowEdges = { 0, 50 };
    grid.columnEdges = { 0, 100, 200 };
    grid.cells = { { 0, 0, 1, 1, QRect(0, 0, 100, 50), QStringLiteral("first\nsecond") },
        { 0, 1, 1, 1, QRect(100, 0, 100, 50), awkward } };
    docx.addTable(grid);
    const QByteArray word = docx.toDocx(&error);
    QVERIFY2(!word.isEmpty(), qPrintable(error));
    QCOMPARE(EngineTestUtils::docxParagraphs(word), QStringList { kept });
    const EngineTestUtils::Table table = EngineTestUtils::docxTable(word);
    QCOMPARE(table.cells.size(), 2);
    QCOMPARE(table.cells[0].text, QStringLiteral("first\nsecond"));
    QCOMPARE(table.cells[1].text, kept);

    KXlsxWriter xlsx;
    xlsx.addRow({ awkward, QString(), QStringLiteral("third") });
    const QByteArray sheet = xlsx.toXlsx(&error);
    QVERIFY2(!sheet.isEmpty(), qPrintable(error));
    const QVector<QStringList> expected { { kept, QString(), QStringLiteral("third") } };
    QCOMPARE(EngineTestUtils::xlsxRows(sheet), expected);
}

void tst_DocumentEngines::paragraphJoinsLines_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("paragraph");
    QTest::newRow("words") << QStringList { "one two", "three" } << "one two three";
    QTest::newRow("word broken at the line end")
        << QStringList { "an exam-", "ple here" } << "an example here";
    QTest::newRow("hyphen before a capital stays")
        << QStringList { "north-", "East" } << "north- East";
    QTest::newRow("dash alone stays") << QStringList { "a -", "b" } << "a - b";
    QTest::newRow("Chinese lines without a blank") << QStringList { QStringLiteral("今天天气"),
        QStringLiteral("很好") } << QStringLiteral("今天天气很好");
    QTest::newRow("Chinese then Latin")
        << QStringList { QStringLiteral("你好"), "world" } << QStringLiteral("你好 world");
}

void tst_DocumentEngines::paragraphJoinsLines()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, paragraph);
    TextBlock block;
    for (const QString &text : lines) {
        TextLine line;
        for (const QString &word : text.split(QLatin1Char(' ')))
            line.words.append({ QRect(), word, 90 });
        block.lines.append(line);
    }
    QCOMPARE(block.text(), paragraph);
}

QTEST_MAIN(tst_DocumentEngines)
#include "tst_DocumentEngines.moc"
