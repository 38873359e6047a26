#include <QImageReader>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "PdfFixtures.h"
#include "TestUtils.h"
#include "pdf/KPdf2ImageConverterThread.h"
#include "pdf/KPdf2ImageProxy.h"
#include "pdf/SelectPageItem.h"

using Ranges = QList<SelectPageItem::Range>;

namespace {

struct Run
{
    QVector<BatchResult> states;
    QVector<ProcessProgress> progress;
};

// Receives the thread's records in the test's thread, as a view does.
class Collector : public QObject
{
    Q_OBJECT
public:
    Run run;
public slots:
    void onStateChanged(BatchResult result) { run.states.append(result); }
    void onProcessChanged(ProcessProgress progress) { run.progress.append(progress); }
};

Run convert(const QString &folder, const QStringList &files, const QString &extension,
    const QMap<QString, SelectPageItem> &selections = {})
{
    KPdf2ImageConverterThread thread(folder, files, extension, selections);
    Collector collector;
    QObject::connect(
        &thread, &KPdf2ImageConverterThread::stateChanged, &collector, &Collector::onStateChanged);
    QObject::connect(&thread, &KPdf2ImageConverterThread::processChanged, &collector,
        &Collector::onProcessChanged);
    thread.start();
    if (!thread.wait(120000))
        qFatal("converter thread did not finish");
    QCoreApplication::sendPostedEvents(&collector);
    return collector.run;
}

SelectPageItem selection(int mode, const Ranges &ranges = {}, int count = 0)
{
    SelectPageItem item;
    item.mode = mode;
    item.ranges = ranges;
    item.count = count;
    return item;
}

QStringList allEntries(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

class tst_KPdf2ImageConverterThread : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void pagesWritten_data();
    void pagesWritten();
    void eachFormat_data();
    void eachFormat();
    void documentsThatGiveNoImage_data();
    void documentsThatGiveNoImage();
    void lastFileEndsTheRun_data();
    void lastFileEndsTheRun();
    void existingImagesKept();
    void unusableRunFolder();
    void countsWhileConverting();
    void missingLibrary();
    void destroyedWhileRunning();

private:
    QTemporaryDir m_inputs;
    QString m_five;
};

void tst_KPdf2ImageConverterThread::initTestCase()
{
    // The renderer is found beside the executable, as in the installed program.
    QVERIFY2(
        KPdf2ImageProxy::instance()->isLoaded(), qPrintable(KPdf2ImageProxy::defaultLibraryPath()));
    QVERIFY(m_inputs.isValid());
    m_five = QDir(m_inputs.path()).filePath("doc.pdf");
    QVERIFY(PdfFixtures::writePdf(m_five, 5));
}

void tst_KPdf2ImageConverterThread::pagesWritten_data()
{
    QTest::addColumn<bool>("hasEntry");
    QTest::addColumn<SelectPageItem>("item");
    QTest::addColumn<QList<int>>("pages");
    QTest::addColumn<QList<int>>("progress");

    QTest::newRow("no entry: all pages")
        << false << SelectPageItem() << QList<int> { 1, 2, 3, 4, 5 }
        << QList<int> { 20, 40, 60, 80, 100 };
    QTest::newRow("all, count not filled in")
        << true << selection(SelectPageItem::AllPages) << QList<int> { 1, 2, 3, 4, 5 }
        << QList<int> { 20, 40, 60, 80, 100 };
    QTest::newRow("odd pages") << true << selection(SelectPageItem::OddPages, {}, 3)
                               << QList<int> { 1, 3, 5 } << QList<int> { 33, 66, 100 };
    QTest::newRow("even pages") << true << selection(SelectPageItem::EvenPages, {}, 2)
                                << QList<int> { 2, 4 } << QList<int> { 50, 100 };
    QTest::newRow("1,3-5") << true
                           << selection(SelectPageItem::SpecificPages, { { 1, 1 }, { 3, 5 } }, 4)
                           << QList<int> { 1, 3, 4, 5 } << QList<int> { 25, 50, 75, 100 };
    QTest::newRow("1-5") << true << selection(SelectPageItem::SpecificPages, { { 1, 5 } }, 5)
                         << QList<int> { 1, 2, 3, 4, 5 } << QList<int> { 20, 40, 60, 80, 100 };
    QTest::newRow("2-3 and 3-4 write page 3 once")
        << true << selection(SelectPageItem::SpecificPages, { { 2, 3 }, { 3, 4 } }, 3)
        << QList<int> { 2, 3, 4 } << QList<int> { 33, 66, 100 };
    QTest::newRow("range beyond the last page")
        << true << selection(SelectPageItem::SpecificPages, { { 4, 9 } }, 6) << QList<int> { 4, 5 }
        << QList<int> { 16, 33 };
}

void tst_KPdf2ImageConverterThread::pagesWritten()
{
    QFETCH(bool, hasEntry);
    QFETCH(SelectPageItem, item);
    QFETCH(QList<int>, pages);
    QFETCH(QList<int>, progress);

    QTemporaryDir out;
    QMap<QString, SelectPageItem> selections;
    if (hasEntry)
        selections.insert(m_five, item);
    const Run run = convert(out.path(), { m_five }, QStringLiteral("png"), selections);

    QStringList expected;
    for (int page : pages)
        expected << QStringLiteral("doc-%1.png").arg(page);
    QCOMPARE(allEntries(out.path()), expected);

    // Each image shows its own page.
    const QPointF probe = PdfFixtures::pageColourProbe() * (150.0 / 72.0);
    for (int page : pages) {
        const QImage image(QDir(out.path()).filePath(QStringLiteral("doc-%1.png").arg(page)));
        QVERIFY(TestUtils::colourNear(
            image.pixel(probe.toPoint()), PdfFixtures::pageColour(page).rgb(), 3));
    }

    QCOMPARE(run.states.size(), 2);
    QCOMPARE(run.states[0].index, 0);
    QCOMPARE(run.states[0].status, BatchResult::Processing);
    QCOMPARE(run.states[1].status, BatchResult::Succeeded);
    QCOMPARE(run.states[1].path, QDir(out.path()).filePath(expected.first()));
    QList<int> values;
    for (const ProcessProgress &p : run.progress) {
        QCOMPARE(p.index, 0);
        values << p.value;
    }
    QCOMPARE(values, progress);
}

void tst_KPdf2ImageConverterThread::eachFormat_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("jpg") << "jpg" << QByteArray("jpeg");
    QTest::newRow("png") << "png" << QByteArray("png");
    QTest::newRow("bmp") << "bmp" << QByteArray("bmp");
    QTest::newRow("webp") << "webp" << QByteArray("webp");
    QTest::newRow("tif") << "tif" << QByteArray("tiff");
}

