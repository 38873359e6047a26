#include <poppler-qt5.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "PdfFixtures.h"
#include "TestUtils.h"
#include "app/BatchResult.h"
#include "app/ui/KApplication.h"
#include "pdf/ui/KImageConvertPdfView.h"
#include "widgets/KMessageTips.h"
#include "widgets/KTableListItem.h"
#include "widgets/KTableListView.h"

namespace {

QString writeImage(const QString &dir, const QString &name, const char *format)
{
    const QString path = QDir(dir).filePath(name);
    return TestUtils::quadrantImage(64, 48).save(path, format) ? path : QString();
}

// Starts a run and waits until its last record has arrived.
bool runInto(KImageConvertPdfView &view, const QString &folder)
{
    QSignalSpy finished(&view, &KImageConvertPdfView::runFinished);
    if (!view.startInto(folder))
        return false;
    return TestUtils::waitUntil([&view] { return !view.isRunning(); }, 60000)
        && finished.count() == 1;
}

// The run has ended: start and the list's buttons are usable again.
void verifyControlsEnabled(const KImageConvertPdfView &view)
{
    QVERIFY(!view.isRunning());
    QVERIFY(view.startButton()->isEnabled());
    QVERIFY(view.fileList()->addButton()->isEnabled());
    QVERIFY(view.fileList()->clearButton()->isEnabled());
}

} // namespace

class tst_KImageConvertPdfView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void singleOutputNames();
    void combinedOutputCarriedByEveryRow();
    void password_data();
    void password();
    void lastFileFailingEndsTheRun_data();
    void lastFileFailingEndsTheRun();
    void unusableOutputFolder_data();
    void unusableOutputFolder();
    void runFoldersNeverReused();
    void rowsChangedDuringARun();
    void controls();
    void screenshot();

private:
    QTemporaryDir m_inputs;
    QString m_jpg;
    QString m_png;
    QString m_broken;
};

void tst_KImageConvertPdfView::initTestCase()
{
    KApplication::installFontSubstitutions();
    QVERIFY(m_inputs.isValid());
    m_jpg = writeImage(m_inputs.path(), "a.jpg", "JPG");
    m_png = writeImage(m_inputs.path(), "a.png", "PNG");
    QVERIFY(!m_jpg.isEmpty() && !m_png.isEmpty());
    m_broken = TestUtils::writeFile(m_inputs.path(), "broken.png", QByteArray(300, 'x'));
    QVERIFY(!m_broken.isEmpty());
}

void tst_KImageConvertPdfView::singleOutputNames()
{
    QTemporaryDir out;
    KImageConvertPdfView view;
    view.show();
    QVERIFY(!view.startButton()->isEnabled());
    view.fileList()->appendFiles({ m_jpg, m_png });
    QVERIFY(view.startButton()->isEnabled());
    QVERIFY(runInto(view, out.path()));

    const QString runFolder = out.filePath("Pdf Convert");
    QCOMPARE(view.lastRunFolder(), runFolder);
    QCOMPARE(TestUtils::fileNames(runFolder), (QStringList { "a(1).pdf", "a.pdf" }));
    const KTableListView *list = view.fileList();
    QCOMPARE(list->result(0).status, BatchResult::Succeeded);
    QCOMPARE(list->result(0).path, runFolder + "/a.pdf");
    QCOMPARE(list->result(1).path, runFolder + "/a(1).pdf");
    for (int row = 0; row < 2; ++row) {
        const auto pdf = PdfFixtures::openPdf(list->result(row).path);
        QVERIFY(pdf && !pdf->isLocked());
        QCOMPARE(pdf->numPages(), 1);
        QVERIFY(list->row(row)->button(2)->isVisible()); // delete after success
    }
    verifyControlsEnabled(view);
}

void tst_KImageConvertPdfView::combinedOutputCarriedByEveryRow()
{
    QTemporaryDir out;
    const QString x = writeImage(m_inputs.path(), "x.png", "PNG");
    const QString y = writeImage(m_inputs.path(), "y.jpg", "JPG");
    KImageConvertPdfView view;
    view.fileList()->appendFiles({ x, y });
    view.modeGroup()->button(1)->click();
    QVERIFY(view.isCombined());
    QVERIFY(runInto(view, out.path()));

    const QString pdfPath = out.filePath("Pdf Convert/x.pdf");
    QCOMPARE(TestUtils::fileNames(out.filePath("Pdf Convert")), QStringList { "x.pdf" });
    for (int row = 0; row < 2; ++row) {
        QCOMPARE(view.fileList()->result(row).status, BatchResult::Succeeded);
        QCOMPARE(view.fileList()->result(row).path, pdfPath);
    }
    const auto pdf = PdfFixtures::openPdf(pdfPath);
    QVERIFY(pdf);
    QCOMPARE(pdf->numPages(), 2);

    // Back to one PDF per image for the next start.
    view.modeGroup()->button(0)->click();
    QVERIFY(runInto(view, out.path()));
    QCOMPARE(
        TestUtils::fileNames(out.filePath("Pdf Convert(1)")), (QStringList { "x.pdf", "y.pdf" }));
}

