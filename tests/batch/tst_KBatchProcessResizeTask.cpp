#include <QImageReader>
#include <QtTest>

#include "TaskRecords.h"
#include "TestUtils.h"
#include "batch/KBatchProcessResizeTask.h"
#include "codec/ImageLimits.h"

Q_DECLARE_METATYPE(ResizeParams)

// The resize engine without its page: the records a run sends (row, status,
// output, reason) for good and bad inputs, the sizes it writes, the pixel
// cap on the result, and the run folder rules.
class tst_KBatchProcessResizeTask : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void recordsPerFile();
    void targets_data();
    void targets();
    void refusedTargets_data();
    void refusedTargets();
    void sharedBaseNameNeverOverwrites();
    void readOnlyRunFolder();

private:
    QTemporaryDir m_in;
};

namespace {

ResizeParams percent(double scale)
{
    ResizeParams p;
    p.mode = 1;
    p.scale = scale;
    return p;
}

ResizeParams pixels(int width, int height, bool lockRatio)
{
    ResizeParams p;
    p.mode = 0;
    p.width = width;
    p.height = height;
    p.lockRatio = lockRatio;
    return p;
}

ResizeParams preset(int index)
{
    ResizeParams p;
    p.mode = 2;
    const QSize size = ResizeParams::presetSize(index);
    p.width = size.width();
    p.height = size.height();
    return p;
}

} // namespace

void tst_KBatchProcessResizeTask::initTestCase()
{
    QVERIFY(m_in.isValid());
    QVERIFY(TestUtils::quadrantImage(200, 100).save(m_in.filePath("wide.png")));
    QVERIFY(TestUtils::quadrantImage(1, 300000).save(m_in.filePath("strip.png")));
    QVERIFY(TestUtils::quadrantImage(800, 400).save(m_in.filePath("large.jpg"), "JPG", 95));
    QVERIFY(TestUtils::photoLikeImage(160, 120).save(m_in.filePath("photo.jpg"), "JPG", 90));
    const QByteArray bytes = TestUtils::readFile(m_in.filePath("photo.jpg"));
    QVERIFY(!TestUtils::writeFile(m_in.path(), "cut.jpg", bytes.left(bytes.size() / 2)).isEmpty());
    QVERIFY(!TestUtils::writeFile(m_in.path(), "words.jpg", "plain words, no picture").isEmpty());
}

void tst_KBatchProcessResizeTask::recordsPerFile()
{
    // One group, rows as a list with gaps would give them: each record
    // carries its own row, a "processing" record comes before every result,
    // and a failure does not stop the files after it.
    QTemporaryDir out;
    const QVector<QPair<QString, int>> files { { m_in.filePath("words.jpg"), 3 },
        { m_in.filePath("wide.png"), 5 }, { m_in.filePath("cut.jpg"), 7 },
        { m_in.filePath("missing.png"), 8 }, { m_in.filePath("photo.jpg"), 11 } };
    KBatchProcessResizeTask task(out.path(), files, percent(0.5), OutputFormat::Png);
    const QVector<BatchResult> records = recordRun(task);

    struct Expected
    {
        int index;
        BatchResult::Status status;
        QString output;
        QString reason;
    };
    const QVector<Expected> expected { { 3, BatchResult::Failed, QString(), "not an image" },
        { 5, BatchResult::Succeeded, "wide.png", QString() },
        { 7, BatchResult::Failed, QString(), "truncated" },
        { 8, BatchResult::Failed, QString(), "no such file" },
        { 11, BatchResult::Succeeded, "photo.png", QString() } };
    QCOMPARE(records.size(), 2 * expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const BatchResult &processing = records[2 * i];
        const BatchResult &result = records[2 * i + 1];
        const Expected &want = expected[i];
        QCOMPARE(processing.index, want.index);
        QCOMPARE(processing.status, BatchResult::Processing);
        QCOMPARE(result.index, want.index);
        QCOMPARE(result.status, want.status);
        if (want.status == BatchResult::Succeeded) {
            QCOMPARE(result.path, out.filePath(want.output));
            QVERIFY(result.reason.isEmpty());
        } else {
            QVERIFY(result.path.isEmpty());
            QVERIFY2(result.reason.contains(want.reason), qPrintable(result.reason));
        }
    }
    // The two outputs and nothing else.
    QCOMPARE(TestUtils::allFiles(out.path()), (QStringList { "photo.png", "wide.png" }));
    QCOMPARE(QImage(out.filePath("wide.png")).size(), QSize(100, 50));
}

