// The AI enhancement view against the real quorvel-service on loopback.
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
#include "online/ui/KImageAIEnhanceView.h"
#include "widgets/KImageAddImageShowComView.h"
#include "widgets/KImageLoadView.h"
#include "widgets/KMessageTips.h"

using namespace OnlineViewTesting;

class tst_KImageAIEnhanceView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void sizeCheckAsksAndReduces_data();
    void sizeCheckAsksAndReduces();
    void resultsAreKeptPerOperation();
    void savingProposesTheSourceNameMadeUnique();
    void progressCreepsByFive();

private:
    bool runJob(KImageAIEnhanceView &view, bool *ok);
    QTemporaryDir m_dir;
    QString m_photo;
};

void tst_KImageAIEnhanceView::initTestCase()
{
    KApplication::installFontSubstitutions();
    QString error;
    QVERIFY2(!startServiceAndLogIn(&error).isEmpty(), qPrintable(error));
    // A dull grey picture with some text: something for contrast to enhance.
    QImage photo = renderedWords(QStringLiteral("low contrast"), QSize(400, 300));
    for (int y = 0; y < photo.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x) {
            const int v = 100 + qGray(line[x]) / 4;
            line[x] = qRgb(v, v, v);
        }
    }
    m_photo = m_dir.filePath(QStringLiteral("photo.png"));
    QVERIFY(photo.save(m_photo));
}

bool tst_KImageAIEnhanceView::runJob(KImageAIEnhanceView &view, bool *ok)
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

void tst_KImageAIEnhanceView::sizeCheckAsksAndReduces_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("noise"); // a file over 2 MiB
    QTest::addColumn<QSize>("sent");
    QTest::newRow("colouring 900 x 600") << 1 << QSize(900, 600) << false << QSize(800, 533);
    QTest::newRow("contrast, 3 MB of 1000 x 1000")
        << 0 << QSize(1000, 1000) << true << QSize(1440, 1440);
    QTest::newRow("stretch, 3 MB of 1000 x 1000")
        << 2 << QSize(1000, 1000) << true << QSize(1440, 1440);
}

void tst_KImageAIEnhanceView::sizeCheckAsksAndReduces()
{
    QFETCH(int, operation);
    QFETCH(QSize, size);
    QFETCH(bool, noise);
    QFETCH(QSize, sent);
    const QString path = m_dir.filePath(QStringLiteral("large %1.png").arg(operation));
    QVERIFY((noise ? noiseImage(size) : renderedWords(QStringLiteral("large"), size)).save(path));

    KImageAIEnhanceView view;
    QVERIFY(view.loadFile(path));
    view.modeGroup()->button(operation)->click();
    QCOMPARE(view.client()->serviceType(), 5 + operation);

    // "cancel": no job.
    view.onStartConvert();
    KMessageTips *ask = visibleTips(&view);
    QVERIFY(ask);
    QCOMPARE(ask->message(),
        QStringLiteral("AI conversion image size is too large, whether compression?"));
    QCOMPARE(ask->leftButton()->text(), QStringLiteral("compress"));
    if (operation == 1)
        screenshot(ask, QStringLiteral("ai-size-check"));
    ask->rightButton()->click();
    QTest::qWait(50);
    QVERIFY(!view.isRunning());
    QCOMPARE(view.jobsStarted(), 0);

    // "compress": the reduced JPEG goes, and no copy stays behind.
    const QStringList before
        = QDir::temp().entryList({ QStringLiteral("large*.jpg") }, QDir::Files);
    view.onStartConvert();
    ask = visibleTips(&view);
    QVERIFY(ask);
    ask->leftButton()->click();
    QVERIFY(TestUtils::waitUntil([&] { return view.isRunning(); }, 5000));
    const UploadFile file = view.lastUpload().first();
    QCOMPARE(file.suffix, QStringLiteral("jpg"));
    QCOMPARE(QImage::fromData(file.data, "JPEG").size(), sent);
    QCOMPARE(QDir::temp().entryList({ QStringLiteral("large*.jpg") }, QDir::Files), before);
    view.onProcessOverTime();
}