void tst_KImageConvertPdfView::password_data()
{
    QTest::addColumn<bool>("enable");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("locked");
    QTest::newRow("enabled") << true << "s3cret" << true;
    QTest::newRow("option syntax and blanks as data") << true << "} masterpassword={x y" << true;
    QTest::newRow("enabled but empty") << true << "" << false;
    QTest::newRow("text left in a disabled box") << false << "s3cret" << false;
}

void tst_KImageConvertPdfView::password()
{
    QFETCH(bool, enable);
    QFETCH(QString, password);
    QFETCH(bool, locked);

    QTemporaryDir out;
    KImageConvertPdfView view;
    view.fileList()->appendFiles({ m_png });
    view.encryptBox()->setChecked(true);
    view.passwordBox()->setText(password);
    view.encryptBox()->setChecked(enable);
    QVERIFY(runInto(view, out.path()));
    const QString pdfPath = view.fileList()->result(0).path;
    QCOMPARE(view.fileList()->result(0).status, BatchResult::Succeeded);

    const auto withoutPassword = PdfFixtures::openPdf(pdfPath);
    QVERIFY(withoutPassword);
    QCOMPARE(withoutPassword->isLocked(), locked);
    if (locked) {
        const auto wrong = PdfFixtures::openPdf(pdfPath, "s3cret!");
        QVERIFY(!wrong || wrong->isLocked());
        const auto open = PdfFixtures::openPdf(pdfPath, password.toUtf8());
        QVERIFY(open);
        QVERIFY(!open->isLocked());
        QCOMPARE(open->numPages(), 1);
    }
}

void tst_KImageConvertPdfView::lastFileFailingEndsTheRun_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("firstGood");
    QTest::newRow("single output, good then broken") << 0 << true;
    QTest::newRow("combined output, good then broken") << 1 << true;
    QTest::newRow("single output, only a broken image") << 0 << false;
    QTest::newRow("combined output, only a broken image") << 1 << false;
}

void tst_KImageConvertPdfView::lastFileFailingEndsTheRun()
{
    QFETCH(int, mode);
    QFETCH(bool, firstGood);

    QTemporaryDir out;
    KImageConvertPdfView view;
    view.fileList()->appendFiles(
        firstGood ? QStringList { m_png, m_broken } : QStringList { m_broken });
    view.modeGroup()->button(mode)->click();
    QVERIFY(runInto(view, out.path()));
    const KTableListView *list = view.fileList();
    const int last = list->rowCount() - 1;
    QCOMPARE(list->result(last).status, BatchResult::Failed);
    QCOMPARE(list->row(last)->state(), BatchResult::Failed);
    if (firstGood) {
        QCOMPARE(list->result(0).status, BatchResult::Succeeded);
        QCOMPARE(TestUtils::fileNames(view.lastRunFolder()), QStringList { "a.pdf" });
    } else {
        // No half-written or empty document is left behind.
        QCOMPARE(TestUtils::fileNames(view.lastRunFolder()), QStringList());
    }
    verifyControlsEnabled(view);
}

void tst_KImageConvertPdfView::unusableOutputFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("empty") << "";
    QTest::newRow("relative") << "relative-output";
    QTest::newRow("below a regular file") << "FILE/sub";
}

void tst_KImageConvertPdfView::unusableOutputFolder()
{
    QFETCH(QString, folder);
    QTemporaryDir scratch;
    if (folder.startsWith("FILE")) {
        const QString file = TestUtils::writeFile(scratch.path(), "plain", "x");
        folder.replace("FILE", file);
    }
    const bool relativeExisted = QFileInfo::exists("relative-output");
    KImageConvertPdfView view;
    view.fileList()->appendFiles({ m_jpg, m_png });
    view.setOutputFolder(folder);
    QCOMPARE(view.outputFolder(), folder);
    QSignalSpy finished(&view, &KImageConvertPdfView::runFinished);
    view.startButton()->click();
    // One message instead of a failed row per file; nothing starts.
    QVERIFY(!view.isRunning());
    QCOMPARE(finished.count(), 0);
    auto *notice = view.findChild<KMessageTips *>();
    QVERIFY(notice);
    QVERIFY2(notice->message().contains("output folder"), qPrintable(notice->message()));
    for (int row = 0; row < 2; ++row)
        QCOMPARE(view.fileList()->result(row).status, BatchResult::NotStarted);
    QCOMPARE(QFileInfo::exists("relative-output"), relativeExisted);
    QVERIFY(!QFileInfo::exists("/Pdf Convert"));
    verifyControlsEnabled(view);
}