void tst_KBatchProcessResizeTask::targets_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<ResizeParams>("params");
    QTest::addColumn<QSize>("expected");
    // 200 x 100 PNG
    QTest::newRow("50 percent") << "wide.png" << percent(0.5) << QSize(100, 50);
    QTest::newRow("10 percent, smallest step") << "wide.png" << percent(0.1) << QSize(20, 10);
    QTest::newRow("200 percent, largest step") << "wide.png" << percent(2.0) << QSize(400, 200);
    QTest::newRow("33 percent rounds to nearest") << "wide.png" << percent(0.33) << QSize(66, 33);
    QTest::newRow("width given, ratio kept") << "wide.png" << pixels(50, 0, true) << QSize(50, 25);
    QTest::newRow("height given, ratio kept") << "wide.png" << pixels(0, 40, true) << QSize(80, 40);
    QTest::newRow("both given, ratio kept: width wins")
        << "wide.png" << pixels(60, 60, true) << QSize(60, 30);
    QTest::newRow("both given, ratio free") << "wide.png" << pixels(30, 70, false) << QSize(30, 70);
    QTest::newRow("ratio kept, no side given: own size")
        << "wide.png" << pixels(0, 0, true) << QSize(200, 100);
    QTest::newRow("preset photo size") << "wide.png" << preset(0) << ResizeParams::presetSize(0);
    // 800 x 400 JPEG: decoded at a reduced scale first, then scaled the rest.
    QTest::newRow("JPEG to a quarter, reduced decode")
        << "large.jpg" << percent(0.25) << QSize(200, 100);
    QTest::newRow("JPEG to an odd width, reduced decode")
        << "large.jpg" << pixels(123, 0, true) << QSize(123, 61);
}

void tst_KBatchProcessResizeTask::targets()
{
    QFETCH(QString, source);
    QFETCH(ResizeParams, params);
    QFETCH(QSize, expected);
    QTemporaryDir out;
    KBatchProcessResizeTask task(
        out.path(), { { m_in.filePath(source), 0 } }, params, OutputFormat::Png);
    const QVector<BatchResult> finals = finalRecords(recordRun(task));
    QCOMPARE(finals.size(), 1);
    QVERIFY2(finals[0].status == BatchResult::Succeeded, qPrintable(finals[0].reason));
    const QImage written(finals[0].path);
    QCOMPARE(written.size(), expected);
    // The quadrants stay where they were: red top-left, green top-right,
    // blue bottom-right, white bottom-left.
    const int w = written.width(), h = written.height();
    QVERIFY(TestUtils::colourNear(written.pixel(w / 4, h / 4), qRgb(255, 0, 0), 40));
    QVERIFY(TestUtils::colourNear(written.pixel(3 * w / 4, h / 4), qRgb(0, 255, 0), 40));
    QVERIFY(TestUtils::colourNear(written.pixel(3 * w / 4, 3 * h / 4), qRgb(0, 0, 255), 40));
    QVERIFY(TestUtils::colourNear(written.pixel(w / 4, 3 * h / 4), qRgb(255, 255, 255), 40));
}

