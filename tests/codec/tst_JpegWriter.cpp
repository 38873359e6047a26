#include <csignal>
#include <cstring>

#include <sys/resource.h>

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "codec/JpegWriter.h"
#include "codec/SystemImageEncoder.h"

namespace {

// Gradients, hard edges and noise: the DCT, the chroma subsampling and the
// Huffman optimisation all have work to do.
QImage photoLike(int width, int height, QImage::Format format)
{
    QImage image(width, height, QImage::Format_ARGB32);
    QRandomGenerator random(width * 7919 + height);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int noise = int(random.bounded(24));
            const int r = (x * 255 / qMax(1, width - 1) + noise) & 0xff;
            const int g = (y * 255 / qMax(1, height - 1) + noise / 2) & 0xff;
            const int b = ((x / 16 + y / 16) % 2) ? 230 : 20;
            const bool alpha = format == QImage::Format_ARGB32_Premultiplied
                || format == QImage::Format_ARGB4444_Premultiplied;
            const int a = alpha ? (x * 7 + y) % 256 : 255;
            line[x] = qRgba(r, g, b, a);
        }
    }
    return image.convertToFormat(format);
}

QByteArray toolkitJpeg(const QImage &image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(quality);
    writer.setOptimizedWrite(true);
    if (!writer.write(image))
        return QByteArray();
    return bytes;
}

} // namespace

class tst_JpegWriter : public QObject
{
    Q_OBJECT
private slots:
    void sameBytesAsToolkit_data();
    void sameBytesAsToolkit();
    void tallPicturesSamePixels_data();
    void tallPicturesSamePixels();
    void rowsWithSampleAreTheWholeWrite();
    void failuresLeaveNothingAndSayWhy();
};

void tst_JpegWriter::sameBytesAsToolkit_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("quality");

    const int qualities[] = { 100, 95, 75, 50, 10, 1 };
    for (int quality : qualities)
        QTest::addRow("640x480 RGB32 q%d", quality)
            << photoLike(640, 480, QImage::Format_RGB32) << quality;
    // Partial MCUs on both edges, a single pixel, a single row.
    QTest::newRow("333x217 q100") << photoLike(333, 217, QImage::Format_RGB32) << 100;
    QTest::newRow("1x1 q100") << photoLike(1, 1, QImage::Format_RGB32) << 100;
    QTest::newRow("1000x1 q90") << photoLike(1000, 1, QImage::Format_RGB32) << 90;
    // Other layouts callers may hand over.
    // Alpha put on white row by row, as painting over white does it.
    QTest::newRow("ARGB32 premultiplied q90")
        << photoLike(200, 150, QImage::Format_ARGB32_Premultiplied) << 90;
    QTest::newRow("ARGB32 q90") << photoLike(200, 150, QImage::Format_ARGB32_Premultiplied)
                                       .convertToFormat(QImage::Format_ARGB32)
                                << 90;
    QTest::newRow("ARGB4444 premultiplied q90")
        << photoLike(64, 48, QImage::Format_ARGB4444_Premultiplied) << 90;
    QTest::newRow("RGB888 q80") << photoLike(200, 150, QImage::Format_RGB888) << 80;
    QTest::newRow("Grayscale8 q85") << photoLike(200, 150, QImage::Format_Grayscale8) << 85;
    QTest::newRow("RGB16 q85") << photoLike(64, 48, QImage::Format_RGB16) << 85;

    // What the file carries besides the pixels.
    QImage withProfile = photoLike(160, 120, QImage::Format_RGB32);
    withProfile.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    QTest::newRow("Display P3 profile") << withProfile << 100;
    QImage withText = photoLike(160, 120, QImage::Format_RGB32);
    withText.setText(QStringLiteral("Title"), QStringLiteral("Harbour at dusk"));
    withText.setText(QStringLiteral("Author"), QString::fromUtf8("J\xc3\xb6rg"));
    QTest::newRow("text keys") << withText << 100;
    // On white: what flattening kept (profile and density, not the texts).
    QImage transparentWithText = photoLike(160, 120, QImage::Format_ARGB32_Premultiplied);
    transparentWithText.setText(QStringLiteral("Title"), QStringLiteral("Cut-out"));
    transparentWithText.setColorSpace(QColorSpace(QColorSpace::AdobeRgb));
    QTest::newRow("transparent with text and profile") << transparentWithText << 95;
    QImage dpi300 = photoLike(160, 120, QImage::Format_RGB32);
    dpi300.setDotsPerMeterX(11811);
    dpi300.setDotsPerMeterY(11811);
    QTest::newRow("300 dpi") << dpi300 << 100;
    QImage dpcm = photoLike(160, 120, QImage::Format_RGB32);
    dpcm.setDotsPerMeterX(5000);
    dpcm.setDotsPerMeterY(2000);
    QTest::newRow("50 and 20 dots per cm") << dpcm << 100;
}

