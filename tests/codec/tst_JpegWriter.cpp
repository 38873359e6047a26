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

#include "TestUtils.h"
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
    void planesAreTheRgbWrite_data();
    void planesAreTheRgbWrite();
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

// The planes the library makes of an RGB picture on its own: its fixed-point
// BT.601 conversion, then 2 x 2 averages with the alternating bias 1, 2 of its
// subsampling, over a picture widened to even sizes by repeating its edges.
struct YCbCrPlanes
{
    QByteArray y, cb, cr;
    int width = 0, chromaWidth = 0;
};

YCbCrPlanes libraryPlanes(const QImage &rgb)
{
    constexpr int kOne = 1 << 16;
    const auto fix = [](double v) { return int(v * (1 << 16) + 0.5); };
    const int w = rgb.width();
    const int h = rgb.height();
    const int cw = (w + 1) / 2;
    const int ch = (h + 1) / 2;
    YCbCrPlanes planes;
    planes.width = w;
    planes.chromaWidth = cw;
    planes.y.resize(w * h);
    QByteArray cbFull(w * h, 0);
    QByteArray crFull(w * h, 0);
    for (int y = 0; y < h; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const int r = qRed(line[x]);
            const int g = qGreen(line[x]);
            const int b = qBlue(line[x]);
            planes.y[y * w + x]
                = char((fix(0.299) * r + fix(0.587) * g + fix(0.114) * b + kOne / 2) >> 16);
            cbFull[y * w + x] = char(
                (-fix(0.16874) * r - fix(0.33126) * g + fix(0.5) * b + 128 * kOne + kOne / 2 - 1)
                >> 16);
            crFull[y * w + x] = char(
                (fix(0.5) * r - fix(0.41869) * g - fix(0.08131) * b + 128 * kOne + kOne / 2 - 1)
                >> 16);
        }
    }
    const auto halve = [&](const QByteArray &full) {
        QByteArray half(cw * ch, 0);
        const auto at
            = [&](int x, int y) { return int(uchar(full[qMin(y, h - 1) * w + qMin(x, w - 1)])); };
        for (int y = 0; y < ch; ++y) {
            int bias = 1;
            for (int x = 0; x < cw; ++x, bias ^= 3)
                half[y * cw + x]
                    = char((at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1)
                               + at(2 * x + 1, 2 * y + 1) + bias)
                        >> 2);
        }
        return half;
    };
    planes.cb = halve(cbFull);
    planes.cr = halve(crFull);
    return planes;
}

void tst_JpegWriter::planesAreTheRgbWrite_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("quality");
    QTest::newRow("one MCU") << QSize(16, 16) << 90;
    QTest::newRow("one row, dummy blocks below") << QSize(32, 1) << 75;
    QTest::newRow("odd height, partial blocks") << QSize(48, 29) << 100;
    QTest::newRow("tall: sampled tables, partial last band") << QSize(1024, 1097) << 100;
    QTest::newRow("odd width") << QSize(37, 29) << 100;
    QTest::newRow("even width, chroma a block and a bit") << QSize(18, 17) << 50;
    QTest::newRow("one pixel") << QSize(1, 1) << 75;
    QTest::newRow("tall, odd width") << QSize(1001, 1097) << 90;
}

// Planes the library would have made of an RGB picture, written as planes:
// the file write() makes of that picture, byte for byte. Edges, partial
// bands and the sampled tables all have to line up for that.
void tst_JpegWriter::planesAreTheRgbWrite()
{
    QFETCH(QSize, size);
    QFETCH(int, quality);
    const QImage image = photoLike(size.width(), size.height(), QImage::Format_RGB32);
    const YCbCrPlanes made = libraryPlanes(image);
    JpegWriter::Planes420 planes;
    planes.data[0] = reinterpret_cast<const uchar *>(made.y.constData());
    planes.data[1] = reinterpret_cast<const uchar *>(made.cb.constData());
    planes.data[2] = reinterpret_cast<const uchar *>(made.cr.constData());
    planes.stride[0] = made.width;
    planes.stride[1] = planes.stride[2] = made.chromaWidth;
    QImage metadata(1, 1, QImage::Format_RGB32);
    metadata.setColorSpace(QColorSpace::DisplayP3);
    metadata.setDotsPerMeterX(image.dotsPerMeterX());
    metadata.setDotsPerMeterY(image.dotsPerMeterY());
    QImage withProfile = image;
    withProfile.setColorSpace(QColorSpace::DisplayP3);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("planes.jpg"));
    QString error;
    QVERIFY2(JpegWriter::writeYCbCr420(size, planes, metadata, quality, path, &error),
        qPrintable(error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QByteArray expected = writtenFile(withProfile, quality);
    if (size.width() % 16 == 0) {
        QCOMPARE(bytes.size(), expected.size());
        QVERIFY(bytes == expected);
    } else {
        // The library widens a picture whose chroma is not whole blocks wide
        // before halving it, its alternating rounding bias included; planes
        // have only their last sample to repeat. Only the right-most chroma
        // blocks see other samples: everything left of them decodes to the
        // same pixels, and in them the file is as close to the picture.
        const QImage ours = decoded(bytes);
        const QImage theirs = decoded(expected);
        QCOMPARE(ours.size(), theirs.size());
        const int exactWidth = size.width() / 16 * 16 - 2; // fancy upsampling reaches 2 pixels
        qint64 ourError = 0;
        qint64 theirError = 0;
        qint64 samples = 0;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const QRgb a = ours.pixel(x, y);
                const QRgb b = theirs.pixel(x, y);
                if (x < exactWidth) {
                    QCOMPARE(a, b);
                    continue;
                }
                const QRgb source = image.pixel(x, y);
                ourError += qAbs(qRed(a) - qRed(source)) + qAbs(qGreen(a) - qGreen(source))
                    + qAbs(qBlue(a) - qBlue(source));
                theirError += qAbs(qRed(b) - qRed(source)) + qAbs(qGreen(b) - qGreen(source))
                    + qAbs(qBlue(b) - qBlue(source));
                samples += 3;
            }
        }
        QVERIFY2(ourError <= theirError + samples,
            qPrintable(QStringLiteral("edge error %1 against %2 over %3 samples")
                           .arg(ourError)
                           .arg(theirError)
                           .arg(samples)));
    }

    // Planes too narrow for the picture are refused, and nothing is left.
    const QString refused = dir.filePath(QStringLiteral("refused.jpg"));
    planes.stride[1] = made.chromaWidth - 1;
    QVERIFY(!JpegWriter::writeYCbCr420(size, planes, metadata, quality, refused, &error));
    QVERIFY(!QFile::exists(refused));
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
    error.clear();
    const bool written = TestUtils::underFileSizeLimit(
        4096, [&] { return JpegWriter::write(image, 100, path, &error); });
    QVERIFY(!written);
    QCOMPARE(error, QStringLiteral("the file is too large for the device"));
    QVERIFY(!QFile::exists(path));

    // The reason is optional.
    QVERIFY(!JpegWriter::write(image, 90, dir.filePath(QStringLiteral("gone/out.jpg"))));
}

QTEST_GUILESS_MAIN(tst_JpegWriter)
#include "tst_JpegWriter.moc"