// Both page routes (all/odd/even and specific pages) write the chosen format
// directly; no temporary image stays behind.
void tst_KPdf2ImageConverterThread::eachFormat()
{
    QFETCH(QString, extension);
    QFETCH(QByteArray, format);

    for (const SelectPageItem &item : { selection(SelectPageItem::EvenPages, {}, 2),
             selection(SelectPageItem::SpecificPages, { { 2, 2 }, { 4, 4 } }, 2) }) {
        QTemporaryDir out;
        const Run run = convert(out.path(), { m_five }, extension, { { m_five, item } });
        QCOMPARE(
            allEntries(out.path()), QStringList({ "doc-2." + extension, "doc-4." + extension }));
        for (const QString &name : allEntries(out.path())) {
            QImageReader reader(QDir(out.path()).filePath(name));
            reader.setDecideFormatFromContent(true);
            QCOMPARE(reader.format(), format);
        }
        QCOMPARE(run.states.last().status, BatchResult::Succeeded);
    }
}

void tst_KPdf2ImageConverterThread::documentsThatGiveNoImage_data()
{
    QTest::addColumn<QString>("document"); // zero, broken, locked, missing, or the five-page one
    QTest::addColumn<SelectPageItem>("item");

    QTest::newRow("0 pages") << "zero" << selection(SelectPageItem::AllPages);
    QTest::newRow("broken") << "broken" << selection(SelectPageItem::AllPages);
    QTest::newRow("password protected") << "locked" << selection(SelectPageItem::AllPages);
    QTest::newRow("missing") << "missing" << selection(SelectPageItem::AllPages);
    QTest::newRow("only page 0") << "five"
                                 << selection(SelectPageItem::SpecificPages, { { 0, 0 } }, 1);
    QTest::newRow("specific, no ranges")
        << "five" << selection(SelectPageItem::SpecificPages, {}, 0);
    QTest::newRow("even pages of a 1-page document")
        << "one" << selection(SelectPageItem::EvenPages);
    QTest::newRow("unknown mode") << "five" << selection(9);
}

