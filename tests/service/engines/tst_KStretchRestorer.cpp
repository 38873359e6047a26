#include <QPainter>
#include <QtTest>

#include "EngineTestUtils.h"
#include "Engines.h"
#include "KStretchRestorer.h"

using namespace engines;

namespace {

void put16(QByteArray &b, quint16 v)
{
    b.append(char(v & 0xff));
    b.append(char(v >> 8));
}

void put32(QByteArray &b, quint32 v)
{
    put16(b, quint16(v & 0xffff));
    put16(b, quint16(v >> 16));
}

void entry(QByteArray &b, quint16 tag, quint16 type, quint32 value)
{
    put16(b, tag);
    put16(b, type);
    put32(b, 1);
    if (type == 3) {
        put16(b, quint16(value));
        put16(b, 0);
    } else {
        put32(b, value);
    }
}

// Little-endian EXIF data: IFD0 with orientation and the Exif IFD pointer,
// the Exif IFD with the pixel dimensions.
QByteArray exifTiff(QSize pixels, int orientation)
{
    QByteArray tiff("II*\0", 4);
    put32(tiff, 8);
    put16(tiff, 2); // IFD0 at 8: two entries
    entry(tiff, 0x0112, 3, quint32(orientation));
    entry(tiff, 0x8769, 4, 8 + 2 + 2 * 12 + 4);
    put32(tiff, 0);
    put16(tiff, 2); // Exif IFD
    entry(tiff, 0xA002, 4, quint32(pixels.width()));
    entry(tiff, 0xA003, 3, quint32(pixels.height()));
    put32(tiff, 0);
    return tiff;
}

// A JPEG with an APP1 EXIF segment placed after the JFIF header.
QByteArray jpegWithExif(const QImage &image, const QByteArray &tiff)
{
    QByteArray jpeg = EngineTestUtils::jpeg(image, 95);
    const int app0End = 4 + ((uchar(jpeg[4]) << 8) | uchar(jpeg[5]));
    QByteArray app1("\xFF\xE1", 2);
    const int length = 2 + 6 + tiff.size();
    app1.append(char(length >> 8));
    app1.append(char(length & 0xff));
    app1.append("Exif\0\0", 6);
    app1.append(tiff);
    return jpeg.insert(app0End, app1);
}

// A circle on a 3:2 canvas; a stretch turns it into an ellipse.
QImage circlePicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::black);
    painter.setPen(Qt::NoPen);
    const int d = height * 3 / 4;
    painter.drawEllipse(QRect((width - d) / 2, (height - d) / 2, d, d));
    return image;
}

QRect inkBounds(const QImage &image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

} // namespace

// Stretch recovery: where the proportions come from (EXIF, then common
// camera ratios), when the picture is left alone, and that the resampled
// picture has the proportions back.
class tst_KStretchRestorer : public QObject
{
    Q_OBJECT

private slots:
    void restoresExifProportions_data();
    void restoresExifProportions();
    void estimates_data();
    void estimates();
    void unchangedPictureComesBackAsItWas();
    void brokenExifIsIgnored_data();
    void brokenExifIsIgnored();
};

void tst_KStretchRestorer::restoresExifProportions_data()
{
    QTest::addColumn<int>("orientation");
    QTest::newRow("upright") << 1;
    QTest::newRow("stored turned, orientation 6") << 6;
}

