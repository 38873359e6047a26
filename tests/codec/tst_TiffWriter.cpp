#include <QColorSpace>
#include <QFile>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "TestUtils.h"
#include "codec/TiffWriter.h"

namespace {

QImage picture(int width, int height, QImage::Format format)
{
    QImage image(width, height, QImage::Format_ARGB32);
    QRandomGenerator random(uint(width * 17 + height));
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int alpha = format == QImage::Format_RGB32 ? 255 : int(random.bounded(256));
            line[x] = qRgba(int(random.bounded(256)), (x * 5) & 0xff, (y * 3) & 0xff, alpha);
        }
    }
    return image.convertToFormat(format);
}

} // namespace

class tst_TiffWriter : public QObject
{
    Q_OBJECT
private slots:
    void readsBackAsTheToolkitsFile_data();
    void readsBackAsTheToolkitsFile();
    void failuresLeaveNothingAndSayWhy();
};

void tst_TiffWriter::readsBackAsTheToolkitsFile_data()
{
    QTest::addColumn<QImage>("image");
    QTest::newRow("RGB32 333x217") << picture(333, 217, QImage::Format_RGB32);
    QTest::newRow("RGB32 1x1") << picture(1, 1, QImage::Format_RGB32);
    // Rows of 6000 bytes: several strips, the last one short.
    QTest::newRow("RGB32 2000x200, several strips") << picture(2000, 200, QImage::Format_RGB32);
    QTest::newRow("ARGB32") << picture(120, 90, QImage::Format_ARGB32);
    QTest::newRow("ARGB32 premultiplied") << picture(120, 90, QImage::Format_ARGB32_Premultiplied);
    QTest::newRow("Grayscale8") << picture(64, 48, QImage::Format_Grayscale8);
    QImage tagged = picture(80, 60, QImage::Format_RGB32);
    tagged.setColorSpace(QColorSpace(QColorSpace::AdobeRgb));
    tagged.setDotsPerMeterX(11811); // 300 dpi
    tagged.setDotsPerMeterY(11811);
    QTest::newRow("profile and 300 dpi") << tagged;
    QImage perCm = picture(80, 60, QImage::Format_RGB32);
    perCm.setDotsPerMeterX(5000);
    perCm.setDotsPerMeterY(2000);
    QTest::newRow("50 by 20 dots per cm") << perCm;
}

// The toolkit's writer was the reference: both files read back to the same
// pixels (alpha and premultiplication included), resolution and profile.
void tst_TiffWriter::readsBackAsTheToolkitsFile()
{
    QFETCH(QImage, image);
    QTemporaryDir dir;
    const QString ours = dir.filePath("ours.tif");
    const QString theirs = dir.filePath("theirs.tif");
    QString error;
    QVERIFY2(TiffWriter::write(image, ours, &error), qPrintable(error));
    QVERIFY(QImageWriter(theirs, "tif").write(image));

    const QImage a(ours);
    const QImage b(theirs);
    QVERIFY(!a.isNull());
    QCOMPARE(a.size(), b.size());
    QCOMPARE(a.hasAlphaChannel(), b.hasAlphaChannel());
    QCOMPARE(a.convertToFormat(QImage::Format_ARGB32), b.convertToFormat(QImage::Format_ARGB32));
    QCOMPARE(a.dotsPerMeterX(), b.dotsPerMeterX());
    QCOMPARE(a.dotsPerMeterY(), b.dotsPerMeterY());
    QCOMPARE(a.colorSpace(), b.colorSpace());
}

void tst_TiffWriter::failuresLeaveNothingAndSayWhy()
{
    const QImage image = picture(800, 600, QImage::Format_RGB32);
    QTemporaryDir dir;
    QString error;
    QVERIFY(!TiffWriter::write(QImage(), dir.filePath("none.tif"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(dir.filePath("none.tif")));

    error.clear();
    QVERIFY(!TiffWriter::write(image, dir.filePath("gone/out.tif"), &error));
    QCOMPARE(error, QStringLiteral("the folder does not exist"));

    // Refused halfway through, as a full disk would: nothing stays.
    const QString path = dir.filePath("big.tif");
    error.clear();
    const bool written = TestUtils::underFileSizeLimit(
        100000, [&] { return TiffWriter::write(image, path, &error); });
    QVERIFY(!written);
    QCOMPARE(error, QStringLiteral("the file is too large for the device"));
    QVERIFY(!QFile::exists(path));
}

QTEST_GUILESS_MAIN(tst_TiffWriter)
#include "tst_TiffWriter.moc"
