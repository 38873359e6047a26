#include <QTemporaryDir>
#include <QtTest>

#include "CodecFixtures.h"
#include "TestUtils.h"
#include "codec/KImageGdiDecoder.h"
#include "codec/KImageWrapper.h"
#include "codec/metafile/EmfPlayer.h"

using namespace CodecFixtures;

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kRed = qRgb(255, 0, 0);

int darkPixels(const QImage &image, const QRect &area)
{
    int dark = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                ++dark;
    return dark;
}

QByteArray blueSquareEmf()
{
    EmfBuilder emf(QSize(100, 80));
    emf.createBrush(1, kBlue);
    emf.selectObject(1);
    emf.createPen(2, kBlue, 0, 5); // PS_NULL
    emf.selectObject(2);
    emf.rectangle(QRect(20, 10, 30, 30));
    return emf.finish();
}

} // namespace

class tst_KImageGdiDecoder : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void emfOntoWhite();
    void emfShapesAndMapping_data();
    void emfShapesAndMapping();
    void emfText();
    void emfBitmap();
    void wmfPlaceable();
    void wmfWithoutPlaceableHeader();
    void paintingIsBudgeted();
    void tooComplexFailsWithItsReason();
    void refused_data();
    void refused();

private:
    QString write(const QString &name, const QByteArray &bytes)
    {
        return TestUtils::writeFile(m_dir->path(), name, bytes);
    }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_KImageGdiDecoder::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_KImageGdiDecoder::emfOntoWhite()
{
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("square.emf", blueSquareEmf())));
    QVERIFY(dynamic_cast<KImageGdiDecoder *>(wrapper.decoder()));
    QCOMPARE(wrapper.frameCount(), 1);
    const QImage frame = wrapper.frameAt(0);
    QCOMPARE(frame.size(), QSize(100, 80));
    QCOMPARE(frame.format(), QImage::Format_RGB32);
    // Nothing drawn there: white, not transparent or black.
    QCOMPARE(frame.pixel(2, 2), kWhite);
    QCOMPARE(frame.pixel(90, 70), kWhite);
    QCOMPARE(frame.pixel(35, 25), kBlue);
    QVERIFY(wrapper.frameAt(1).isNull());
}

void tst_KImageGdiDecoder::emfShapesAndMapping_data()
{
    QTest::addColumn<QByteArray>("emf");
    QTest::addColumn<QPoint>("inside");
    QTest::addColumn<QPoint>("outside");

    EmfBuilder ellipse(QSize(100, 100));
    ellipse.createBrush(1, kRed);
    ellipse.selectObject(1);
    ellipse.ellipse(QRect(0, 0, 100, 100));
    QTest::newRow("ellipse") << ellipse.finish() << QPoint(50, 50) << QPoint(3, 3);

    EmfBuilder polygon(QSize(100, 100));
    polygon.createBrush(1, kRed);
    polygon.selectObject(1);
    polygon.polygon16({ QPoint(0, 0), QPoint(99, 0), QPoint(0, 99) });
    QTest::newRow("polygon") << polygon.finish() << QPoint(10, 10) << QPoint(90, 90);

    // Logical units 0..1000 spread over the 100-pixel picture.
    EmfBuilder mapped(QSize(100, 100));
    mapped.setMapMode(8);
    mapped.setWindowExt(1000, 1000);
    mapped.setViewportExt(100, 100);
    mapped.createBrush(1, kRed);
    mapped.selectObject(1);
    mapped.rectangle(QRect(500, 500, 500, 500));
    QTest::newRow("anisotropic mapping") << mapped.finish() << QPoint(75, 75) << QPoint(40, 40);

    // HIMETRIC: 0.01 mm per unit, y upwards: 1323 units = 50 px at 96 dpi.
    EmfBuilder metric(QSize(100, 100));
    metric.setMapMode(3);
    metric.createBrush(1, kRed);
    metric.selectObject(1);
    metric.rectangle(QRect(0, -1323, 1323, 1323));
    QTest::newRow("HIMETRIC upwards") << metric.finish() << QPoint(25, 25) << QPoint(75, 75);
}

