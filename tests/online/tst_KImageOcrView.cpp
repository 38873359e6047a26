// The text recognition view against the real quorvel-service on loopback.
#include <QButtonGroup>
#include <QDir>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "OnlineViewTesting.h"
#include "TestUtils.h"
#include "app/ui/KApplication.h"
#include "online/KvHttp.h"
#include "online/ui/KImageOcrCompareView.h"
#include "online/ui/KImageOcrResultLabel.h"
#include "online/ui/KImageOcrShowCompareView.h"
#include "online/ui/KImageOcrView.h"
#include "widgets/KImageAddFileShowView.h"
#include "widgets/KImageLoadView.h"
#include "widgets/KMessageTips.h"

using namespace OnlineViewTesting;

namespace {

bool runJob(KOnlineJobView &view, bool *ok)
{
    QSignalSpy finished(&view, &KOnlineJobView::jobFinished);
    view.onStartConvert();
    if (!view.isRunning())
        return false;
    if (!finished.wait(90000))
        return false;
    *ok = finished.last().value(0).toBool();
    return true;
}

QString shownText(const KImageOcrView &view)
{
    return view.display()->comparePage()->textLabel()->plainText().toLower().simplified();
}

QStringList leftovers(const QString &baseName)
{
    return QDir::temp().entryList({ baseName + QStringLiteral("*.jpg") }, QDir::Files);
}

} // namespace

class tst_KImageOcrView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void textWordTextShowsCachedResults();
    void largeFileIsSentEnlargedInTextModeOnly();
    void savingAddsTheModeExtension_data();
    void savingAddsTheModeExtension();
    void unwritableResultIsReported();
    void unreachableServiceIsNamed();
    void timeoutCancelsAndReenables();
    void closingTheProgressDialogGivesUp();
    void droppedFilesAreIgnored();

private:
    QString writeImage(const QString &name, const QImage &image);

    QTemporaryDir m_dir;
    QString m_words;
};

void tst_KImageOcrView::initTestCase()
{
    KApplication::installFontSubstitutions();
    QString error;
    QVERIFY2(!startServiceAndLogIn(&error).isEmpty(), qPrintable(error));
    m_words = writeImage(QStringLiteral("words.png"),
        renderedWords(QStringLiteral("Pack my box with five dozen jugs")));
}

QString tst_KImageOcrView::writeImage(const QString &name, const QImage &image)
{
    const QString path = m_dir.filePath(name);
    if (!image.save(path))
        return QString();
    return path;
}

void tst_KImageOcrView::textWordTextShowsCachedResults()
{
    KImageOcrView view;
    screenshot(&view, QStringLiteral("ocr-text-empty"));
    QVERIFY(view.loadFile(m_words));
    QCOMPARE(view.startButton()->text(), QStringLiteral("start convert"));
    QVERIFY(view.startButton()->isEnabled());

    bool ok = false;
    QVERIFY(runJob(view, &ok));
    QVERIFY2(ok, qPrintable(view.lastMessage()));
    QCOMPARE(view.progressDialog()->value(), 100);
    QVERIFY(!view.progressDialog()->isVisible());
    QCOMPARE(view.startButton()->text(), QStringLiteral("save result"));
    QCOMPARE(view.display()->currentPage(), 1);
    QVERIFY(view.display()->comparePage()->showsText());
    QVERIFY2(
        shownText(view).contains(QStringLiteral("five dozen jugs")), qPrintable(shownText(view)));
    const QByteArray text = view.resultBytes();
    screenshot(&view, QStringLiteral("ocr-text-result"));

    // Word has no result yet: the source is shown again and a job is offered.
    view.modeGroup()->button(KImageOcrView::WordMode)->click();
    QVERIFY(view.needsRun());
    QCOMPARE(view.startButton()->text(), QStringLiteral("start convert"));
    QCOMPARE(view.display()->currentPage(), 0);
    QCOMPARE(view.client()->serviceType(), 3);
    QVERIFY(runJob(view, &ok));
    QVERIFY2(ok, qPrintable(view.lastMessage()));
    QVERIFY(!view.display()->comparePage()->showsText());
    const QByteArray word = view.resultBytes();
    QVERIFY(word.startsWith("PK")); // a .docx is a zip archive
    screenshot(&view, QStringLiteral("ocr-word-result"));
    QCOMPARE(view.jobsStarted(), 2);

    // Back and forth: each mode shows its own result and no job starts.
    view.modeGroup()->button(KImageOcrView::TextMode)->click();
    QVERIFY(!view.needsRun());
    QCOMPARE(view.startButton()->text(), QStringLiteral("save result"));
    QCOMPARE(view.resultBytes(), text);
    QVERIFY(view.display()->comparePage()->showsText());
    QVERIFY(shownText(view).contains(QStringLiteral("five dozen jugs")));
    view.modeGroup()->button(KImageOcrView::WordMode)->click();
    QCOMPARE(view.resultBytes(), word);
    QCOMPARE(view.jobsStarted(), 2);
    QVERIFY(!view.isRunning());

    // Another image empties the cache.
    QVERIFY(view.loadFile(m_words));
    QVERIFY(!view.hasResult(KImageOcrView::TextMode));
    QVERIFY(view.needsRun());
}