void tst_KImageAIEnhanceView::resultsAreKeptPerOperation()
{
    KImageAIEnhanceView view;
    screenshot(&view, QStringLiteral("ai-empty"));
    QVERIFY(view.loadFile(m_photo));
    bool ok = false;
    QVERIFY(runJob(view, &ok));
    QVERIFY2(ok, qPrintable(view.lastMessage()));
    QCOMPARE(view.progressDialog()->value(), 0);
    QCOMPARE(view.startButton()->text(), QStringLiteral("save result"));
    const OcrResult contrast = view.cachedResult(KImageAIEnhanceView::ContrastEnhance);
    QCOMPARE(contrast.image.size(), QSize(400, 300));
    QCOMPARE(view.display()->currentPage(), 1);
    screenshot(&view, QStringLiteral("ai-result"));

    view.modeGroup()->button(KImageAIEnhanceView::StretchRecovery)->click();
    QVERIFY(view.needsRun());
    QVERIFY(runJob(view, &ok));
    QVERIFY2(ok, qPrintable(view.lastMessage()));
    QCOMPARE(view.jobsStarted(), 2);

    view.modeGroup()->button(KImageAIEnhanceView::ContrastEnhance)->click();
    QVERIFY(!view.needsRun());
    QCOMPARE(view.resultBytes(), contrast.data);
    view.modeGroup()->button(KImageAIEnhanceView::StretchRecovery)->click();
    QVERIFY(!view.needsRun());
    view.modeGroup()->button(KImageAIEnhanceView::Colouring)->click();
    QVERIFY(view.needsRun());
    QCOMPARE(view.startButton()->text(), QStringLiteral("start convert"));
    QCOMPARE(view.jobsStarted(), 2);

    view.onClearFile();
    QVERIFY(!view.hasResult(KImageAIEnhanceView::ContrastEnhance));
    QVERIFY(!view.startButton()->isEnabled());
}

void tst_KImageAIEnhanceView::savingProposesTheSourceNameMadeUnique()
{
    KImageAIEnhanceView view;
    QVERIFY(view.loadFile(m_photo));
    bool ok = false;
    QVERIFY(runJob(view, &ok));
    QVERIFY(ok);
    const QString proposed = view.proposedSavePath();
    QCOMPARE(proposed, m_dir.filePath(QStringLiteral("photo(1).png")));
    QCOMPARE(view.saveResultTo(proposed), proposed);
    QCOMPARE(view.proposedSavePath(), m_dir.filePath(QStringLiteral("photo(2).png")));
    QFile saved(proposed);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), view.resultBytes());
    // A bare name gets the source's suffix.
    QCOMPARE(view.saveResultTo(m_dir.filePath(QStringLiteral("brighter"))),
        m_dir.filePath(QStringLiteral("brighter.png")));
    KMessageTips *tips = visibleTips(&view);
    QVERIFY(tips);
    QCOMPARE(tips->message(),
        QStringLiteral("Picture ai result has been saved successfully, please open the file or "
                       "open the folder to view"));
    QCOMPARE(tips->leftButton()->text(), QStringLiteral("open file"));
}

void tst_KImageAIEnhanceView::progressCreepsByFive()
{
    KImageAIEnhanceView view;
    view.client()->setPollInterval(60000); // the service stays silent
    QVERIFY(view.loadFile(m_photo));
    view.onStartConvert();
    QVERIFY(view.isRunning());
    QList<int> seen;
    for (int i = 0; i < 22; ++i) {
        view.onProgressUpdateProgress();
        seen.append(view.progressDialog()->value());
    }
    QCOMPARE(seen.mid(0, 3), (QList<int> { 5, 10, 15 }));
    QCOMPARE(seen.last(), 100);
    QCOMPARE(*std::max_element(seen.begin(), seen.end()), 100);
    screenshot(view.progressDialog(), QStringLiteral("ai-progress"));
    view.onProcessOverTime();
    QCOMPARE(view.progressDialog()->value(), 0);
    QVERIFY(!view.progressDialog()->isVisible());
}

QTEST_MAIN(tst_KImageAIEnhanceView)
#include "tst_KImageAIEnhanceView.moc"