void tst_KImageGdiDecoder::emfShapesAndMapping()
{
    QFETCH(QByteArray, emf);
    QFETCH(QPoint, inside);
    QFETCH(QPoint, outside);
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("shape.emf", emf)));
    const QImage frame = wrapper.frameAt(0);
    QCOMPARE(frame.pixel(inside), kRed);
    QCOMPARE(frame.pixel(outside), kWhite);
}

void tst_KImageGdiDecoder::emfText()
{
    EmfBuilder emf(QSize(200, 60));
    emf.setBkMode(1); // transparent
    emf.setTextColor(qRgb(0, 0, 0));
    emf.textOut(QPoint(10, 10), QStringLiteral("Quorvel"), 32);
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("text.emf", emf.finish())));
    const QImage frame = wrapper.frameAt(0);
    QVERIFY(darkPixels(frame, QRect(10, 10, 150, 35)) > 100);
    QCOMPARE(darkPixels(frame, QRect(0, 50, 200, 10)), 0);
}

void tst_KImageGdiDecoder::emfBitmap()
{
    const QImage quad = TestUtils::quadrantImage(40, 20);
    EmfBuilder emf(QSize(80, 40));
    emf.stretchDIBits(QRect(0, 0, 80, 40), quad);
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("bitmap.emf", emf.finish())));
    const QVector<QRgb> got = quadrantSamples(wrapper.frameAt(0));
    const QVector<QRgb> want = quadrantSamples(quad);
    for (int i = 0; i < 4; ++i)
        QVERIFY2(TestUtils::colourNear(got[i], want[i], 2), qPrintable(QColor(got[i]).name()));
}

void tst_KImageGdiDecoder::wmfPlaceable()
{
    // 2 x 1 inches at 1440 units per inch: 192 x 96 pixels at 96 dpi.
    WmfBuilder wmf(QRect(0, 0, 2880, 1440), 1440);
    wmf.createBrush(kBlue);
    wmf.selectObject(0);
    wmf.createPen(kBlue, 1);
    wmf.selectObject(1);
    wmf.rectangle(QRect(1440, 0, 1440, 720));
    wmf.deleteObject(0);
    wmf.createBrush(kRed); // takes the freed slot 0
    wmf.selectObject(0);
    wmf.polygon({ QPoint(0, 720), QPoint(1440, 720), QPoint(1440, 1440), QPoint(0, 1440) });
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("box.wmf", wmf.finish())));
    const QImage frame = wrapper.frameAt(0);
    QCOMPARE(frame.size(), QSize(192, 96));
    QCOMPARE(frame.pixel(150, 20), kBlue);
    QCOMPARE(frame.pixel(40, 70), kRed);
    QCOMPARE(frame.pixel(40, 20), kWhite);
}

void tst_KImageGdiDecoder::wmfWithoutPlaceableHeader()
{
    WmfBuilder wmf(QRect(0, 0, 120, 60), 0, false);
    wmf.createBrush(kRed);
    wmf.selectObject(0);
    wmf.rectangle(QRect(0, 0, 60, 60));
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("plain.wmf", wmf.finish())));
    const QImage frame = wrapper.frameAt(0);
    QCOMPARE(frame.size(), QSize(120, 60));
    QCOMPARE(frame.pixel(30, 30), kRed);
    QCOMPARE(frame.pixel(90, 30), kWhite);
}

void tst_KImageGdiDecoder::paintingIsBudgeted()
{
    // A few bytes per record, each painting the whole picture: the player
    // stops and reports failure rather than painting for minutes.
    EmfBuilder emf(QSize(400, 400));
    emf.createBrush(1, kRed);
    emf.selectObject(1);
    for (int i = 0; i < 200; ++i)
        emf.rectangle(QRect(0, 0, 400, 400));
    const QByteArray data = emf.finish();
    EmfPlayer generous(data);
    QVERIFY(generous.parse());
    QVERIFY(!generous.render().isNull());
    EmfPlayer strict(data);
    QVERIFY(strict.parse());
    QVERIFY(strict.render(50 * 400 * 400).isNull());
}