// JPEG has no alpha: the toolkit's reference is the picture painted over white.
static QByteArray toolkitReference(const QImage &image, int quality)
{
    return toolkitJpeg(image.hasAlphaChannel() ? flattenedOntoWhite(image) : image, quality);
}

// The file JpegWriter::write() makes of image; empty when it fails.
static QByteArray writtenFile(const QImage &image, int quality)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.jpg"));
    QFile file(path);
    if (!JpegWriter::write(image, quality, path) || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// Both hand the same samples to the same library with the same settings, so
// the files must match byte for byte (and with them every decoded pixel).
void tst_JpegWriter::sameBytesAsToolkit()
{
    QFETCH(QImage, image);
    QFETCH(int, quality);

    const QByteArray expected = toolkitReference(image, quality);
    QVERIFY(!expected.isEmpty());

    QByteArray encoded;
    QString error;
    QVERIFY2(JpegWriter::encode(image, quality, &encoded, &error), qPrintable(error));
    QCOMPARE(encoded.size(), expected.size());
    QVERIFY(encoded == expected);
    QVERIFY(writtenFile(image, quality) == expected);
}

// Busy only where the sample of bands does not look (rows 16 to 63; the
// sample takes bands 0, 4, 8... of this height): every coefficient the
// sample never saw must still have a code.
QImage busyOutsideTheSample(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(qRgb(128, 128, 128));
    QRandomGenerator random(7);
    for (int y = 16; y < 64; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = random.generate() | 0xff000000u;
    }
    return image;
}

QImage decoded(const QByteArray &bytes)
{
    return QImage::fromData(bytes, "JPEG").convertToFormat(QImage::Format_RGB32);
}

void tst_JpegWriter::tallPicturesSamePixels_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("quality");
    // How much larger than the toolkit's fully optimised file ours may be.
    QTest::addColumn<double>("growth");

    QTest::newRow("photo q100, partial last band")
        << photoLike(1000, 1100, QImage::Format_RGB32) << 100 << 0.005;
    QTest::newRow("exactly 64 bands q75")
        << photoLike(300, 1024, QImage::Format_RGB32) << 75 << 0.005;
    QTest::newRow("alpha on white q90")
        << photoLike(800, 1500, QImage::Format_ARGB32_Premultiplied) << 90 << 0.005;
    // Pure noise over a gradient, in one channel: the sample's tables fit a
    // little less well (real photographs stay within 0.1 %).
    QTest::newRow("grey q85") << photoLike(600, 2000, QImage::Format_Grayscale8) << 85 << 0.02;
    QTest::newRow("RGB888 q95") << photoLike(900, 1200, QImage::Format_RGB888) << 95 << 0.005;
    // Noise the sample never saw costs bits (half as many again here), not
    // pixels.
    QTest::newRow("busy outside the sample") << busyOutsideTheSample(1024, 1100) << 100 << 1.0;
}

// From 1024 rows and a megapixel on, the tables come from a sample of bands: Huffman coding is
// lossless, so every pixel must still be the toolkit's, at nearly its size.
void tst_JpegWriter::tallPicturesSamePixels()
{
    QFETCH(QImage, image);
    QFETCH(int, quality);
    QFETCH(double, growth);

    const QByteArray expected = toolkitReference(image, quality);
    QVERIFY(!expected.isEmpty());
    QByteArray encoded;
    QString error;
    QVERIFY2(JpegWriter::encode(image, quality, &encoded, &error), qPrintable(error));
    const QImage ours = decoded(encoded);
    QVERIFY(!ours.isNull());
    QVERIFY(ours == decoded(expected));
    QVERIFY2(encoded.size() <= expected.size() * (1 + growth),
        qPrintable(QStringLiteral("%1 bytes against %2").arg(encoded.size()).arg(expected.size())));
    QVERIFY(writtenFile(image, quality) == encoded);
}

