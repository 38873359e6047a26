// The batch recognition view against the real quorvel-service on loopback,
// and against a loopback stand-in for the answers the real one never gives
// (code 201, no answer at all).
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "FakeService.h"
#include "OnlineViewTesting.h"
#include "TestUtils.h"
#include "app/BatchResult.h"
#include "app/ui/KApplication.h"
#include "online/KvHttp.h"
#include "online/ui/KImageBatchOcrView.h"
#include "widgets/KMessageTips.h"
#include "widgets/KTableListView.h"

using namespace OnlineViewTesting;

namespace {

QString readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll()).toLower().simplified();
}

const QStringList kWords { "alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel",
    "india", "juliet" };

// The protocol of the service as a stand-in plays it: job 2 is failed with
// code 201, job 3 is never answered, every other job succeeds with the text
// "text of jobN.txt".
FakeService::Response scriptedAnswer(
    const QString &base, const FakeService::Request &request, int *created)
{
    const QByteArray path = request.path();
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    if (path == "/api/v1/object/uploadurl")
        return FakeService::json(
            QStringLiteral(R"({"data":{"url":"%1/storage/in"}})").arg(base).toUtf8());
    if (path.startsWith("/storage/in"))
        return FakeService::json("");
    if (path == "/api/v1/ocr/images") {
        ++*created;
        return FakeService::json(
            QStringLiteral(R"({"data":{"jobid":"job%1"}})").arg(*created).toUtf8());
    }
    if (path == "/api/v1/ocr/query") {
        const QString job = body.value("jobid").toString();
        if (job == "job2")
            return FakeService::json(R"({"status":"failed","code":201,"reason":"busy"})");
        if (job == "job3") {
            FakeService::Response silent;
            silent.hold = true;
            return silent;
        }
        return FakeService::json(
            QStringLiteral(R"({"status":"success","result":{"key":"out/%1.txt"}})")
                .arg(job)
                .toUtf8());
    }
    if (path == "/api/v1/object/downloadurl")
        return FakeService::json(QStringLiteral(R"({"data":{"url":"%1/storage/%2"}})")
                                     .arg(base, body.value("key").toString())
                                     .toUtf8());
    if (path.startsWith("/storage/out/")) {
        FakeService::Response text;
        text.contentType = "text/plain";
        text.body = "text of " + path.mid(13);
        return text;
    }
    return FakeService::json("{}", 404);
}

} // namespace

class tst_KImageBatchOcrView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void moreThanFiftyAsksFirst_data();
    void moreThanFiftyAsksFirst();
    void combinedTextKeepsListOrderWhenTheLastFails();
    void eachFileGetsItsOwnText();
    void silentOr201FailsOnlyThatRow();
    void largeTextPageGoesReducedNamedAfterItsSource();

private:
    QStringList writeWordImages(const QString &dir, int count);
    bool runBatch(KImageBatchOcrView &view, int timeoutMs = 240000);

    QTemporaryDir m_dir;
};

void tst_KImageBatchOcrView::initTestCase()
{
    KApplication::installFontSubstitutions();
    QString error;
    QVERIFY2(!startServiceAndLogIn(&error).isEmpty(), qPrintable(error));
}

QStringList tst_KImageBatchOcrView::writeWordImages(const QString &dir, int count)
{
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString word = kWords.at(i % kWords.size());
        const QString path
            = dir + QStringLiteral("/%1 %2.png").arg(i, 2, 10, QLatin1Char('0')).arg(word);
        if (renderedWords(word, QSize(360, 90)).save(path))
            paths << path;
    }
    return paths;
}

bool tst_KImageBatchOcrView::runBatch(KImageBatchOcrView &view, int timeoutMs)
{
    QSignalSpy finished(&view, &KImageBatchOcrView::batchFinished);
    view.onStartConvert();
    return finished.wait(timeoutMs);
}

void tst_KImageBatchOcrView::moreThanFiftyAsksFirst_data()
{
    QTest::addColumn<bool>("agree");
    QTest::newRow("I knwon") << true;
    QTest::newRow("cancel") << false;
}

