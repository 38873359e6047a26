#include <QSignalSpy>
#include <QtTest>

#include "TestUtils.h"
#include "compress/JpegSizeSearch.h"
#include "compress/ProcessCompressThread.h"

namespace {

QImage photo(int w, int h) { return TestUtils::photoLikeImage(w, h); }

int sizeAt(const QImage &image, int q)
{
    QByteArray bytes;
    return JpegSizeSearch::encode(image, q, &bytes) ? bytes.size() : -1;
}

struct Run
{
    QList<QList<QVariant>> reports;
    QByteArray bytes;
    int quality = 0;
    QSize size;
};

Run compress(const QImage &image, const CompressParams &params)
{
    ProcessCompressThread engine(image, params);
    QSignalSpy spy(&engine, &ProcessCompressThread::processStatusChanged);
    engine.start();
    engine.wait();
    Run run;
    for (const auto &r : spy)
        run.reports << r;
    run.bytes = engine.compressData();
    run.quality = engine.usedQuality();
    run.size = engine.usedSize();
    return run;
}

CompressParams sizeParams(qint64 bytes)
{
    CompressParams p;
    p.quality = 0;
    p.sizeUnit = 1;
    p.sizeValue = int(bytes / 1024);
    p.sourcePath = "/photos/holiday.png";
    return p;
}

} // namespace

class tst_ProcessCompressThread : public QObject
{
    Q_OBJECT
private slots:
    void qualityModeEncodesOnce();
    void limitMetAt45EndsThereWithoutShrinking();
    void limitBelowQuality10Shrinks();
    void overshootStepsBackToThatQualitysBytes_data();
    void overshootStepsBackToThatQualitysBytes();
    void limitAboveQuality100KeepsEverything();
    void zeroLimitFails();
    void emptySourceFails();
    void transparencyBecomesWhite();
    void stoppedSearchReportsFailure();
};

void tst_ProcessCompressThread::qualityModeEncodesOnce()
{
    const QImage image = photo(320, 240);
    CompressParams p;
    p.quality = 65;
    p.sourcePath = "/photos/a.b.png";
    const Run run = compress(image, p);
    QCOMPARE(run.reports.size(), 2);
    QCOMPARE(run.reports[0].value(0).value<ProcessCompressThread::Status>(),
        ProcessCompressThread::Status::Working);
    QCOMPARE(run.reports[0].value(1).toInt(), 50);
    QCOMPARE(run.reports[1].value(0).value<ProcessCompressThread::Status>(),
        ProcessCompressThread::Status::Succeeded);
    QCOMPARE(run.reports[1].value(1).toInt(), 100);
    // The base name drops one extension and the unique-name rule another.
    QCOMPARE(run.reports[1].value(2).toString(), QString("/a.jpg"));
    QByteArray expected;
    QVERIFY(JpegSizeSearch::encode(image, 65, &expected));
    QCOMPARE(run.bytes, expected);
}

void tst_ProcessCompressThread::limitMetAt45EndsThereWithoutShrinking()
{
    const QImage image = photo(640, 480);
    const int at45 = sizeAt(image, 45), at50 = sizeAt(image, 50);
    QVERIFY(at45 < at50);
    // Between the two sizes, on a KB boundary.
    const qint64 limit = (qint64(at45) / 1024 + 1) * 1024;
    if (limit >= at50)
        QSKIP("the writer's 45 and 50 results share a kilobyte on this machine");
    const Run run = compress(image, sizeParams(limit));
    QCOMPARE(run.reports.last().value(0).value<ProcessCompressThread::Status>(),
        ProcessCompressThread::Status::Succeeded);
    QCOMPARE(run.quality, 45);
    QCOMPARE(run.size, image.size());
    QVERIFY(run.bytes.size() < limit);
    QCOMPARE(run.bytes.size(), at45);
}

void tst_ProcessCompressThread::limitBelowQuality10Shrinks()
{
    const QImage image = photo(400, 300);
    const int at10 = sizeAt(image, 10);
    const qint64 limit = (qint64(at10) / 1024) * 1024; // just below the quality-10 size
    QVERIFY(limit > 0 && limit < at10);
    const Run run = compress(image, sizeParams(limit));
    QCOMPARE(run.reports.last().value(0).value<ProcessCompressThread::Status>(),
        ProcessCompressThread::Status::Succeeded);
    QVERIFY(run.bytes.size() < limit);
    // Shrunk by 0.8 per side as often as needed, then the quality walk from 50.
    QVERIFY(run.size.width() <= 320);
    int w = 400, h = 300;
    while (w > run.size.width()) {
        w = int(w * 0.8);
        h = int(h * 0.8);
    }
    QCOMPARE(run.size, QSize(w, h));
    QCOMPARE(run.quality % 5, 0);
    // Reports: 10 (encode at 10), 20 (shrink), 30 (encode at 10 again) ...
    QCOMPARE(run.reports[0].value(1).toInt(), 10);
    QCOMPARE(run.reports[1].value(1).toInt(), 20);
    QCOMPARE(run.reports[2].value(1).toInt(), 30);
    QImage decoded;
    QVERIFY(decoded.loadFromData(run.bytes, "JPG"));
    QCOMPARE(decoded.size(), run.size);
}

