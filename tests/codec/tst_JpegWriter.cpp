#include <csignal>

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

// Both hand the same samples to the same library with the same settings, so
// the files must match byte for byte (and with them every decoded pixel).
void tst_JpegWriter::sameBytesAsToolkit()
{
    QFETCH(QImage, image);
    QFETCH(int, quality);

    // JPEG has no alpha: the reference is the picture painted over white.
    const QByteArray expected
        = toolkitJpeg(image.hasAlphaChannel() ? flattenedOntoWhite(image) : image, quality);
    QVERIFY(!expected.isEmpty());

    QByteArray encoded;
    QString error;
    QVERIFY2(JpegWriter::encode(image, quality, &encoded, &error), qPrintable(error));
    QCOMPARE(encoded.size(), expected.size());
    QVERIFY(encoded == expected);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.jpg"));
    QVERIFY2(JpegWriter::write(image, quality, path, &error), qPrintable(error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll() == expected);
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