void tst_KImageConvertPdfView::runFoldersNeverReused()
{
    QTemporaryDir out;
    KImageConvertPdfView view;
    view.fileList()->appendFiles({ m_png });
    QVERIFY(runInto(view, out.path()));
    QCOMPARE(view.lastRunFolder(), out.filePath("Pdf Convert"));
    QVERIFY(runInto(view, out.path()));
    QCOMPARE(view.lastRunFolder(), out.filePath("Pdf Convert(1)"));
    QCOMPARE(TestUtils::fileNames(out.filePath("Pdf Convert")), QStringList { "a.pdf" });
    QCOMPARE(TestUtils::fileNames(out.filePath("Pdf Convert(1)")), QStringList { "a.pdf" });
}

void tst_KImageConvertPdfView::rowsChangedDuringARun()
{
    QTemporaryDir out;
    const QString b = writeImage(m_inputs.path(), "b.png", "PNG");
    const QString c = writeImage(m_inputs.path(), "c.png", "PNG");
    const QString d = writeImage(m_inputs.path(), "d.png", "PNG");
    KImageConvertPdfView view;
    view.show();
    KTableListView *list = view.fileList();
    list->appendFiles({ m_png, b, c });
    QVERIFY(view.startInto(out.path()));
    QVERIFY(!view.startButton()->isEnabled());
    QVERIFY(!view.startInto(out.path())); // one run at a time

    // The list is locked: nothing is added, a row still waiting for its
    // record stays; a finished row can go and the records still find
    // their own rows.
    QVERIFY(list->appendFiles({ d }).isEmpty());
    QVERIFY(!list->addButton()->isEnabled());
    QVERIFY(!list->clearButton()->isEnabled());
    QVERIFY(TestUtils::waitUntil(
        [list] { return list->row(0)->state() == BatchResult::Succeeded; }, 60000));
    list->row(0)->button(2)->click();
    QVERIFY(TestUtils::waitUntil([&view] { return !view.isRunning(); }, 60000));

    QCOMPARE(list->files(), (QStringList { b, c }));
    QCOMPARE(list->result(0).path, view.lastRunFolder() + "/b.pdf");
    QCOMPARE(list->result(1).path, view.lastRunFolder() + "/c.pdf");
    QCOMPARE(list->appendFiles({ d }), QStringList { d });
    QCOMPARE(list->row(2)->state(), BatchResult::NotStarted);
    verifyControlsEnabled(view);
}

void tst_KImageConvertPdfView::controls()
{
    KImageConvertPdfView view;
    view.show();
    // Password box and label follow the option.
    QVERIFY(!view.passwordBox()->isEnabled());
    QVERIFY(!view.passwordLabel()->isEnabled());
    QCOMPARE(view.passwordBox()->echoMode(), QLineEdit::PasswordEchoOnEdit);
    view.encryptBox()->click();
    QVERIFY(view.passwordBox()->isEnabled());
    QVERIFY(view.passwordLabel()->isEnabled());
    view.encryptBox()->click();
    QVERIFY(!view.passwordBox()->isEnabled());

    // The folder box starts at the desktop; long paths get a tooltip.
    QCOMPARE(
        view.outputFolder(), QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    view.setOutputFolder("/tmp");
    QCOMPARE(view.folderBox()->toolTip(), QString());
    const QString longPath = "/tmp/" + QString(80, 'n') + "/deeper";
    view.setOutputFolder(longPath);
    QCOMPARE(view.folderBox()->toolTip(), longPath);
    QVERIFY(view.folderButton()->isVisible());
    QVERIFY(view.folderButton()->geometry().right() < view.folderBox()->width());

    // Clearing after a run: start disabled, the list's buttons usable.
    QTemporaryDir out;
    view.fileList()->appendFiles({ m_png });
    QVERIFY(runInto(view, out.path()));
    view.fileList()->clearButton()->click();
    QVERIFY(!view.startButton()->isEnabled());
    QVERIFY(view.fileList()->addButton()->isEnabled());
    QVERIFY(view.fileList()->clearButton()->isEnabled());
    QVERIFY(!view.startInto(out.path()));
}

void tst_KImageConvertPdfView::screenshot()
{
    QTemporaryDir out;
    KImageConvertPdfView view;
    QStringList files { m_jpg, m_png };
    for (int i = 0; i < 3; ++i)
        files << writeImage(
            m_inputs.path(), QStringLiteral("holiday scan %1.png").arg(i + 1), "PNG");
    view.fileList()->appendFiles(files);
    view.encryptBox()->setChecked(true);
    view.passwordBox()->setText("secret");
    view.setOutputFolder(out.path());
    QVERIFY(runInto(view, out.path()));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QImage image = view.grab().toImage();
    QCOMPARE(image.size(), QSize(886, 600));
    const QString shots = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        QDir().mkpath(shots);
        QVERIFY(image.save(shots + "/pic-to-pdf.png"));
    }
}

QTEST_MAIN(tst_KImageConvertPdfView)
#include "tst_KImageConvertPdfView.moc"
