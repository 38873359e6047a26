#include <QButtonGroup>
#include <QDir>
#include <QImageReader>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "PdfFixtures.h"
#include "TestUtils.h"
#include "app/BatchResult.h"
#include "app/ui/KApplication.h"
#include "pdf/KPdf2ImageProxy.h"
#include "pdf/SelectPageItem.h"
#include "pdf/ui/KPdfConvertImageView.h"
#include "pdf/ui/KPdfTableListItem.h"
#include "pdf/ui/KSelectPageView.h"
#include "widgets/KMessageTips.h"
#include "widgets/KTableListItem.h"
#include "widgets/KTableListView.h"

namespace {

bool runInto(KPdfConvertImageView &view, const QString &folder)
{
    QSignalSpy finished(&view, &KPdfConvertImageView::runFinished);
    if (!view.startInto(folder))
        return false;
    return TestUtils::waitUntil([&view] { return !view.isRunning(); }, 120000)
        && finished.count() == 1;
}

void verifyControlsEnabled(const KPdfConvertImageView &view)
{
    QVERIFY(!view.isRunning());
    QVERIFY(view.startButton()->isEnabled());
    QVERIFY(view.fileList()->addButton()->isEnabled());
    QVERIFY(view.fileList()->clearButton()->isEnabled());
}

KPdfTableListItem *pdfRow(const KTableListView *list, int index)
{
    return qobject_cast<KPdfTableListItem *>(list->row(index));
}

// Chooses pages the way the user does: the row's button, the dialog, Ok.
void choosePages(KTableListItem *anyRow, int mode, const QString &text)
{
    auto *row = qobject_cast<KPdfTableListItem *>(anyRow);
    QVERIFY(row);
    row->selectPageButton()->click();
    KSelectPageView *dialog = row->selectPageView();
    QVERIFY(dialog && dialog->isVisible());
    dialog->modeGroup()->button(mode)->click();
    dialog->rangeBox()->setText(text);
    dialog->okButton()->click();
    QCOMPARE(dialog->errorText(), QString());
    QVERIFY(!dialog->isVisible());
}

} // namespace

// The PDF-to-image view with the real page renderer, which the proxy loads
// from the folder of this executable.
class tst_KPdfConvertImageView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void listedDocuments();
    void pagesThroughTheView_data();
    void pagesThroughTheView();
    void documentsWithoutImagesEndTheRun_data();
    void documentsWithoutImagesEndTheRun();
    void unusableOutputFolder();
    void controls();
    void screenshot();

private:
    QTemporaryDir m_inputs;
    QString m_five;
    QString m_zero;
};

void tst_KPdfConvertImageView::initTestCase()
{
    KApplication::installFontSubstitutions();
    QVERIFY2(
        KPdf2ImageProxy::instance()->isLoaded(), qPrintable(KPdf2ImageProxy::defaultLibraryPath()));
    QVERIFY(m_inputs.isValid());
    m_five = m_inputs.filePath("report.pdf");
    QVERIFY(PdfFixtures::writePdf(m_five, 5));
    m_zero = m_inputs.filePath("empty.pdf");
    QVERIFY(PdfFixtures::writeZeroPagePdf(m_zero));
}

void tst_KPdfConvertImageView::listedDocuments()
{
    const QString broken
        = TestUtils::writeFile(m_inputs.path(), "broken.pdf", PdfFixtures::brokenPdf());
    KPdfConvertImageView view;
    QSignalSpy added(view.fileList(), &KTableListView::addImages);
    view.fileList()->appendFiles({ m_five, broken, m_zero });
    // A document that cannot be opened is not listed; one without pages is,
    // and says so.
    QCOMPARE(view.fileList()->files(), (QStringList { m_five, m_zero }));
    QCOMPARE(pdfRow(view.fileList(), 0)->pageText(), QString("5page"));
    QCOMPARE(pdfRow(view.fileList(), 1)->pageText(), QString("load failed"));
    QCOMPARE(added.count(), 1);
    QVERIFY(view.startButton()->isEnabled());

    // Choices never opened read as all pages with the document's count.
    const QMap<QString, SelectPageItem> selections
        = KPdfTableListItem::pageSelections(view.fileList());
    QCOMPARE(selections.size(), 2);
    QCOMPARE(selections.value(m_five).mode, int(SelectPageItem::AllPages));
    QCOMPARE(selections.value(m_five).count, 5);
    QCOMPARE(selections.value(m_zero).count, 0);
}

