#include <QImageReader>
#include <QThreadPool>
#include <QtTest>

#include "TaskRecords.h"
#include "TestUtils.h"
#include "convert/KImageNormalConvertProcessTask.h"

// The conversion engine without its view: the two records of each task (row,
// status, output, reason) for good and bad inputs, every output format with
// transparency flattened where the format has none, and names that never
// replace a file, also when many tasks write at once.
class tst_KImageNormalConvertProcessTask : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void records_data();
    void records();
    void everyFormat_data();
    void everyFormat();
    void neverOverwrites();
    void concurrentTasksGetTheirOwnNames();
    void readOnlyRunFolder();

private:
    QTemporaryDir m_in;
};

void tst_KImageNormalConvertProcessTask::initTestCase()
{
    QVERIFY(m_in.isValid());
    QVERIFY(TestUtils::photoLikeImage(160, 120).save(m_in.filePath("photo.jpg"), "JPG", 90));
    const QByteArray jpeg = TestUtils::readFile(m_in.filePath("photo.jpg"));
    QVERIFY(!TestUtils::writeFile(m_in.path(), "cut.jpg", jpeg.left(jpeg.size() / 2)).isEmpty());
    QVERIFY(!TestUtils::writeFile(m_in.path(), "words.jpg", "plain words, no picture").isEmpty());
    QVERIFY(!TestUtils::writeFile(m_in.path(), "empty.png", QByteArray()).isEmpty());
    QVERIFY(TestUtils::quadrantImage(40, 20).save(m_in.filePath("png-inside.jpg"), "PNG"));
    QVERIFY(TestUtils::halfTransparentImage(64, 32).save(m_in.filePath("holiday.v2.png")));
}

void tst_KImageNormalConvertProcessTask::records_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<BatchResult::Status>("status");
    QTest::addColumn<QString>("output"); // succeeded: the file name written
    QTest::addColumn<QString>("reason"); // failed: part of the reason
    QTest::newRow("good JPEG") << "photo.jpg" << BatchResult::Succeeded << "photo.png" << QString();
    QTest::newRow("PNG named .jpg")
        << "png-inside.jpg" << BatchResult::Succeeded << "png-inside.png" << QString();
    QTest::newRow("words named .jpg")
        << "words.jpg" << BatchResult::Failed << QString() << "not an image";
    QTest::newRow("truncated JPEG") << "cut.jpg" << BatchResult::Failed << QString() << "truncated";
    QTest::newRow("empty file") << "empty.png" << BatchResult::Failed << QString() << "empty";
    QTest::newRow("missing file") << "gone.jpg" << BatchResult::Failed << QString()
                                  << "no such file";
}

void tst_KImageNormalConvertProcessTask::records()
{
    QFETCH(QString, source);
    QFETCH(BatchResult::Status, status);
    QFETCH(QString, output);
    QFETCH(QString, reason);
    QTemporaryDir out;
    KImageNormalConvertProcessTask task(out.path(), 17, m_in.filePath(source), OutputFormat::Png);
    const QVector<BatchResult> records = recordRun(task);
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[0].index, 17);
    QCOMPARE(records[0].status, BatchResult::Processing);
    QCOMPARE(records[1].index, 17);
    QCOMPARE(records[1].status, status);
    if (status == BatchResult::Succeeded) {
        QCOMPARE(records[1].path, out.filePath(output));
        QVERIFY(records[1].reason.isEmpty());
        QCOMPARE(TestUtils::allFiles(out.path()), QStringList { output });
        QCOMPARE(QImageReader(records[1].path).format(), QByteArray("png"));
    } else {
        QVERIFY(records[1].path.isEmpty());
        QVERIFY2(records[1].reason.contains(reason), qPrintable(records[1].reason));
        QCOMPARE(TestUtils::allFiles(out.path()), QStringList());
    }
}

void tst_KImageNormalConvertProcessTask::everyFormat_data() { addOutputFormatRows(); }

