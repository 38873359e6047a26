#include <cmath>

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QtTest>

#include "CodecFixtures.h"
#include "PdfFixtures.h"
#include "codec/JpegReader.h"

namespace {

// Soft shapes with a little grain, as in a photograph; per-pixel noise of
// full strength would measure two resampling filters rather than the decode.
QImage smoothPhoto(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int grain = int(random.bounded(6));
            const int dx = x - width / 3, dy = y - height / 2;
            const bool disc = dx * dx + dy * dy < (height / 4) * (height / 4);
            line[x] = qRgb(qMin(255, x * 200 / width + grain), disc ? 220 : 60 + grain,
                qMin(255, y * 180 / height + grain));
        }
    }
    return image;
}

QImage photoLike(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(width * 31 + height);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int noise = int(random.bounded(32));
            line[x] = qRgb((x * 3 + noise) & 0xff, (y * 2 + noise) & 0xff,
                ((x / 8 + y / 8) % 2) ? 200 + noise : 30);
        }
    }
    return image;
}

QByteArray toolkitJpeg(const QImage &image, int quality, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

// What the decoder got from the toolkit before: its reader, turned upright,
// as a 32-bit frame.
QImage toolkitRead(
    const QByteArray &bytes, const QSize &scaledSize = QSize(), bool autoTransform = true)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoTransform(autoTransform);
    if (scaledSize.isValid())
        reader.setScaledSize(scaledSize);
    const QImage image = reader.read();
    return image.convertToFormat(QImage::Format_RGB32);
}

double psnr(const QImage &a, const QImage &b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *pa = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *pb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const int dr = qRed(pa[x]) - qRed(pb[x]);
            const int dg = qGreen(pa[x]) - qGreen(pb[x]);
            const int db = qBlue(pa[x]) - qBlue(pb[x]);
            sum += dr * dr + dg * dg + db * db;
        }
    }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

} // namespace

class tst_JpegReader : public QObject
{
    Q_OBJECT
private slots:
    void samePixelsAsToolkit_data();
    void samePixelsAsToolkit();
    void cmykIsLeftToTheToolkit();
    void scaledDecodeCoversTheRequest_data();
    void scaledDecodeCoversTheRequest();
    void brokenDataFails();
};

void tst_JpegReader::samePixelsAsToolkit_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QImage photo = photoLike(101, 67); // partial blocks on both edges
    QTest::newRow("4:2:0 q90") << toolkitJpeg(photo, 90);
    QTest::newRow("q100") << toolkitJpeg(photo, 100);
    QTest::newRow("q20") << toolkitJpeg(photo, 20);
    QTest::newRow("progressive") << toolkitJpeg(photo, 85, true);
    QTest::newRow("grayscale") << toolkitJpeg(photo.convertToFormat(QImage::Format_Grayscale8), 90);
    for (int orientation = 1; orientation <= 8; ++orientation)
        QTest::addRow("EXIF orientation %d", orientation)
            << CodecFixtures::jpegWithExif(toolkitJpeg(photo, 90), orientation);
    QImage profiled = photo;
    profiled.setColorSpace(QColorSpace(QColorSpace::AdobeRgb));
    profiled.setText(QStringLiteral("Title"), QStringLiteral("Pier"));
    profiled.setText(QString(), QStringLiteral("no key at all"));
    profiled.setDotsPerMeterX(11811);
    profiled.setDotsPerMeterY(5906);
    QTest::newRow("profile, texts and density") << toolkitJpeg(profiled, 90);
    // Turned sideways while decoding: the density swaps with the sides.
    QTest::newRow("orientation 6, texts and density")
        << CodecFixtures::jpegWithExif(toolkitJpeg(profiled, 90), 6);
    QTest::newRow("orientation 3, texts and density")
        << CodecFixtures::jpegWithExif(toolkitJpeg(profiled, 90), 3);
}