// Rows handed over a block at a time, with a second source for the sample:
// the file of the whole picture. Without the sample the tables are gathered
// over every row, which gives the same pixels; a sample that gives up leaves
// the file to that way rather than failing it.
void tst_JpegWriter::rowsWithSampleAreTheWholeWrite()
{
    const QImage image = photoLike(1000, 1300, QImage::Format_RGB32);
    QByteArray whole;
    QVERIFY(JpegWriter::encode(image, 92, &whole));
    const auto rowsOf = [&image](uchar *const *rows, int first, int count) {
        for (int i = 0; i < count; ++i)
            std::memcpy(rows[i], image.constScanLine(first + i), size_t(image.bytesPerLine()));
        return true;
    };
    int lastSampled = -1;
    const RowSource sample = [&](uchar *const *rows, int first, int count) {
        if (first <= lastSampled)
            return false; // ascending only
        lastSampled = first;
        return rowsOf(rows, first, count);
    };
    const RowSource failingSample = [](uchar *const *, int, int) { return false; };
    QImage metadata(1, 1, QImage::Format_RGB32);
    metadata.setDotsPerMeterX(image.dotsPerMeterX());
    metadata.setDotsPerMeterY(image.dotsPerMeterY());

    QTemporaryDir dir;
    QString error;
    const QString sampled = dir.filePath(QStringLiteral("sampled.jpg"));
    QVERIFY2(JpegWriter::writeRows(
                 image.size(), metadata, 92, rowsOf, sampled, &error, nullptr, &sample),
        qPrintable(error));
    QVERIFY(lastSampled > 0);
    QFile file(sampled);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll() == whole);

    for (const RowSource *other : { static_cast<const RowSource *>(nullptr), &failingSample }) {
        const QString path = dir.filePath(QStringLiteral("gathered.jpg"));
        QFile::remove(path);
        QVERIFY2(
            JpegWriter::writeRows(image.size(), metadata, 92, rowsOf, path, &error, nullptr, other),
            qPrintable(error));
        QFile gathered(path);
        QVERIFY(gathered.open(QIODevice::ReadOnly));
        const QByteArray bytes = gathered.readAll();
        QVERIFY(bytes != whole);
        QVERIFY(decoded(bytes) == decoded(whole));
    }
}

void tst_JpegWriter::failuresLeaveNothingAndSayWhy()
{
    const QImage image = photoLike(800, 600, QImage::Format_RGB32);
    QTemporaryDir dir;
    QString error;

    // Nothing to encode.
    QByteArray bytes("stale");
    QVERIFY(!JpegWriter::encode(QImage(), 90, &bytes, &error));
    QVERIFY(bytes.isEmpty());
    QVERIFY(!error.isEmpty());

    // A folder that is not there.
    error.clear();
    QVERIFY(!JpegWriter::write(image, 90, dir.filePath(QStringLiteral("gone/out.jpg")), &error));
    QCOMPARE(error, QStringLiteral("the folder does not exist"));

    // The device refuses more bytes halfway through (a file size limit gives
    // the same short write a full disk does): no partial file stays.
    const QString path = dir.filePath(QStringLiteral("big.jpg"));
    struct rlimit saved;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    error.clear();
    const bool written = JpegWriter::write(image, 100, path, &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    QVERIFY(!written);
    QCOMPARE(error, QStringLiteral("the file is too large for the device"));
    QVERIFY(!QFile::exists(path));

    // The reason is optional.
    QVERIFY(!JpegWriter::write(image, 90, dir.filePath(QStringLiteral("gone/out.jpg"))));
}

QTEST_GUILESS_MAIN(tst_JpegWriter)
#include "tst_JpegWriter.moc"