// No image written: the file is reported failed (never succeeded with an
// empty path), its final record still comes, and progress never divides by 0.
void tst_KPdf2ImageConverterThread::documentsThatGiveNoImage()
{
    QFETCH(QString, document);
    QFETCH(SelectPageItem, item);

    QTemporaryDir in, out;
    QString path = QDir(in.path()).filePath("in.pdf");
    if (document == "zero")
        QVERIFY(PdfFixtures::writeZeroPagePdf(path));
    else if (document == "broken")
        TestUtils::writeFile(in.path(), "in.pdf", PdfFixtures::brokenPdf());
    else if (document == "locked")
        QVERIFY(PdfFixtures::writePdf(path, 3, QStringLiteral("pw")));
    else if (document == "one")
        QVERIFY(PdfFixtures::writePdf(path, 1));
    else if (document == "five")
        path = m_five;

    const Run run = convert(out.path(), { path }, QStringLiteral("png"), { { path, item } });
    QCOMPARE(run.states.size(), 2);
    QCOMPARE(run.states[1].index, 0);
    QCOMPARE(run.states[1].status, BatchResult::Failed);
    QVERIFY(run.states[1].path.isEmpty());
    for (const ProcessProgress &p : run.progress)
        QVERIFY(p.value >= 0 && p.value <= 100);
    QVERIFY(allEntries(out.path()).isEmpty());
}

void tst_KPdf2ImageConverterThread::lastFileEndsTheRun_data()
{
    QTest::addColumn<bool>("brokenLast");
    QTest::newRow("broken document last") << true;
    QTest::newRow("broken document first") << false;
}

void tst_KPdf2ImageConverterThread::lastFileEndsTheRun()
{
    QFETCH(bool, brokenLast);
    QTemporaryDir in, out;
    const QString broken = TestUtils::writeFile(in.path(), "bad.pdf", PdfFixtures::brokenPdf());
    const QStringList files
        = brokenLast ? QStringList { m_five, broken } : QStringList { broken, m_five };
    const Run run = convert(out.path(), files, QStringLiteral("jpg"),
        { { m_five, selection(SelectPageItem::OddPages, {}, 3) } });

    // Per file: processing, then one final record; files in row order.
    QCOMPARE(run.states.size(), 4);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(run.states[2 * i].index, i);
        QCOMPARE(run.states[2 * i].status, BatchResult::Processing);
        QCOMPARE(run.states[2 * i + 1].index, i);
        const bool bad = files[i] == broken;
        QCOMPARE(run.states[2 * i + 1].status, bad ? BatchResult::Failed : BatchResult::Succeeded);
    }
    QCOMPARE(run.states.last().index, 1);
    QCOMPARE(allEntries(out.path()), QStringList({ "doc-1.jpg", "doc-3.jpg", "doc-5.jpg" }));
}

