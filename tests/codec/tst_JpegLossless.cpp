#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QTransform>
#include <QtTest>

#include "CodecFixtures.h"
#include "PdfFixtures.h"
#include "codec/JpegLossless.h"

using Operation = JpegLossless::Operation;
Q_DECLARE_METATYPE(JpegLossless::Operation)

namespace {

QImage photoLike(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(uint(width * 131 + height));
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int noise = int(random.bounded(16));
            // Distinct corners so that a wrong turn cannot pass.
            const int r = x < width / 2 ? 220 : 30;
            const int g = y < height / 2 ? 200 : 40;
            line[x] = qRgb(qMin(255, r + noise), qMin(255, g + noise), (x * 4 + y) & 0xff);
        }
    }
    return image;
}

QByteArray jpeg(const QImage &image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

QImage upright(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoTransform(true);
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

QImage applied(const QImage &image, Operation operation)
{
    switch (operation) {
    case Operation::RotateLeft:
        return image.transformed(QTransform().rotate(-90));
    case Operation::RotateRight:
        return image.transformed(QTransform().rotate(90));
    case Operation::Rotate180:
        return image.transformed(QTransform().rotate(180));
    case Operation::FlipLeftRight:
        return image.mirrored(true, false);
    case Operation::FlipUpDown:
        return image.mirrored(false, true);
    case Operation::None:
        break;
    }
    return image;
}

int maxDifference(const QImage &a, const QImage &b)
{
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *pa = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *pb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            worst = qMax(worst, qAbs(qRed(pa[x]) - qRed(pb[x])));
            worst = qMax(worst, qAbs(qGreen(pa[x]) - qGreen(pb[x])));
            worst = qMax(worst, qAbs(qBlue(pa[x]) - qBlue(pb[x])));
        }
    }
    return worst;
}

} // namespace

class tst_JpegLossless : public QObject
{
    Q_OBJECT
private slots:
    void matchesDecodeTurnCompare_data();
    void matchesDecodeTurnCompare();
    void partialEdgeBlocksAreLeftToTheDecoder_data();
    void partialEdgeBlocksAreLeftToTheDecoder();
    void keepsMarkersAndRefusesWhatItCannotTake();
};

void tst_JpegLossless::matchesDecodeTurnCompare_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<Operation>("operation");
    const struct
    {
        const char *name;
        Operation operation;
    } operations[] = { { "left", Operation::RotateLeft }, { "right", Operation::RotateRight },
        { "180", Operation::Rotate180 }, { "flip left-right", Operation::FlipLeftRight },
        { "flip up-down", Operation::FlipUpDown }, { "none", Operation::None } };
    for (int orientation = 1; orientation <= 8; ++orientation)
        for (const auto &op : operations)
            QTest::addRow("orientation %d, %s", orientation, op.name)
                << orientation << op.operation;
}

// The lossless result, decoded, is the decoded source turned upright and then
// turned as asked. Moved DCT blocks decode to the same pixels up to the
// rounding of the integer IDCT and of the chroma upsampling, which run along
// the other axis after a transposition: at most a couple of levels.
void tst_JpegLossless::matchesDecodeTurnCompare()
{
    QFETCH(int, orientation);
    QFETCH(Operation, operation);
    // 4:2:0 blocks are 16x16: 96x64 has no partial block.
    const QByteArray source = CodecFixtures::jpegWithExif(jpeg(photoLike(96, 64), 92), orientation);
    QByteArray turned;
    QString error;
    QCOMPARE(JpegLossless::transform(source, operation, &turned, &error),
        JpegLossless::Result::Transformed);
    QVERIFY(error.isEmpty());
    QCOMPARE(JpegLossless::orientationOf(turned), 1);

    const QImage expected = applied(upright(source), operation);
    const QImage actual = upright(turned);
    QCOMPARE(actual.size(), expected.size());
    const int difference = maxDifference(actual, expected);
    QVERIFY2(difference <= 3, qPrintable(QString::number(difference)));
}

