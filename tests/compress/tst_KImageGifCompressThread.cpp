#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "TestFixtures.h"
#include "TestUtils.h"
#include "app/AppPaths.h"
#include "compress/KImageGifCompressThread.h"

// The worker against the real converter library of the build tree.
class tst_KImageGifCompressThread : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void libraryBesideTheProgram();
    void compressesThroughTheLibrary_data();
    void compressesThroughTheLibrary();
    void badSourcesFail_data();
    void badSourcesFail();
    void missingLibraryFails();
    void destroyedWhileWorking();

private:
    GifCompressResult runJob(KImageGifCompressThread &worker, const QString &path, int width,
        int height, int percent, int option);
    QTemporaryDir m_dir;
    QString m_source;
};

void tst_KImageGifCompressThread::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVector<QColor> colours;
    for (int i = 0; i < 25; ++i)
        colours << QColor::fromHsv((i * 37) % 360, 180, 230);
    m_source = m_dir.filePath("dance.gif");
    QVERIFY(TestFixtures::writeAnimatedGif(m_source, 400, 300, colours));
}

GifCompressResult tst_KImageGifCompressThread::runJob(KImageGifCompressThread &worker,
    const QString &path, int width, int height, int percent, int option)
{
    QSignalSpy finished(&worker, &KImageGifCompressThread::jobFinished);
    QSignalSpy status(&worker, &KImageGifCompressThread::processStatus);
    const int id = worker.request(path, width, height, percent, option);
    // A fast failure can be reported before the wait starts: count, don't wait for a new one.
    if (!TestUtils::waitUntil([&status]() { return status.count() > 0; }, 60000)
        || finished.count() != 1)
        return GifCompressResult();
    auto result = finished.at(0).at(0).value<GifCompressResult>();
    // Both reports agree, and they belong to the job just asked for.
    if (status.at(0).at(0).value<GifCompressResult::Status>() != result.status
        || result.jobId != id)
        return GifCompressResult();
    return result;
}

void tst_KImageGifCompressThread::libraryBesideTheProgram()
{
    QCOMPARE(KImageGifCompressThread::defaultLibraryPath(), appDir() + "/libqvgifconv.so");
    KImageGifCompressThread worker(QStringLiteral(QVGIFCONV_PATH));
    QVERIFY(worker.isLibraryLoaded());
}

void tst_KImageGifCompressThread::compressesThroughTheLibrary_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("option");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("frames");
    QTest::newRow("width 200, remove 20%") << 200 << 0 << 50 << 2 << QSize(200, 150) << 21;
    QTest::newRow("height 60, remove 50%") << 0 << 60 << 10 << 5 << QSize(80, 60) << 14;
    QTest::newRow("original size, all frames") << 0 << 0 << 90 << 0 << QSize(400, 300) << 25;
}

void tst_KImageGifCompressThread::compressesThroughTheLibrary()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, percent);
    QFETCH(int, option);
    QFETCH(QSize, size);
    QFETCH(int, frames);
    KImageGifCompressThread worker(QStringLiteral(QVGIFCONV_PATH));
    // Two jobs on one worker: the thread goes back to waiting after each.
    for (int round = 0; round < 2; ++round) {
        const GifCompressResult result = runJob(worker, m_source, width, height, percent, option);
        QCOMPARE(result.status, GifCompressResult::Status::Succeeded);
        QVERIFY(result.error.isEmpty());
        QVERIFY(result.bytes.startsWith("GIF8"));
        QCOMPARE(result.frameCount, frames);
        QCOMPARE(result.firstFrame.size(), size);

        // The bytes are a GIF another reader accepts too.
        QBuffer buffer;
        buffer.setData(result.bytes);
        QImageReader reader(&buffer, "gif");
        QCOMPARE(reader.imageCount(), frames);
        QCOMPARE(reader.read().size(), size);
    }
    QVERIFY(worker.isRunning());
    worker.stopWorker();
    QVERIFY(worker.isFinished());
}