void tst_KPdf2ImageConverterThread::existingImagesKept()
{
    QTemporaryDir in, out;
    TestUtils::writeFile(out.path(), "doc-1.png", "earlier output");
    // A base name with dots keeps them all: scan.v2-1.png, not scan.png.
    const QString dotted = QDir(in.path()).filePath("scan.v2.pdf");
    QVERIFY(QFile::copy(m_five, dotted));
    const Run run = convert(out.path(), { m_five, dotted }, QStringLiteral("png"),
        { { m_five, selection(SelectPageItem::SpecificPages, { { 1, 1 } }, 1) },
            { dotted, selection(SelectPageItem::SpecificPages, { { 1, 2 } }, 2) } });
    QCOMPARE(allEntries(out.path()),
        QStringList({ "doc-1(1).png", "doc-1.png", "scan.v2-1.png", "scan.v2-2.png" }));
    QFile earlier(QDir(out.path()).filePath("doc-1.png"));
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), QByteArray("earlier output"));
    QCOMPARE(run.states[1].path, QDir(out.path()).filePath("doc-1(1).png"));
}

void tst_KPdf2ImageConverterThread::unusableRunFolder()
{
    QTemporaryDir base;
    const QString missing = QDir(base.path()).filePath("gone");
    const Run run = convert(missing, { m_five, m_five }, QStringLiteral("png"));
    QCOMPARE(run.states.size(), 4);
    QCOMPARE(run.states[1].status, BatchResult::Failed);
    QCOMPARE(run.states[3].index, 1);
    QCOMPARE(run.states[3].status, BatchResult::Failed);
    QVERIFY(allEntries(base.path()).isEmpty());
}

// Documents dropped onto the list during a run are counted in the interface
// thread while the converter renders.
void tst_KPdf2ImageConverterThread::countsWhileConverting()
{
    QTemporaryDir out;
    QStringList files;
    for (int i = 0; i < 4; ++i)
        files << m_five;
    KPdf2ImageConverterThread thread(out.path(), files, QStringLiteral("png"), {});
    thread.start();
    int wrong = 0, counted = 0;
    while (!thread.isFinished() || counted < 20) {
        if (KPdf2ImageProxy::instance()->pageCount(m_five, QString()) != 5)
            ++wrong;
        ++counted;
    }
    QVERIFY(thread.wait(120000));
    QCOMPARE(wrong, 0);
    QCOMPARE(allEntries(out.path()).size(), 20);
}

void tst_KPdf2ImageConverterThread::missingLibrary()
{
    QTemporaryDir out;
    KPdf2ImageProxy proxy(QDir(out.path()).filePath("libqvpdfrender.so"));
    QVERIFY(!proxy.isLoaded());
    QCOMPARE(proxy.pageCount(m_five, QString()), int(KPdf2ImageProxy::NoRenderer));
    QCOMPARE(proxy.convertPage(m_five, QString(), 1, QDir(out.path()).filePath("x.png")),
        int(KPdf2ImageProxy::NoRenderer));
    QVERIFY(KPdf2ImageProxy::errorText(KPdf2ImageProxy::NoRenderer).contains("missing"));
    QVERIFY(allEntries(out.path()).isEmpty());
}

// The view may go away mid-run (program exit): the thread stops after its
// current page and leaves only complete images.
void tst_KPdf2ImageConverterThread::destroyedWhileRunning()
{
    QTemporaryDir out;
    QStringList files;
    for (int i = 0; i < 10; ++i)
        files << m_five;
    {
        KPdf2ImageConverterThread thread(out.path(), files, QStringLiteral("png"), {});
        thread.start();
        QThread::msleep(100);
    }
    const QStringList written = allEntries(out.path());
    QVERIFY(written.size() < 50);
    for (const QString &name : written) {
        QVERIFY2(!name.startsWith('.'), qPrintable(name));
        QVERIFY2(!QImage(QDir(out.path()).filePath(name)).isNull(), qPrintable(name));
    }
}

QTEST_GUILESS_MAIN(tst_KPdf2ImageConverterThread)
#include "tst_KPdf2ImageConverterThread.moc"