void tst_KPdfConvertImageView::pagesThroughTheView_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<OutputFormat>("format");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("odd pages, JPG")
        << 1 << QString() << OutputFormat::Jpg
        << QStringList { "report-1.jpg", "report-3.jpg", "report-5.jpg" };
    QTest::newRow("even pages, PNG, no temporary file")
        << 2 << QString() << OutputFormat::Png << QStringList { "report-2.png", "report-4.png" };
    QTest::newRow("never opened: all pages, BMP")
        << -1 << QString() << OutputFormat::Bmp
        << QStringList { "report-1.bmp", "report-2.bmp", "report-3.bmp", "report-4.bmp",
               "report-5.bmp" };
    QTest::newRow("2-3 and 3-4 write page 3 once, WEBP")
        << 3 << "2-3,3-4" << OutputFormat::Webp
        << QStringList { "report-2.webp", "report-3.webp", "report-4.webp" };
    QTest::newRow("typed with blanks, TIF")
        << 3 << "5, 1" << OutputFormat::Tif << QStringList { "report-1.tif", "report-5.tif" };
}

void tst_KPdfConvertImageView::pagesThroughTheView()
{
    QFETCH(int, mode);
    QFETCH(QString, text);
    QFETCH(OutputFormat, format);
    QFETCH(QStringList, names);

    QTemporaryDir out;
    KPdfConvertImageView view;
    view.show();
    view.fileList()->appendFiles({ m_five });
    if (mode >= 0)
        choosePages(view.fileList()->row(0), mode, text);
    view.formatGroup()->button(int(format))->click();
    QCOMPARE(view.outputFormat(), format);
    QVERIFY(runInto(view, out.path()));

    const QString runFolder = out.filePath("Pdf2Image");
    QCOMPARE(view.lastRunFolder(), runFolder);
    QStringList sorted = names;
    sorted.sort();
    const QStringList written
        = QDir(runFolder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    QCOMPARE(written, sorted);
    // Written in the chosen format, whatever route the pages took.
    const QMap<QString, QByteArray> readerFormat { { "jpg", "jpeg" }, { "png", "png" },
        { "bmp", "bmp" }, { "webp", "webp" }, { "tif", "tiff" } };
    for (const QString &name : names) {
        QImageReader reader(QDir(runFolder).filePath(name));
        QCOMPARE(reader.format(), readerFormat.value(QFileInfo(name).suffix()));
        QVERIFY(reader.size().isValid());
    }
    const KTableListView *list = view.fileList();
    QCOMPARE(list->result(0).status, BatchResult::Succeeded);
    QCOMPARE(list->result(0).path, QDir(runFolder).filePath(names.first()));
    QCOMPARE(list->row(0)->progressBar()->value(), 100);
    QVERIFY(list->row(0)->button(0)->isVisible()); // open file
    verifyControlsEnabled(view);
}

void tst_KPdfConvertImageView::documentsWithoutImagesEndTheRun_data()
{
    QTest::addColumn<QString>("last");
    QTest::newRow("0 pages") << "zero";
    QTest::newRow("broken since it was added") << "broken";
    QTest::newRow("no page typed") << "none";
}

void tst_KPdfConvertImageView::documentsWithoutImagesEndTheRun()
{
    QFETCH(QString, last);
    QTemporaryDir out;
    QTemporaryDir scratch;
    QString lastPath = m_zero;
    if (last != "zero") {
        lastPath = scratch.filePath("later.pdf");
        QVERIFY(PdfFixtures::writePdf(lastPath, 2));
    }
    KPdfConvertImageView view;
    view.show();
    view.fileList()->appendFiles({ m_five, lastPath });
    QCOMPARE(view.fileList()->rowCount(), 2);
    choosePages(view.fileList()->row(0), SelectPageItem::SpecificPages, "2");
    if (last == "broken")
        QVERIFY(
            !TestUtils::writeFile(scratch.path(), "later.pdf", PdfFixtures::brokenPdf()).isEmpty());
    else if (last == "none")
        choosePages(view.fileList()->row(1), SelectPageItem::SpecificPages, "");

    QVERIFY(runInto(view, out.path()));
    const KTableListView *list = view.fileList();
    QCOMPARE(list->result(0).status, BatchResult::Succeeded);
    QCOMPARE(list->result(1).status, BatchResult::Failed);
    QCOMPARE(list->row(1)->state(), BatchResult::Failed);
    QCOMPARE(TestUtils::fileNames(view.lastRunFolder()), QStringList { "report-2.jpg" });
    verifyControlsEnabled(view);
}

void tst_KPdfConvertImageView::unusableOutputFolder()
{
    // One message instead of a failed row per document; nothing starts.
    KPdfConvertImageView view;
    view.fileList()->appendFiles({ m_five });
    view.setOutputFolder(QString());
    view.startButton()->click();
    QVERIFY(!view.isRunning());
    auto *notice = view.findChild<KMessageTips *>();
    QVERIFY(notice);
    QVERIFY2(notice->message().contains("output folder"), qPrintable(notice->message()));
    QCOMPARE(view.fileList()->result(0).status, BatchResult::NotStarted);
    QCOMPARE(view.lastRunFolder(), QString());
    QVERIFY(!QFileInfo::exists("/Pdf2Image"));
    verifyControlsEnabled(view);
}

void tst_KPdfConvertImageView::controls()
{
    KPdfConvertImageView view;
    view.show();
    QVERIFY(!view.startButton()->isEnabled());
    QCOMPARE(view.outputFormat(), OutputFormat::Jpg);
    QVERIFY(view.formatGroup()->button(0)->isChecked());
    QCOMPARE(
        view.outputFolder(), QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    QCOMPARE(view.folderBox()->contextMenuPolicy(), Qt::NoContextMenu);

    // Two runs into one folder; during a run nothing can be added.
    QTemporaryDir out;
    const QString other = m_inputs.filePath("other.pdf");
    QVERIFY(PdfFixtures::writePdf(other, 1));
    view.fileList()->appendFiles({ m_five });
    choosePages(view.fileList()->row(0), SelectPageItem::SpecificPages, "1");
    QVERIFY(view.startInto(out.path()));
    QVERIFY(!view.fileList()->row(0)->button(0)->isVisible());
    QVERIFY(view.fileList()->appendFiles({ other }).isEmpty());
    QVERIFY(!view.fileList()->addButton()->isEnabled());
    QVERIFY(!view.startButton()->isEnabled());
    QVERIFY(TestUtils::waitUntil([&view] { return !view.isRunning(); }, 60000));
    QCOMPARE(view.runFiles(), QStringList { m_five });
    QCOMPARE(view.fileList()->appendFiles({ other }), QStringList { other });
    QVERIFY(runInto(view, out.path()));
    QCOMPARE(view.lastRunFolder(), out.filePath("Pdf2Image(1)"));
    QCOMPARE(TestUtils::fileNames(out.filePath("Pdf2Image(1)")),
        (QStringList { "other-1.jpg", "report-1.jpg" }));

    // Clearing: start disabled, the list's buttons usable.
    view.fileList()->clearButton()->click();
    QVERIFY(!view.startButton()->isEnabled());
    QVERIFY(view.fileList()->addButton()->isEnabled());
    QVERIFY(KPdfTableListItem::pageSelections(view.fileList()).isEmpty());
}

void tst_KPdfConvertImageView::screenshot()
{
    QTemporaryDir out;
    KPdfConvertImageView view;
    QStringList files { m_five, m_zero };
    for (int i = 0; i < 2; ++i) {
        const QString path
            = m_inputs.filePath(QStringLiteral("annual statement %1.pdf").arg(i + 1));
        QVERIFY(PdfFixtures::writePdf(path, 12 + i));
        files << path;
    }
    view.fileList()->appendFiles(files);
    pdfRow(view.fileList(), 2)->onSelectPageChanged([] {
        SelectPageItem odd;
        odd.mode = SelectPageItem::OddPages;
        return odd;
    }());
    pdfRow(view.fileList(), 3)->onSelectPageChanged([] {
        SelectPageItem specific; // the widest button text a row shows
        specific.mode = SelectPageItem::SpecificPages;
        specific.ranges = { { 1, 12 } };
        return specific;
    }());
    QCOMPARE(pdfRow(view.fileList(), 3)->selectPageButton()->text(), QString("total12page"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.fileList()->updateStatus({ 0, BatchResult::Succeeded, m_five, QString() });
    view.fileList()->setProgress(3, 40);
    const QImage image = view.grab().toImage();
    QCOMPARE(image.size(), QSize(886, 600));
    const QString shots = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        QDir().mkpath(shots);
        QVERIFY(image.save(shots + "/pdf-to-pic.png"));
    }
}

QTEST_MAIN(tst_KPdfConvertImageView)
#include "tst_KPdfConvertImageView.moc"