void tst_ProcessCompressThread::overshootStepsBackToThatQualitysBytes_data()
{
    QTest::addColumn<int>("quality");
    QTest::newRow("between 60 and 65") << 60;
    QTest::newRow("between 75 and 80") << 75;
    QTest::newRow("between 90 and 95") << 90;
}

// Walking up from 50, the first quality over the limit sends the search one
// step back; the bytes it ends with are exactly that quality's encoding,
// whether or not that encoding is made a second time.
void tst_ProcessCompressThread::overshootStepsBackToThatQualitysBytes()
{
    QFETCH(int, quality);
    const QImage image = photo(640, 480);
    QByteArray expected;
    QVERIFY(JpegSizeSearch::encode(image, quality, &expected));
    const int next = sizeAt(image, quality + 5);
    // The limit is given in kilobytes: the first one above this quality's size.
    const qint64 limit = (qint64(expected.size()) / 1024 + 1) * 1024;
    QVERIFY(limit < next);
    const Run run = compress(image, sizeParams(limit));
    QCOMPARE(run.reports.last().value(0).value<ProcessCompressThread::Status>(),
        ProcessCompressThread::Status::Succeeded);
    QCOMPARE(run.quality, quality);
    QCOMPARE(run.size, image.size());
    QVERIFY(run.bytes == expected);
}

void tst_ProcessCompressThread::limitAboveQuality100KeepsEverything()
{
    const QImage image = photo(200, 150);
    const qint64 limit = (qint64(sizeAt(image, 100)) / 1024 + 2) * 1024;
    const Run run = compress(image, sizeParams(limit));
    QCOMPARE(run.reports.last().value(0).value<ProcessCompressThread::Status>(),
        ProcessCompressThread::Status::Succeeded);
    QCOMPARE(run.quality, 100);
    QCOMPARE(run.size, image.size());
    QVERIFY(run.bytes.size() < limit);
    // Progress is a running counter, not a percentage.
    int last = 0;
    for (int i = 0; i + 1 < run.reports.size(); ++i) {
        QVERIFY(run.reports[i].value(1).toInt() > last);
        last = run.reports[i].value(1).toInt();
    }
}

void tst_ProcessCompressThread::zeroLimitFails()
{
    CompressParams p = sizeParams(0);
    const Run run = compress(photo(64, 48), p);
    QCOMPARE(run.reports.last().value(0).value<ProcessCompressThread::Status>(),
        ProcessCompressThread::Status::Failed);
    QCOMPARE(run.reports.last().value(1).toInt(), 100);
    QVERIFY(run.bytes.isEmpty());
}

void tst_ProcessCompressThread::emptySourceFails()
{
    CompressParams p;
    p.quality = 65;
    const Run run = compress(QImage(), p);
    QCOMPARE(run.reports.last().value(0).value<ProcessCompressThread::Status>(),
        ProcessCompressThread::Status::Failed);
}

void tst_ProcessCompressThread::transparencyBecomesWhite()
{
    CompressParams p;
    p.quality = 95;
    const Run run = compress(TestUtils::halfTransparentImage(64, 64), p);
    QImage decoded;
    QVERIFY(decoded.loadFromData(run.bytes, "JPG"));
    QVERIFY(TestUtils::colourNear(decoded.pixel(56, 32), qRgb(255, 255, 255), 6));
    QVERIFY(TestUtils::colourNear(decoded.pixel(8, 32), qRgb(200, 30, 30), 12));
}

void tst_ProcessCompressThread::stoppedSearchReportsFailure()
{
    const QImage big = photo(2400, 1800);
    ProcessCompressThread engine(big, sizeParams(4096));
    QSignalSpy spy(&engine, &ProcessCompressThread::processStatusChanged);
    engine.start();
    QThread::msleep(30);
    engine.stop();
    QVERIFY(engine.wait(20000));
    QCOMPARE(spy.last().value(0).value<ProcessCompressThread::Status>(),
        ProcessCompressThread::Status::Failed);
    QVERIFY(engine.compressData().isEmpty());
    // An engine deleted while it runs stops and joins its thread first.
    auto *running = new ProcessCompressThread(big, sizeParams(4096));
    running->start();
    QThread::msleep(30);
    delete running;
}

QTEST_GUILESS_MAIN(tst_ProcessCompressThread)
#include "tst_ProcessCompressThread.moc"