void tst_JpegReader::samePixelsAsToolkit()
{
    QFETCH(QByteArray, bytes);
    const QImage expected = toolkitRead(bytes);
    QVERIFY(!expected.isNull());

    QImage image;
    QCOMPARE(JpegReader::read(bytes, &image), JpegReader::Result::Decoded);
    QCOMPARE(image.format(), QImage::Format_RGB32);
    QCOMPARE(image.size(), expected.size());
    // Byte for byte, the unused alpha byte included (0xff, as RGB32 wants).
    for (int y = 0; y < image.height(); ++y)
        QVERIFY2(
            memcmp(image.constScanLine(y), expected.constScanLine(y), size_t(image.width()) * 4)
                == 0,
            qPrintable(QStringLiteral("row %1 differs").arg(y)));
    // The file's facts, read without turning: the toolkit drops the colour
    // space and the texts when it turns a picture sideways, this reader keeps
    // them (and swaps the density with the sides).
    const QImage stored = toolkitRead(bytes, QSize(), false);
    const bool sideways = image.size() != stored.size();
    QCOMPARE(image.colorSpace(), stored.colorSpace());
    QCOMPARE(image.textKeys(), stored.textKeys());
    for (const QString &key : stored.textKeys())
        QCOMPARE(image.text(key), stored.text(key));
    QCOMPARE(image.dotsPerMeterX(), sideways ? stored.dotsPerMeterY() : stored.dotsPerMeterX());
    QCOMPARE(image.dotsPerMeterY(), sideways ? stored.dotsPerMeterX() : stored.dotsPerMeterY());
}

void tst_JpegReader::cmykIsLeftToTheToolkit()
{
    QImage image;
    JpegReader::Header header;
    const QByteArray cmyk = PdfFixtures::invertedCmykJpeg(16, 16);
    QVERIFY(JpegReader::readHeader(cmyk, &header));
    QVERIFY(!header.supported);
    QCOMPARE(JpegReader::read(cmyk, &image), JpegReader::Result::Unsupported);
    QVERIFY(image.isNull());
}

void tst_JpegReader::scaledDecodeCoversTheRequest_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("request");
    QTest::addColumn<QSize>("decoded");
    // 800x600 stored: M/8 steps give 100x75, 200x150, 300x225, 400x300, ...
    QTest::newRow("half") << 1 << QSize(400, 300) << QSize(400, 300);
    QTest::newRow("just above a quarter") << 1 << QSize(201, 100) << QSize(300, 225);
    QTest::newRow("tiny") << 1 << QSize(20, 10) << QSize(100, 75);
    QTest::newRow("larger than the picture") << 1 << QSize(1600, 1200) << QSize(800, 600);
    QTest::newRow("only the height matters") << 1 << QSize(10, 451) << QSize(700, 525);
    // The request is upright; a picture stored sideways is scaled by its own sides.
    QTest::newRow("orientation 6") << 6 << QSize(150, 200) << QSize(150, 200);
    QTest::newRow("orientation 8, height") << 8 << QSize(10, 300) << QSize(225, 300);
}

void tst_JpegReader::scaledDecodeCoversTheRequest()
{
    QFETCH(int, orientation);
    QFETCH(QSize, request);
    QFETCH(QSize, decoded);
    const QImage photo = smoothPhoto(800, 600);
    const QByteArray bytes = CodecFixtures::jpegWithExif(toolkitJpeg(photo, 95), orientation);
    QImage image;
    QCOMPARE(JpegReader::read(bytes, &image, request), JpegReader::Result::Decoded);
    QCOMPARE(image.size(), decoded);

    // Scaled the rest of the way, it is the picture the full decode gives.
    const QImage full = toolkitRead(bytes);
    const QSize target = request.boundedTo(full.size());
    const QImage fromScaled = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                  .convertToFormat(QImage::Format_RGB32);
    const QImage fromFull = full.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                .convertToFormat(QImage::Format_RGB32);
    QVERIFY2(
        psnr(fromScaled, fromFull) > 35, qPrintable(QString::number(psnr(fromScaled, fromFull))));
}

void tst_JpegReader::brokenDataFails()
{
    QImage image;
    QCOMPARE(JpegReader::read(QByteArray("not a jpeg"), &image), JpegReader::Result::Failed);
    const QByteArray bytes = toolkitJpeg(photoLike(64, 64), 90);
    QCOMPARE(JpegReader::read(bytes.left(20), &image), JpegReader::Result::Failed);
    QVERIFY(image.isNull());
    // A picture beyond the caller's pixel budget is not allocated.
    QCOMPARE(JpegReader::read(bytes, &image, QSize(), 64 * 63), JpegReader::Result::Failed);
}

QTEST_GUILESS_MAIN(tst_JpegReader)
#include "tst_JpegReader.moc"