void tst_KImageOcrView::largeFileIsSentEnlargedInTextModeOnly()
{
    // A 1000 x 1000 picture in a file over 2 MiB.
    const QString path
        = writeImage(QStringLiteral("noisy page.png"), noiseImage(QSize(1000, 1000)));
    QVERIFY(QFileInfo(path).size() > 2097152);
    QByteArray original;
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        original = file.readAll();
    }
    const QStringList before = leftovers(QStringLiteral("noisy page"));

    KImageOcrView view;
    QVERIFY(view.loadFile(path));
    view.onStartConvert();
    QVERIFY(view.isRunning());
    QCOMPARE(view.lastUpload().size(), 1);
    const UploadFile sent = view.lastUpload().first();
    QCOMPARE(sent.suffix, QStringLiteral("jpg"));
    QVERIFY(sent.name.startsWith(QStringLiteral("noisy page")));
    const QImage uploaded = QImage::fromData(sent.data, "JPEG");
    QCOMPARE(uploaded.size(), QSize(1440, 1440));
    QCOMPARE(sent.size, qint64(sent.data.size()));
    // The reduced copy was read and removed at once.
    QCOMPARE(leftovers(QStringLiteral("noisy page")), before);
    view.onProcessOverTime();
    QVERIFY(!view.isRunning());

    view.modeGroup()->button(KImageOcrView::WordMode)->click();
    view.onStartConvert();
    QVERIFY(view.isRunning());
    QCOMPARE(view.lastUpload().first().data, original);
    QCOMPARE(view.lastUpload().first().suffix, QStringLiteral("png"));
    view.onProcessOverTime();
}

void tst_KImageOcrView::savingAddsTheModeExtension_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");
    QTest::newRow("text, bare name") << 0 << "out/result"
                                     << "out/result.txt";
    QTest::newRow("word, bare name") << 1 << "out/result"
                                     << "out/result.docx";
    QTest::newRow("text, own extension kept") << 0 << "out/result.md"
                                              << "out/result.md";
    QTest::newRow("dotted folder, bare name") << 0 << "v1.2/result"
                                              << "v1.2/result.txt";
}

void tst_KImageOcrView::savingAddsTheModeExtension()
{
    QFETCH(int, mode);
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    QTemporaryDir out;
    QVERIFY(QDir(out.path()).mkpath(QFileInfo(out.filePath(typed)).path()));

    KImageOcrView view;
    QVERIFY(view.loadFile(m_words));
    view.modeGroup()->button(mode)->click();
    bool ok = false;
    QVERIFY(runJob(view, &ok));
    QVERIFY2(ok, qPrintable(view.lastMessage()));
    QCOMPARE(view.proposedSavePath(),
        m_dir.filePath(QStringLiteral("words.") + (mode == 1 ? "docx" : "txt")));

    const QString written = view.saveResultTo(out.filePath(typed));
    QCOMPARE(written, out.filePath(saved));
    QFile file(written);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), view.resultBytes());
    KMessageTips *tips = visibleTips(&view);
    QVERIFY(tips);
    QCOMPARE(tips->message(),
        QStringLiteral("Picture recognition result has been saved successfully, please open the "
                       "file or open the folder to view"));
    tips->closeButton()->click();
}