void tst_KImageGdiDecoder::tooComplexFailsWithItsReason()
{
    // 72 KB of clip rectangles cut out of a large picture: every one makes
    // the clip more complex and costlier to combine. The default budget
    // gives up within a second or so instead of running for minutes.
    EmfBuilder emf(QSize(1000, 1000));
    for (int i = 0; i < 3000; ++i) {
        const int x = (i % 40) * 25 + 2, y = ((i / 40) % 40) * 25 + 2;
        QByteArray rect;
        for (int v : { x, y, x + 18, y + 18 })
            rect.append(reinterpret_cast<const char *>(&v), 4);
        emf.record(29, rect); // EMR_EXCLUDECLIPRECT
    }
    emf.rectangle(QRect(0, 0, 1000, 1000));
    const QString path = write("clips.emf", emf.finish());

    KImageWrapper wrapper;
    QVERIFY(!wrapper.load(path));
    KImageGdiDecoder decoder(nullptr);
    QVERIFY(!decoder.decodeFile(path));
    QCOMPARE(decoder.errorString(), QStringLiteral("the drawing is too complex to render"));
    QCOMPARE(decoder.frameCount(), 0);
}

void tst_KImageGdiDecoder::refused_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray emf = blueSquareEmf();
    QTest::newRow("EMF cut inside a record") << "a.emf" << emf.left(emf.size() - 30);
    QTest::newRow("EMF without its EOF record") << "b.emf" << emf.left(emf.size() - 20);
    QTest::newRow("EMF header only") << "c.emf" << emf.left(108);
    QByteArray huge = emf;
    patch32(&huge, 32, 0x7FFFFFFF);
    patch32(&huge, 36, 0x7FFFFFFF);
    QTest::newRow("EMF frame over the pixel cap") << "d.emf" << huge;
    QByteArray zeroRecord = emf;
    patch32(&zeroRecord, 112, 0); // second record's size
    QTest::newRow("EMF record of size 0") << "e.emf" << zeroRecord;
    QTest::newRow("random bytes named .emf") << "f.emf" << QByteArray(500, '\x37');
    QTest::newRow("empty") << "g.wmf" << QByteArray();
    WmfBuilder builder(QRect(0, 0, 1440, 1440), 1440);
    builder.createBrush(kRed);
    builder.selectObject(0);
    builder.rectangle(QRect(0, 0, 10, 10));
    const QByteArray wmf = builder.finish();
    QTest::newRow("WMF cut inside a record") << "h.wmf" << wmf.left(wmf.size() - 9);
    QTest::newRow("WMF without its EOF record") << "i.wmf" << wmf.left(wmf.size() - 6);
    QByteArray wrap = wmf;
    // A word count whose doubling wraps to a small size in 32 bits.
    patch32(&wrap, 22 + 18, 0x80000005);
    QTest::newRow("WMF record size wrapping") << "j.wmf" << wrap;
    QByteArray wmfHuge = wmf;
    patch16(&wmfHuge, 14, 1); // 1 unit per inch: 96 px per unit
    patch16(&wmfHuge, 10, 0x7FFF);
    patch16(&wmfHuge, 12, 0x7FFF);
    QTest::newRow("WMF box over the pixel cap") << "k.wmf" << wmfHuge;
}

void tst_KImageGdiDecoder::refused()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    KImageWrapper wrapper;
    QVERIFY(!wrapper.load(write(fileName, bytes)));
    QCOMPARE(wrapper.frameCount(), 0);
}

QTEST_MAIN(tst_KImageGdiDecoder)
#include "tst_KImageGdiDecoder.moc"