void tst_KImageNormalConvertProcessTask::everyFormat()
{
    QFETCH(OutputFormat, format);
    QFETCH(QByteArray, readerFormat);
    QFETCH(bool, keepsAlpha);
    QTemporaryDir out;
    // Left half opaque red, right half fully transparent; inner dots in the name.
    KImageNormalConvertProcessTask task(out.path(), 0, m_in.filePath("holiday.v2.png"), format);
    const QVector<BatchResult> finals = finalRecords(recordRun(task));
    QCOMPARE(finals.size(), 1);
    QVERIFY2(finals[0].status == BatchResult::Succeeded, qPrintable(finals[0].reason));
    QCOMPARE(finals[0].path, out.filePath("holiday.v2." + outputExtension(format)));
    QCOMPARE(TestUtils::allFiles(out.path()), QStringList { QFileInfo(finals[0].path).fileName() });
    QImageReader reader(finals[0].path);
    QCOMPARE(reader.format(), readerFormat);
    const QImage decoded = reader.read();
    QCOMPARE(decoded.size(), QSize(64, 32));
    const QString mismatch = TestUtils::halfTransparentMismatch(decoded, keepsAlpha);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void tst_KImageNormalConvertProcessTask::neverOverwrites()
{
    // Converting into the source's own folder, to its own format: the source
    // and an earlier result both stay as they were.
    QTemporaryDir dir;
    const QString source = dir.filePath("photo.jpg");
    QVERIFY(QFile::copy(m_in.filePath("photo.jpg"), source));
    QVERIFY(!TestUtils::writeFile(dir.path(), "photo(1).jpg", "an earlier result").isEmpty());
    const QByteArray before = TestUtils::readFile(source);
    KImageNormalConvertProcessTask task(dir.path(), 0, source, OutputFormat::Jpg);
    const QVector<BatchResult> finals = finalRecords(recordRun(task));
    QCOMPARE(finals.size(), 1);
    QCOMPARE(finals[0].status, BatchResult::Succeeded);
    QCOMPARE(finals[0].path, dir.filePath("photo(2).jpg"));
    QCOMPARE(TestUtils::readFile(source), before);
    QCOMPARE(TestUtils::readFile(dir.filePath("photo(1).jpg")), QByteArray("an earlier result"));
}

void tst_KImageNormalConvertProcessTask::concurrentTasksGetTheirOwnNames()
{
    // The view runs one task per file on a pool; files of one base name from
    // different folders race for the same output name.
    QTemporaryDir out;
    QThreadPool pool;
    pool.setMaxThreadCount(4);
    const int count = 8;
    QVector<BatchResult> finals;
    for (int row = 0; row < count; ++row) {
        auto *task = new KImageNormalConvertProcessTask(
            out.path(), row, m_in.filePath("photo.jpg"), OutputFormat::Png);
        // Queued to this thread, as to the view.
        connect(task, &KImageNormalConvertProcessTask::processStatusChanged, this,
            [&finals](const BatchResult &r) {
                if (BatchResult::isFinal(r.status))
                    finals.append(r);
            });
        pool.start(task);
    }
    QVERIFY(TestUtils::waitUntil([&finals]() { return finals.size() == count; }, 60000));
    QVERIFY(pool.waitForDone(10000));
    QStringList expected { "photo.png" };
    for (int i = 1; i < count; ++i)
        expected << QString("photo(%1).png").arg(i);
    expected.sort();
    QCOMPARE(TestUtils::allFiles(out.path()), expected);
    QSet<int> rows;
    QSet<QString> paths;
    for (const BatchResult &r : finals) {
        QCOMPARE(r.status, BatchResult::Succeeded);
        rows.insert(r.index);
        paths.insert(r.path);
        QCOMPARE(QImage(r.path).size(), QSize(160, 120));
    }
    QCOMPARE(rows.size(), count);
    QCOMPARE(paths.size(), count);
}

void tst_KImageNormalConvertProcessTask::readOnlyRunFolder()
{
    QTemporaryDir parent;
    const QString runFolder = parent.filePath("format convert");
    QVERIFY(QDir().mkpath(runFolder));
    TestUtils::ReadOnlyFolder readOnly(runFolder);
    if (!readOnly.isReadOnly())
        QSKIP("the folder could not be made read-only here");
    KImageNormalConvertProcessTask task(
        runFolder, 3, m_in.filePath("photo.jpg"), OutputFormat::Tif);
    const QVector<BatchResult> finals = finalRecords(recordRun(task));
    QCOMPARE(finals.size(), 1);
    QCOMPARE(finals[0].index, 3);
    QCOMPARE(finals[0].status, BatchResult::Failed);
    QVERIFY(finals[0].path.isEmpty());
    QVERIFY2(finals[0].reason.contains(readOnly.refusal()), qPrintable(finals[0].reason));
    QCOMPARE(TestUtils::allFiles(runFolder), QStringList());
}

QTEST_GUILESS_MAIN(tst_KImageNormalConvertProcessTask)
#include "tst_KImageNormalConvertProcessTask.moc"