void tst_KImageOcrView::unwritableResultIsReported()
{
    KImageOcrView view;
    QVERIFY(view.loadFile(m_words));
    bool ok = false;
    QVERIFY(runJob(view, &ok));
    QVERIFY(ok);
    // The folder is gone: no success message, nothing written.
    const QString target = m_dir.filePath(QStringLiteral("no such folder/result"));
    QVERIFY(view.saveResultTo(target).isEmpty());
    QVERIFY(!QFileInfo::exists(target + QStringLiteral(".txt")));
    KMessageTips *tips = visibleTips(&view);
    QVERIFY(tips);
    QVERIFY2(tips->message().startsWith(QStringLiteral("The result could not be saved")),
        qPrintable(tips->message()));
    screenshot(tips, QStringLiteral("ocr-save-failed"));
    tips->closeButton()->click();
}

void tst_KImageOcrView::unreachableServiceIsNamed()
{
    KImageOcrView view;
    view.client()->setBaseUrl(QStringLiteral("http://127.0.0.1:%1").arg(closedPort()));
    QVERIFY(view.loadFile(m_words));
    bool ok = true;
    QVERIFY(runJob(view, &ok));
    QVERIFY(!ok);
    KMessageTips *tips = visibleTips(&view);
    QVERIFY(tips);
    QCOMPARE(tips->message(),
        QStringLiteral("Text recognition result faild, please retry\n"
                       "The online service could not be reached."));
    QCOMPARE(tips->leftButton()->text(), QStringLiteral("retry"));
    screenshot(tips, QStringLiteral("ocr-unreachable"));
    // "retry" runs the job again (and fails the same way).
    QSignalSpy finished(&view, &KOnlineJobView::jobFinished);
    tips->leftButton()->click();
    QVERIFY(finished.wait(30000));
    QCOMPARE(view.jobsStarted(), 2);
    QVERIFY(view.startButton()->isEnabled());
    if (KMessageTips *again = visibleTips(&view))
        again->closeButton()->click();
}

void tst_KImageOcrView::timeoutCancelsAndReenables()
{
    KImageOcrView view;
    view.setJobTimeout(300);
    view.client()->setPollInterval(60000); // the job is never asked about
    QVERIFY(view.loadFile(m_words));
    QSignalSpy finished(&view, &KOnlineJobView::jobFinished);
    view.onStartConvert();
    QVERIFY(view.progressDialog()->isVisible());
    QVERIFY(!view.startButton()->isEnabled());
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.last().value(0).toBool(), false);
    QVERIFY(!view.progressDialog()->isVisible());
    QCOMPARE(view.progressDialog()->value(), 0);
    QVERIFY(view.startButton()->isEnabled());
    QVERIFY(view.needsRun());
    // The text view says nothing on a timeout.
    QVERIFY(!visibleTips(&view, 300));
}

void tst_KImageOcrView::closingTheProgressDialogGivesUp()
{
    KImageOcrView view;
    view.client()->setPollInterval(60000);
    QVERIFY(view.loadFile(m_words));
    QSignalSpy finished(&view, &KOnlineJobView::jobFinished);
    view.onStartConvert();
    QVERIFY(view.isRunning());
    screenshot(view.progressDialog(), QStringLiteral("ocr-progress"));
    view.progressDialog()->closeButton()->click();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().value(0).toBool(), false);
    QVERIFY(!view.isRunning());
    QVERIFY(view.startButton()->isEnabled());
    // The dialog is kept for the next job.
    QVERIFY(view.progressDialog());
    QVERIFY(!view.progressDialog()->isVisible());
}

void tst_KImageOcrView::droppedFilesAreIgnored()
{
    KImageOcrView view;
    emit view.display()->addPage()->addFiles({ m_words });
    QVERIFY(view.sourcePath().isEmpty());
    QVERIFY(!view.startButton()->isEnabled());
    QCOMPARE(view.display()->addPage()->currentPage(), 0);
}

QTEST_MAIN(tst_KImageOcrView)
#include "tst_KImageOcrView.moc"
