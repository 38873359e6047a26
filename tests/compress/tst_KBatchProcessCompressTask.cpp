#include <QImageReader>
#include <QtTest>

#include "TaskRecords.h"
#include "TestUtils.h"
#include "compress/JpegSizeSearch.h"
#include "compress/KBatchProcessCompressTask.h"

// The batch compression engine without its view: records per row for good
// and bad inputs, results that really are below the byte limit, JPEG output
// with transparency on white, and the run folder rules.
class tst_KBatchProcessCompressTask : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void recordsPerFile();
    void belowTheLimit_data();
    void belowTheLimit();
    void atAQuality();
    void unreachableSettings_data();
    void unreachableSettings();
    void namesNeverOverwrite();
    void readOnlyRunFolder();

private:
    QVector<BatchResult> run(const QString &outputDir, const QVector<QPair<QString, int>> &files,
        int quality, int sizeValue = 0, int sizeUnit = 1);
    QTemporaryDir m_in;
};

void tst_KBatchProcessCompressTask::initTestCase()
{
    QVERIFY(m_in.isValid());
    QVERIFY(TestUtils::photoLikeImage(640, 480).save(m_in.filePath("photo.png")));
    QVERIFY(TestUtils::photoLikeImage(160, 120).save(m_in.filePath("small.jpg"), "JPG", 95));
    const QByteArray jpeg = TestUtils::readFile(m_in.filePath("small.jpg"));
    QVERIFY(!TestUtils::writeFile(m_in.path(), "cut.jpg", jpeg.left(jpeg.size() / 2)).isEmpty());
    QVERIFY(!TestUtils::writeFile(m_in.path(), "words.png", "plain words, no picture").isEmpty());
    QVERIFY(TestUtils::halfTransparentImage(64, 32).save(m_in.filePath("sticker.png")));
}

QVector<BatchResult> tst_KBatchProcessCompressTask::run(const QString &outputDir,
    const QVector<QPair<QString, int>> &files, int quality, int sizeValue, int sizeUnit)
{
    BatchCompressParams params;
    params.outputDir = outputDir;
    params.quality = quality;
    params.sizeValue = sizeValue;
    params.sizeUnit = sizeUnit;
    params.files = files;
    KBatchProcessCompressTask task(params);
    return recordRun(task);
}