void tst_KImageBatchOcrView::moreThanFiftyAsksFirst()
{
    QFETCH(bool, agree);
    QTemporaryDir in;
    QTemporaryDir out;
    const QStringList paths = writeWordImages(in.path(), 51);
    QCOMPARE(paths.size(), 51);

    KImageBatchOcrView view;
    view.client()->setPollInterval(100);
    view.setOutputFolder(out.path());
    QVERIFY(!view.startButton()->isEnabled());
    screenshot(&view, QStringLiteral("batch-empty"));
    view.fileList()->appendFiles(paths);
    QVERIFY(view.startButton()->isEnabled());
    QSignalSpy finished(&view, &KImageBatchOcrView::batchFinished);
    view.onStartConvert();
    KMessageTips *tips = visibleTips(&view);
    QVERIFY(tips);
    QCOMPARE(tips->title(), QStringLiteral("Batch Ocr"));
    QCOMPARE(tips->message(), QStringLiteral("up convert 50 images!"));
    if (!agree) {
        tips->rightButton()->click();
        QTest::qWait(100);
        QVERIFY(!view.isRunning());
        QCOMPARE(view.fileList()->files().size(), 51);
        QVERIFY(TestUtils::fileNames(out.path()).isEmpty());
        QVERIFY(QDir(out.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
        return;
    }
    screenshot(tips, QStringLiteral("batch-limit"));
    tips->leftButton()->click();
    QVERIFY(TestUtils::waitUntil([&] { return view.isRunning(); }, 5000));
    QCOMPARE(view.fileList()->files(), paths.mid(0, 50));
    QVERIFY(!view.startButton()->isEnabled());
    QVERIFY(finished.wait(300000));
    QCOMPARE(view.runFolder(), out.filePath(QStringLiteral("Batch Ocr")));
    QStringList expected;
    for (int row = 0; row < 50; ++row) {
        const BatchResult result = view.fileList()->result(row);
        QCOMPARE(result.status, int(BatchResult::Succeeded));
        QCOMPARE(result.path,
            view.runFolder() + QLatin1Char('/') + QFileInfo(paths.at(row)).fileName()
                + QStringLiteral(".txt"));
        expected << QFileInfo(result.path).fileName();
    }
    expected.sort();
    QCOMPARE(TestUtils::fileNames(view.runFolder()), expected);
    QVERIFY(readText(view.fileList()->result(49).path).contains(kWords.at(49 % kWords.size())));
    QVERIFY(view.startButton()->isEnabled());
    screenshot(&view, QStringLiteral("batch-result"));
}

void tst_KImageBatchOcrView::combinedTextKeepsListOrderWhenTheLastFails()
{
    QTemporaryDir in;
    QTemporaryDir out;
    QStringList paths = writeWordImages(in.path(), 3);
    // Not a picture at all: the service fails it.
    paths << TestUtils::writeFile(in.path(), QStringLiteral("zz broken.png"), "not a picture");

    KImageBatchOcrView view;
    view.client()->setPollInterval(100);
    view.setOutputFolder(out.path());
    view.fileList()->appendFiles(paths);
    view.combineBox()->setChecked(true);
    QVERIFY(view.combines());
    QVERIFY(runBatch(view));

    const QString combined
        = view.runFolder() + QStringLiteral("/") + QFileInfo(paths.first()).fileName() + ".txt";
    QCOMPARE(view.combinedPath(), combined);
    QCOMPARE(
        TestUtils::fileNames(view.runFolder()), QStringList { QFileInfo(combined).fileName() });
    const QString text = readText(combined);
    const int a = text.indexOf(QStringLiteral("alpha"));
    const int b = text.indexOf(QStringLiteral("bravo"));
    const int c = text.indexOf(QStringLiteral("charlie"));
    QVERIFY2(a >= 0 && a < b && b < c, qPrintable(text));
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(view.fileList()->result(row).status, int(BatchResult::Succeeded));
        QCOMPARE(view.fileList()->result(row).path, combined);
    }
    QCOMPARE(view.fileList()->result(3).status, int(BatchResult::Failed));

    // A second run makes a folder of its own and starts its text afresh.
    QVERIFY(runBatch(view));
    QCOMPARE(view.runFolder(), out.filePath(QStringLiteral("Batch Ocr(1)")));
    QCOMPARE(readText(view.combinedPath()), text);
}

void tst_KImageBatchOcrView::eachFileGetsItsOwnText()
{
    QTemporaryDir in;
    QTemporaryDir out;
    const QStringList paths = writeWordImages(in.path(), 2);
    KImageBatchOcrView view;
    view.client()->setPollInterval(100);
    view.setOutputFolder(out.path());
    view.fileList()->appendFiles(paths);
    screenshot(&view, QStringLiteral("batch-listed"));
    // Word output cannot be combined.
    view.formatGroup()->button(KImageBatchOcrView::Word)->click();
    QVERIFY(!view.combineBox()->isEnabled());
    view.formatGroup()->button(KImageBatchOcrView::Text)->click();
    QVERIFY(view.combineBox()->isEnabled());
    QVERIFY(runBatch(view));
    for (int row = 0; row < 2; ++row) {
        const BatchResult result = view.fileList()->result(row);
        QCOMPARE(result.status, int(BatchResult::Succeeded));
        QCOMPARE(QFileInfo(result.path).fileName(), QFileInfo(paths.at(row)).fileName() + ".txt");
        QVERIFY(readText(result.path).contains(kWords.at(row)));
    }
}

void tst_KImageBatchOcrView::silentOr201FailsOnlyThatRow()
{
    // Job 2 is failed with code 201, job 3 is never answered; 1 and 4 succeed.
    FakeService fake;
    QVERIFY(fake.listen());
    const QString base = fake.baseUrl();
    int created = 0;
    fake.setHandler([&](const FakeService::Request &request) {
        return scriptedAnswer(base, request, &created);
    });

    QTemporaryDir in;
    QTemporaryDir out;
    const QStringList paths = writeWordImages(in.path(), 4);
    KImageBatchOcrView view;
    view.client()->setBaseUrl(base);
    view.client()->setPollInterval(100);
    view.setJobTimeout(1500);
    view.setOutputFolder(out.path());
    view.fileList()->appendFiles(paths);
    QVERIFY(runBatch(view, 30000));

    const QList<int> expected { BatchResult::Succeeded, BatchResult::Failed, BatchResult::Failed,
        BatchResult::Succeeded };
    for (int row = 0; row < 4; ++row)
        QCOMPARE(view.fileList()->result(row).status, expected.at(row));
    QCOMPARE(created, 4);
    QCOMPARE(readText(view.fileList()->result(0).path), QStringLiteral("text of job1.txt"));
    QCOMPARE(readText(view.fileList()->result(3).path), QStringLiteral("text of job4.txt"));
    QCOMPARE(TestUtils::fileNames(view.runFolder()).size(), 2);
    // The silent job was given up on the service too.
    QVERIFY(!fake.requestsTo("/api/v1/cancel/job3").isEmpty());
    screenshot(&view, QStringLiteral("batch-failed-rows"));
    QVERIFY(view.startButton()->isEnabled());
}

void tst_KImageBatchOcrView::largeTextPageGoesReducedNamedAfterItsSource()
{
    FakeService fake;
    QVERIFY(fake.listen());
    const QString base = fake.baseUrl();
    int created = 0;
    fake.setHandler([&](const FakeService::Request &request) {
        return scriptedAnswer(base, request, &created);
    });
    QTemporaryDir in;
    QTemporaryDir out;
    const QString page = in.filePath(QStringLiteral("big page.png"));
    QVERIFY(noiseImage(QSize(1000, 1000)).save(page));
    QVERIFY(QFileInfo(page).size() > 2097152);
    const QStringList before
        = QDir::temp().entryList({ QStringLiteral("big page*.jpg") }, QDir::Files);

    KImageBatchOcrView view;
    view.client()->setBaseUrl(base);
    view.client()->setPollInterval(100);
    view.setOutputFolder(out.path());
    view.fileList()->appendFiles({ page });
    QVERIFY(runBatch(view, 30000));

    const QList<FakeService::Request> puts = fake.requestsTo("/storage/in");
    QCOMPARE(puts.size(), 1);
    QCOMPARE(QImage::fromData(puts.first().body, "JPEG").size(), QSize(1440, 1440));
    const BatchResult result = view.fileList()->result(0);
    QCOMPARE(result.status, int(BatchResult::Succeeded));
    QCOMPARE(QFileInfo(result.path).fileName(), QStringLiteral("big page.png.txt"));
    QCOMPARE(QDir::temp().entryList({ QStringLiteral("big page*.jpg") }, QDir::Files), before);
}

QTEST_MAIN(tst_KImageBatchOcrView)
#include "tst_KImageBatchOcrView.moc"