void tst_KImageGifCompressThread::badSourcesFail_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("error"); // empty: any reason

    QFile good(m_source);
    QVERIFY(good.open(QIODevice::ReadOnly));
    const QByteArray bytes = good.readAll();
    const QString truncated = m_dir.filePath("truncated.gif");
    QFile cut(truncated);
    QVERIFY(cut.open(QIODevice::WriteOnly));
    cut.write(bytes.left(bytes.size() / 2));
    cut.close();
    const QString damaged = m_dir.filePath("damaged.gif");
    QFile broken(damaged);
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write(TestFixtures::withDamagedLastFrame(bytes));
    broken.close();
    const QString renamed = m_dir.filePath("photo.gif");
    QVERIFY(QImage(20, 20, QImage::Format_RGB32).save(renamed, "PNG"));

    const QString unreadable = QStringLiteral("The GIF file could not be read");
    QTest::newRow("missing file") << m_dir.filePath("gone.gif") << 0 << unreadable;
    QTest::newRow("truncated GIF") << truncated << 0 << unreadable;
    // Only the converter decompresses the pixels; the reason stays the file's.
    QTest::newRow("pixels that do not decompress") << damaged << 0 << unreadable;
    QTest::newRow("PNG named .gif") << renamed << 0 << QString();
    // Beyond what the converter accepts: it refuses, and that is a failure too.
    QTest::newRow("output far too large")
        << m_source << 9999 * 20
        << QStringLiteral("The GIF could not be compressed with these settings");
}

void tst_KImageGifCompressThread::badSourcesFail()
{
    QFETCH(QString, path);
    QFETCH(int, width);
    QFETCH(QString, error);
    KImageGifCompressThread worker(QStringLiteral(QVGIFCONV_PATH));
    const GifCompressResult result = runJob(worker, path, width, 0, 50, 0);
    QVERIFY(result.jobId > 0);
    QCOMPARE(result.status, GifCompressResult::Status::Failed);
    QVERIFY(result.bytes.isEmpty());
    QVERIFY(result.firstFrame.isNull());
    QVERIFY(!result.error.isEmpty());
    if (!error.isEmpty())
        QCOMPARE(result.error, error);
}

void tst_KImageGifCompressThread::missingLibraryFails()
{
    KImageGifCompressThread worker(m_dir.filePath("libnothing.so"));
    QVERIFY(!worker.isLibraryLoaded());
    const GifCompressResult result = runJob(worker, m_source, 200, 0, 50, 2);
    QVERIFY(result.jobId > 0);
    QCOMPARE(result.status, GifCompressResult::Status::Failed);
    QVERIFY(!result.error.isEmpty());
}

void tst_KImageGifCompressThread::destroyedWhileWorking()
{
    // Stopping right after a request joins the thread: a job already inside
    // the library returns and reports first, one not yet picked up is dropped.
    // A stopped worker takes no more jobs.
    auto *worker = new KImageGifCompressThread(QStringLiteral(QVGIFCONV_PATH));
    QSignalSpy status(worker, &KImageGifCompressThread::processStatus);
    QVERIFY(worker->request(m_source, 300, 0, 80, 0) > 0);
    worker->stopWorker();
    QVERIFY(worker->isFinished());
    QVERIFY(status.count() <= 1);
    QCOMPARE(worker->request(m_source, 300, 0, 80, 0), 0);
    QVERIFY(!worker->isRunning());
    delete worker;

    // Destroyed in the middle of a job: the destructor does the same.
    worker = new KImageGifCompressThread(QStringLiteral(QVGIFCONV_PATH));
    QVERIFY(worker->request(m_source, 300, 0, 80, 0) > 0);
    delete worker;

    // Never started: stopping returns at once.
    KImageGifCompressThread idle(QStringLiteral(QVGIFCONV_PATH));
    idle.stopWorker();
    QVERIFY(!idle.isRunning());
    QCOMPARE(idle.request(m_source, 0, 0, 50, 0), 0);
}

QTEST_GUILESS_MAIN(tst_KImageGifCompressThread)
#include "tst_KImageGifCompressThread.moc"