void tst_KBatchProcessResizeTask::refusedTargets_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<ResizeParams>("params");
    QTest::addColumn<QString>("reason"); // the start of it
    QTest::newRow("over the pixel cap")
        << "wide.png" << pixels(20000, 20000, false) << ImageLimits::tooLargeReason(20000, 20000);
    QTest::newRow("one side over the cap, ratio kept")
        << "wide.png" << pixels(0, 209715200, true)
        << ImageLimits::tooLargeReason(419430400, 209715200);
    // 1 x 300000: the kept ratio makes the other side larger than any int.
    QTest::newRow("ratio kept past the integer range")
        << "strip.png" << pixels(99999, 0, true) << "too large: 99999 x ";
    QTest::newRow("height rounds to zero")
        << "wide.png" << pixels(1, 0, true)
        << "200 x 100 pixels resized gives 1 x 0, an empty image";
    QTest::newRow("no width, ratio free")
        << "wide.png" << pixels(0, 50, false)
        << "200 x 100 pixels resized gives 0 x 50, an empty image";
}

void tst_KBatchProcessResizeTask::refusedTargets()
{
    QFETCH(QString, source);
    QFETCH(ResizeParams, params);
    QFETCH(QString, reason);
    QTemporaryDir out;
    KBatchProcessResizeTask task(
        out.path(), { { m_in.filePath(source), 2 } }, params, OutputFormat::Jpg);
    const QVector<BatchResult> finals = finalRecords(recordRun(task));
    QCOMPARE(finals.size(), 1);
    QCOMPARE(finals[0].index, 2);
    QCOMPARE(finals[0].status, BatchResult::Failed);
    QVERIFY2(finals[0].reason.startsWith(reason), qPrintable(finals[0].reason));
    QCOMPARE(TestUtils::allFiles(out.path()), QStringList());
}

void tst_KBatchProcessResizeTask::sharedBaseNameNeverOverwrites()
{
    // Files of one base name run in one task, in list order, into a folder
    // that already holds an output of that name: nothing is replaced.
    QTemporaryDir in, out;
    QVERIFY(TestUtils::quadrantImage(40, 20).save(in.filePath("shot.png")));
    QVERIFY(TestUtils::quadrantImage(60, 30).save(in.filePath("shot.bmp")));
    QVERIFY(!TestUtils::writeFile(out.path(), "shot.jpg", "an earlier result").isEmpty());
    KBatchProcessResizeTask task(out.path(),
        { { in.filePath("shot.png"), 0 }, { in.filePath("shot.bmp"), 1 } }, percent(1.0),
        OutputFormat::Jpg);
    const QVector<BatchResult> finals = finalRecords(recordRun(task));
    QCOMPARE(finals.size(), 2);
    QCOMPARE(finals[0].path, out.filePath("shot(1).jpg"));
    QCOMPARE(finals[1].path, out.filePath("shot(2).jpg"));
    QCOMPARE(QImage(finals[0].path).size(), QSize(40, 20));
    QCOMPARE(QImage(finals[1].path).size(), QSize(60, 30));
    QCOMPARE(TestUtils::readFile(out.filePath("shot.jpg")), QByteArray("an earlier result"));
}

void tst_KBatchProcessResizeTask::readOnlyRunFolder()
{
    QTemporaryDir parent;
    const QString runFolder = parent.filePath("quorvel");
    QVERIFY(QDir().mkpath(runFolder));
    TestUtils::ReadOnlyFolder readOnly(runFolder);
    if (!readOnly.isReadOnly())
        QSKIP("the folder could not be made read-only here");
    KBatchProcessResizeTask task(runFolder,
        { { m_in.filePath("wide.png"), 0 }, { m_in.filePath("photo.jpg"), 1 } }, percent(0.5),
        OutputFormat::Png);
    const QVector<BatchResult> finals = finalRecords(recordRun(task));
    QCOMPARE(finals.size(), 2);
    for (const BatchResult &r : finals) {
        QCOMPARE(r.status, BatchResult::Failed);
        QVERIFY(r.path.isEmpty());
        QVERIFY2(r.reason.contains(readOnly.refusal()), qPrintable(r.reason));
    }
    QCOMPARE(TestUtils::allFiles(runFolder), QStringList());
}

QTEST_GUILESS_MAIN(tst_KBatchProcessResizeTask)
#include "tst_KBatchProcessResizeTask.moc"