void tst_JpegLossless::partialEdgeBlocksAreLeftToTheDecoder_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<bool>("perfect");
    // Which edges a turn moves decides whether their partial blocks matter.
    QTest::newRow("100x64, right") << QSize(100, 64) << 1 << Operation::RotateRight << true;
    QTest::newRow("96x70, right") << QSize(96, 70) << 1 << Operation::RotateRight << false;
    QTest::newRow("100x64, left") << QSize(100, 64) << 1 << Operation::RotateLeft << false;
    QTest::newRow("100x64, flip left-right")
        << QSize(100, 64) << 1 << Operation::FlipLeftRight << false;
    QTest::newRow("100x64, flip up-down") << QSize(100, 64) << 1 << Operation::FlipUpDown << true;
    QTest::newRow("101x67, 180") << QSize(101, 67) << 1 << Operation::Rotate180 << false;
    // A transposition moves no block across an edge.
    QTest::newRow("101x67, orientation 5 as it is")
        << QSize(101, 67) << 5 << Operation::None << true;
    QTest::newRow("101x67, as it is") << QSize(101, 67) << 1 << Operation::None << true;
}

void tst_JpegLossless::partialEdgeBlocksAreLeftToTheDecoder()
{
    QFETCH(QSize, size);
    QFETCH(int, orientation);
    QFETCH(Operation, operation);
    QFETCH(bool, perfect);
    const QByteArray source = CodecFixtures::jpegWithExif(
        jpeg(photoLike(size.width(), size.height()), 90), orientation);
    QByteArray turned("stale");
    const JpegLossless::Result result = JpegLossless::transform(source, operation, &turned);
    if (!perfect) {
        QCOMPARE(result, JpegLossless::Result::NotApplicable);
        QVERIFY(turned.isEmpty());
        return;
    }
    QCOMPARE(result, JpegLossless::Result::Transformed);
    const QImage expected = applied(upright(source), operation);
    const QImage actual = upright(turned);
    QCOMPARE(actual.size(), expected.size());
    QVERIFY(maxDifference(actual, expected) <= 3);
}

void tst_JpegLossless::keepsMarkersAndRefusesWhatItCannotTake()
{
    QByteArray turned;
    // The ICC profile and the rest of the EXIF block travel along.
    QImage profiled = photoLike(32, 32);
    profiled.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    const QByteArray source = CodecFixtures::jpegWithExif(jpeg(profiled, 90), 6);
    QCOMPARE(JpegLossless::transform(source, Operation::RotateLeft, &turned),
        JpegLossless::Result::Transformed);
    QVERIFY(turned.contains(QByteArray("ICC_PROFILE\0", 12)));
    QVERIFY(turned.contains(QByteArray("Exif\0\0", 6)));
    QCOMPARE(upright(turned).colorSpace().iccProfile(), profiled.colorSpace().iccProfile());

    QCOMPARE(JpegLossless::transform(
                 PdfFixtures::invertedCmykJpeg(32, 32), Operation::RotateLeft, &turned),
        JpegLossless::Result::NotApplicable);
    QCOMPARE(
        JpegLossless::transform(QByteArray("\x89PNG\r\n\x1a\n"), Operation::RotateLeft, &turned),
        JpegLossless::Result::NotApplicable);
    // Cut in the header or in the picture data: the library's warning is an
    // error here, never a half-grey result.
    QCOMPARE(JpegLossless::transform(source.left(300), Operation::RotateLeft, &turned),
        JpegLossless::Result::Failed);
    QCOMPARE(
        JpegLossless::transform(source.left(source.size() - 100), Operation::RotateLeft, &turned),
        JpegLossless::Result::Failed);
    QVERIFY(turned.isEmpty());

    Operation operation;
    QVERIFY(JpegLossless::operationForAngle(-90, &operation));
    QCOMPARE(operation, Operation::RotateRight);
    QVERIFY(JpegLossless::operationForAngle(450 - 360, &operation));
    QCOMPARE(operation, Operation::RotateLeft);
    QVERIFY(JpegLossless::operationForAngle(-180, &operation));
    QCOMPARE(operation, Operation::Rotate180);
    QVERIFY(!JpegLossless::operationForAngle(30, &operation));
}

QTEST_GUILESS_MAIN(tst_JpegLossless)
#include "tst_JpegLossless.moc"