void tst_KStretchRestorer::restoresExifProportions()
{
    QFETCH(int, orientation);
    // A 3:2 photograph stretched to 2:1; its EXIF still says 3000 x 2000.
    QImage stretched
        = circlePicture(300, 200).scaled(400, 200, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (orientation == 6) // stored turned a quarter to the left; the reader turns it back
        stretched = stretched.transformed(QTransform().rotate(-90));
    // EXIF dimensions describe the stored pixels, turned like them.
    const QSize recorded = orientation == 6 ? QSize(2000, 3000) : QSize(3000, 2000);
    const QByteArray file = jpegWithExif(stretched, exifTiff(recorded, orientation));
    QCOMPARE(KStretchRestorer::exifPixelDimensions(file), recorded);

    const EngineResult result = picstretchstore(file, EngineContext());
    QVERIFY2(result.ok(), qPrintable(result.reason));
    QVERIFY(result.notice.isEmpty());
    QCOMPARE(result.suffix, QStringLiteral("jpg"));
    const QImage restored = QImage::fromData(result.data);
    QVERIFY(!restored.isNull());
    const double ratio = double(restored.width()) / restored.height();
    QVERIFY2(qAbs(ratio - 1.5) / 1.5 <= 0.01, qPrintable(QString::number(ratio)));
    // The ellipse is a circle again.
    const QRect ink = inkBounds(restored);
    QVERIFY2(qAbs(double(ink.width()) / ink.height() - 1.0) < 0.04,
        qPrintable(QStringLiteral("%1 x %2").arg(ink.width()).arg(ink.height())));
}

void tst_KStretchRestorer::estimates_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("exif");
    QTest::addColumn<QSize>("target"); // invalid: unchanged
    QTest::addColumn<QString>("notice");
    QTest::newRow("2:1 without EXIF becomes 16:9")
        << QSize(400, 200) << QSize() << QSize(400, 225) << QString();
    QTest::newRow("portrait 1:1.12 becomes square")
        << QSize(200, 224) << QSize() << QSize(224, 224) << QString();
    QTest::newRow("4:3 is left alone")
        << QSize(400, 300) << QSize() << QSize() << "stretch_not_needed";
    QTest::newRow("3:1 is near no common ratio")
        << QSize(600, 200) << QSize() << QSize() << "stretch_not_estimated";
    QTest::newRow("EXIF ratio matches")
        << QSize(300, 200) << QSize(6000, 4000) << QSize() << "stretch_not_needed";
    QTest::newRow("EXIF wins over common ratios")
        << QSize(400, 300) << QSize(3000, 2000) << QSize(400, 267) << QString();
    QTest::newRow("EXIF far off (a crop) is not trusted")
        << QSize(400, 300) << QSize(1000, 3000) << QSize() << "stretch_not_needed";
}

void tst_KStretchRestorer::estimates()
{
    QFETCH(QSize, size);
    QFETCH(QSize, exif);
    QFETCH(QSize, target);
    QFETCH(QString, notice);
    const StretchEstimate e = KStretchRestorer::estimate(size, exif);
    QCOMPARE(e.target, target);
    QCOMPARE(e.notice, notice);
    QCOMPARE(e.noticeText.isEmpty(), notice.isEmpty());
}

void tst_KStretchRestorer::unchangedPictureComesBackAsItWas()
{
    const QByteArray file = EngineTestUtils::png(circlePicture(600, 200));
    const EngineResult result = picstretchstore(file, EngineContext());
    QVERIFY(result.ok());
    QCOMPARE(result.notice, QStringLiteral("stretch_not_estimated"));
    QVERIFY(result.noticeText.contains(QLatin1String("unchanged")));
    QCOMPARE(result.data, file);
    QCOMPARE(result.suffix, QStringLiteral("png"));
}

void tst_KStretchRestorer::brokenExifIsIgnored_data()
{
    QTest::addColumn<QByteArray>("tiff");
    QByteArray good = exifTiff(QSize(3000, 2000), 1);
    QByteArray pastEnd = good;
    pastEnd[4] = char(0xF0); // IFD0 offset beyond the data
    QTest::newRow("IFD offset past the end") << pastEnd;
    QByteArray manyEntries = good;
    manyEntries[8] = char(0xFF);
    manyEntries[9] = char(0xFF);
    QTest::newRow("entry count past the end") << manyEntries;
    QTest::newRow("cut inside the Exif IFD") << good.left(good.size() - 10);
    QTest::newRow("not TIFF") << QByteArray("XX*\0\x08\0\0\0", 8);
}

void tst_KStretchRestorer::brokenExifIsIgnored()
{
    QFETCH(QByteArray, tiff);
    const QByteArray file = jpegWithExif(circlePicture(400, 300), tiff);
    QCOMPARE(KStretchRestorer::exifPixelDimensions(file), QSize());
    QVERIFY(picstretchstore(file, EngineContext()).ok());
}

QTEST_MAIN(tst_KStretchRestorer)
#include "tst_KStretchRestorer.moc"