void tst_KBatchProcessCompressTask::recordsPerFile()
{
    QTemporaryDir out;
    const QVector<BatchResult> records = run(out.path(),
        { { m_in.filePath("words.png"), 4 }, { m_in.filePath("small.jpg"), 6 },
            { m_in.filePath("cut.jpg"), 9 }, { m_in.filePath("missing.jpg"), 10 },
            { m_in.filePath("sticker.png"), 12 } },
        80);
    struct Expected
    {
        int index;
        BatchResult::Status status;
        QString output;
        QString reason;
    };
    const QVector<Expected> expected { { 4, BatchResult::Failed, QString(), "not an image" },
        { 6, BatchResult::Succeeded, "small.jpg", QString() },
        { 9, BatchResult::Failed, QString(), "truncated" },
        { 10, BatchResult::Failed, QString(), "no such file" },
        { 12, BatchResult::Succeeded, "sticker.jpg", QString() } };
    const QVector<BatchResult> finals = finalRecords(records);
    QCOMPARE(finals.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(finals[i].index, expected[i].index);
        QCOMPARE(finals[i].status, expected[i].status);
        if (expected[i].status == BatchResult::Succeeded) {
            QCOMPARE(finals[i].path, out.filePath(expected[i].output));
            QVERIFY(finals[i].reason.isEmpty());
        } else {
            QVERIFY(finals[i].path.isEmpty());
            QVERIFY2(finals[i].reason.contains(expected[i].reason), qPrintable(finals[i].reason));
        }
    }
    QCOMPARE(TestUtils::allFiles(out.path()), (QStringList { "small.jpg", "sticker.jpg" }));
    // JPEG has no alpha: what was transparent is white, not black.
    const QString mismatch
        = TestUtils::halfTransparentMismatch(QImage(out.filePath("sticker.jpg")), false);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void tst_KBatchProcessCompressTask::belowTheLimit_data()
{
    QTest::addColumn<int>("sizeValue");
    QTest::addColumn<int>("sizeUnit"); // 1 KB, otherwise MB
    // photo.png: 640 x 480 of noisy gradients.
    QTest::newRow("60 KB") << 60 << 1;
    QTest::newRow("20 KB") << 20 << 1;
    QTest::newRow("5 KB") << 5 << 1;
    QTest::newRow("2 KB") << 2 << 1;
    QTest::newRow("1 KB, the smallest limit") << 1 << 1;
    QTest::newRow("1 MB: far above any quality") << 1 << 2;
}

void tst_KBatchProcessCompressTask::belowTheLimit()
{
    QFETCH(int, sizeValue);
    QFETCH(int, sizeUnit);
    QTemporaryDir out;
    const QVector<BatchResult> finals = finalRecords(
        run(out.path(), { { m_in.filePath("photo.png"), 0 } }, 0, sizeValue, sizeUnit));
    QCOMPARE(finals.size(), 1);
    QVERIFY2(finals[0].status == BatchResult::Succeeded, qPrintable(finals[0].reason));
    const qint64 limit = sizeUnit == 1 ? qint64(sizeValue) * 1024 : qint64(sizeValue) << 20;
    QVERIFY2(QFileInfo(finals[0].path).size() < limit,
        qPrintable(QString::number(QFileInfo(finals[0].path).size())));
    QImageReader reader(finals[0].path);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    const QImage decoded = reader.read();
    QVERIFY(!decoded.isNull());
    // The picture is made smaller only when even quality 10 does not fit.
    QByteArray lowest;
    QVERIFY(JpegSizeSearch::encode(QImage(m_in.filePath("photo.png")), 10, &lowest));
    if (lowest.size() >= limit) {
        QVERIFY(decoded.width() < 640);
        // Shrunk as a whole: the shape stays.
        QVERIFY(qAbs(decoded.width() * 3 - decoded.height() * 4) <= 4);
    } else {
        QCOMPARE(decoded.size(), QSize(640, 480));
    }
    QCOMPARE(TestUtils::allFiles(out.path()), QStringList { "photo.jpg" });
}

void tst_KBatchProcessCompressTask::atAQuality()
{
    // A fixed quality: a higher one never gives a smaller file of the same picture.
    QTemporaryDir out;
    qint64 last = 0;
    for (int quality : { 20, 60, 95 }) {
        const QVector<BatchResult> finals
            = finalRecords(run(out.path(), { { m_in.filePath("photo.png"), 0 } }, quality));
        QCOMPARE(finals.size(), 1);
        QVERIFY2(finals[0].status == BatchResult::Succeeded, qPrintable(finals[0].reason));
        QCOMPARE(QImage(finals[0].path).size(), QSize(640, 480));
        const qint64 size = QFileInfo(finals[0].path).size();
        QVERIFY(size > last);
        last = size;
    }
    QCOMPARE(TestUtils::allFiles(out.path()),
        (QStringList { "photo(1).jpg", "photo(2).jpg", "photo.jpg" }));
}

void tst_KBatchProcessCompressTask::unreachableSettings_data()
{
    QTest::addColumn<int>("sizeValue");
    QTest::addColumn<QString>("reason");
    // An empty size field reads as 0: every file fails at once, saying why,
    // instead of shrinking each picture to nothing first.
    QTest::newRow("empty size field") << 0 << "no size limit was given";
    QTest::newRow("negative size") << -5 << "no size limit was given";
}

void tst_KBatchProcessCompressTask::unreachableSettings()
{
    QFETCH(int, sizeValue);
    QFETCH(QString, reason);
    QTemporaryDir out;
    const QVector<BatchResult> finals = finalRecords(run(out.path(),
        { { m_in.filePath("small.jpg"), 0 }, { m_in.filePath("photo.png"), 1 } }, 0, sizeValue));
    QCOMPARE(finals.size(), 2);
    for (const BatchResult &r : finals) {
        QCOMPARE(r.status, BatchResult::Failed);
        QVERIFY2(r.reason.contains(reason), qPrintable(r.reason));
    }
    QCOMPARE(TestUtils::allFiles(out.path()), QStringList());
}

void tst_KBatchProcessCompressTask::namesNeverOverwrite()
{
    // Compressing into the sources' own folder: the source JPEG is kept, the
    // result takes the next free name; inner dots of a name survive.
    QTemporaryDir dir;
    const QString source = dir.filePath("holiday.v2.jpg");
    QVERIFY(QFile::copy(m_in.filePath("small.jpg"), source));
    const QByteArray before = TestUtils::readFile(source);
    QVERIFY(TestUtils::quadrantImage(40, 20).save(dir.filePath("scan.2024.png")));
    const QVector<BatchResult> finals = finalRecords(
        run(dir.path(), { { source, 0 }, { dir.filePath("scan.2024.png"), 1 } }, 70));
    QCOMPARE(finals.size(), 2);
    QCOMPARE(finals[0].path, dir.filePath("holiday.v2(1).jpg"));
    QCOMPARE(finals[1].path, dir.filePath("scan.2024.jpg"));
    QCOMPARE(TestUtils::readFile(source), before);
}

void tst_KBatchProcessCompressTask::readOnlyRunFolder()
{
    QTemporaryDir parent;
    const QString runFolder = parent.filePath("AI toolbox batch compress");
    QVERIFY(QDir().mkpath(runFolder));
    TestUtils::ReadOnlyFolder readOnly(runFolder);
    if (!readOnly.isReadOnly())
        QSKIP("the folder could not be made read-only here");
    const QVector<BatchResult> finals = finalRecords(run(runFolder,
        { { m_in.filePath("small.jpg"), 0 }, { m_in.filePath("sticker.png"), 1 } }, 0, 10));
    QCOMPARE(finals.size(), 2);
    for (int i = 0; i < finals.size(); ++i) {
        QCOMPARE(finals[i].index, i);
        QCOMPARE(finals[i].status, BatchResult::Failed);
        QVERIFY(finals[i].path.isEmpty());
        QVERIFY2(finals[i].reason.contains(readOnly.refusal()), qPrintable(finals[i].reason));
    }
    QCOMPARE(TestUtils::allFiles(runFolder), QStringList());
}

QTEST_GUILESS_MAIN(tst_KBatchProcessCompressTask)
#include "tst_KBatchProcessCompressTask.moc"
