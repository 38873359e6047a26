#include <QBuffer>
#include <QColorSpace>
#include <QTemporaryDir>
#include <QtTest>

#include "CodecFixtures.h"
#include "TestUtils.h"
#include "codec/DirectImageEncoder.h"
#include "codec/KImageHeicDecoder.h"
#include "codec/KImageWrapper.h"
#include "codec/PngEncoder.h"

using namespace CodecFixtures;

namespace {

// Fails the conversion of every picture whose number is in failing.
class FailingEncoder : public PngEncoder
{
public:
    explicit FailingEncoder(QVector<int> failing)
        : m_failing(std::move(failing))
    {
    }
    QImage toImage(const heif_image_handle *handle, const heif_image *image,
        const QString &fileName) const override
    {
        return m_failing.contains(m_calls++) ? QImage()
                                             : PngEncoder::toImage(handle, image, fileName);
    }

private:
    QVector<int> m_failing;
    mutable int m_calls = 0;
};

} // namespace

class tst_KImageHeicDecoder : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void singleImage();
    void alphaIsKept();
    void tenBitUsesTheFullRange();
    void widenSample_data();
    void widenSample();
    void colourProfileKept();
    void depthMapIsTheSecondFrame();
    void turnedOnceByItsOwnTransforms();
    void everyTopLevelImage();
    void failedConversionKeepsItsSlot();
    void refused_data();
    void refused();
    void directPathGivesThePngPathsPictures_data();
    void directPathGivesThePngPathsPictures();

private:
    QString write(const QString &name, const QByteArray &bytes)
    {
        return TestUtils::writeFile(m_dir->path(), name, bytes);
    }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_KImageHeicDecoder::initTestCase()
{
    if (heifFile(TestUtils::quadrantImage(16, 16)).isEmpty())
        QSKIP("libheif on this machine has no HEVC encoder to make fixtures");
}

void tst_KImageHeicDecoder::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_KImageHeicDecoder::singleImage()
{
    const QImage quad = TestUtils::quadrantImage(64, 48);
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("one.heic", heifFile(quad))));
    QCOMPARE(wrapper.frameCount(), 1);
    const QImage frame = wrapper.frameAt(0);
    QCOMPARE(frame.size(), QSize(64, 48));
    const QVector<QRgb> got = quadrantSamples(frame);
    const QVector<QRgb> want = quadrantSamples(quad);
    for (int i = 0; i < 4; ++i)
        QVERIFY2(TestUtils::colourNear(got[i], want[i], 12), qPrintable(QColor(got[i]).name()));
}

void tst_KImageHeicDecoder::alphaIsKept()
{
    HeifOptions options;
    options.alpha = true;
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(
        write("alpha.heic", heifFile(TestUtils::halfTransparentImage(32, 16), options))));
    const QImage frame = wrapper.frameAt(0);
    QVERIFY(frame.hasAlphaChannel());
    QCOMPARE(qAlpha(frame.pixel(4, 8)), 255);
    QCOMPARE(qAlpha(frame.pixel(28, 8)), 0);
}

void tst_KImageHeicDecoder::tenBitUsesTheFullRange()
{
    // White, black and a mid grey, 10 bits deep.
    QImage source(48, 16, QImage::Format_RGBA64);
    for (int x = 0; x < 48; ++x) {
        const quint16 v = x < 16 ? 65535 : x < 32 ? 0 : 32768;
        for (int y = 0; y < 16; ++y)
            source.setPixelColor(x, y, QColor::fromRgba64(v, v, v, 65535));
    }
    HeifOptions options;
    options.bitDepth = 10;
    const QByteArray heic = heifFile(source, options);
    if (heic.isEmpty())
        QSKIP("the HEVC encoder here cannot write 10 bits");
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("deep.heic", heic)));
    const QImage frame = wrapper.frameAt(0);
    QVERIFY(frame.depth() == 64);
    QCOMPARE(frame.pixelColor(8, 8).rgba64().red(), quint16(65535));
    QCOMPARE(frame.pixelColor(8, 8).rgba64().alpha(), quint16(65535));
    QVERIFY(frame.pixelColor(24, 8).rgba64().red() < 1000);
    QVERIFY(qAbs(int(frame.pixelColor(40, 8).rgba64().red()) - 32768) < 1500);
}

void tst_KImageHeicDecoder::widenSample_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("expected");
    QTest::newRow("10-bit maximum") << 1023 << 10 << 65535;
    QTest::newRow("10-bit zero") << 0 << 10 << 0;
    QTest::newRow("10-bit half") << 512 << 10 << ((512 << 6) | (512 >> 4));
    QTest::newRow("12-bit maximum") << 4095 << 12 << 65535;
    QTest::newRow("12-bit one") << 1 << 12 << 16;
    QTest::newRow("above the depth's range") << 65535 << 10 << 65535;
    QTest::newRow("16 bits unchanged") << 1234 << 16 << 1234;
    QTest::newRow("8 bits unchanged") << 200 << 8 << 200;
}

void tst_KImageHeicDecoder::widenSample()
{
    QFETCH(int, value);
    QFETCH(int, bits);
    QFETCH(int, expected);
    QCOMPARE(int(PngEncoder::widenSample(quint16(value), bits)), expected);
}

void tst_KImageHeicDecoder::colourProfileKept()
{
    HeifOptions options;
    options.icc = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    KImageWrapper wrapper;
    QVERIFY(
        wrapper.load(write("profile.heic", heifFile(TestUtils::quadrantImage(16, 16), options))));
    QCOMPARE(wrapper.frameAt(0).colorSpace(), QColorSpace(QColorSpace::AdobeRgb));
}

void tst_KImageHeicDecoder::depthMapIsTheSecondFrame()
{
    const QByteArray heic = heifWithDepth(TestUtils::halfTransparentImage(32, 16));
    if (heic.isEmpty())
        QSKIP("the encoder wrote no auxiliary image to relabel as depth");
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("depth.heic", heic)));
    QCOMPARE(wrapper.frameCount(), 2);
    const QImage picture = wrapper.frameAt(0);
    const QImage depth = wrapper.frameAt(1);
    QCOMPARE(picture.size(), QSize(32, 16));
    QCOMPARE(depth.size(), QSize(32, 16));
    // The former alpha plane: opaque left half, transparent right half.
    QVERIFY(qGray(depth.pixel(4, 8)) > 200);
    QVERIFY(qGray(depth.pixel(28, 8)) < 50);
    QVERIFY(!picture.hasAlphaChannel() || qAlpha(picture.pixel(28, 8)) == 255);
}

void tst_KImageHeicDecoder::turnedOnceByItsOwnTransforms()
{
    const QImage upright = TestUtils::quadrantImage(64, 48);
    HeifOptions options;
    options.orientation = 6; // irot: a quarter turn clockwise
    options.exifOrientation = 6; // the same fact again, in EXIF
    const QByteArray heic = heifFile(upright.transformed(QTransform().rotate(270)), options);
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("turned.heic", heic)));
    const QImage frame = wrapper.frameAt(0);
    QCOMPARE(frame.size(), QSize(64, 48));
    const QVector<QRgb> got = quadrantSamples(frame);
    const QVector<QRgb> want = quadrantSamples(upright);
    for (int i = 0; i < 4; ++i)
        QVERIFY(TestUtils::colourNear(got[i], want[i], 12));
}

void tst_KImageHeicDecoder::everyTopLevelImage()
{
    HeifOptions options;
    options.images = 3;
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("three.heic", heifFile(TestUtils::quadrantImage(16, 16), options))));
    QCOMPARE(wrapper.frameCount(), 3);
    QVERIFY(!wrapper.frameAt(2).isNull());
}

void tst_KImageHeicDecoder::failedConversionKeepsItsSlot()
{
    HeifOptions options;
    options.images = 3;
    const QString path = write("three.heic", heifFile(TestUtils::quadrantImage(16, 16), options));
    const QList<QImage> images = KImageHeicDecoder::decodeHeifFile(path, FailingEncoder({ 1 }));
    QCOMPARE(images.size(), 3);
    QVERIFY(!images[0].isNull());
    QVERIFY(images[1].isNull());
    QVERIFY(!images[2].isNull());
    // No picture at all came through: nothing to load.
    QCOMPARE(KImageHeicDecoder::decodeHeifFile(path, FailingEncoder({ 0, 1, 2 })).size(), 3);
}

void tst_KImageHeicDecoder::refused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray heic = heifFile(TestUtils::quadrantImage(64, 48));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    TestUtils::quadrantImage(16, 16).save(&buffer, "jpg");
    QTest::newRow("JPEG named .heic") << jpeg;
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("file type box only") << heic.left(12);
    QTest::newRow("cut in half") << heic.left(heic.size() / 2);
    QTest::newRow("last bytes missing") << heic.left(heic.size() - 10);
    QByteArray garbled = heic;
    for (int i = heic.size() / 2; i < heic.size(); i += 7)
        garbled[i] = char(garbled[i] ^ 0x5A);
    QTest::newRow("image data garbled") << garbled;
}

void tst_KImageHeicDecoder::refused()
{
    QFETCH(QByteArray, bytes);
    KImageWrapper wrapper;
    const bool loaded = wrapper.load(write("bad.heic", bytes));
    // Garbled image data may still decode to some picture; it must not
    // crash, and a load that fails leaves no frames.
    if (QByteArray(QTest::currentDataTag()) != "image data garbled")
        QVERIFY(!loaded);
    QCOMPARE(wrapper.frameCount() > 0, loaded);
}

void tst_KImageHeicDecoder::directPathGivesThePngPathsPictures_data()
{
    QTest::addColumn<QByteArray>("heic");
    QImage deep(40, 24, QImage::Format_RGBA64);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x)
            deep.setPixelColor(x, y,
                QColor::fromRgba64(
                    quint16(x * 1600), quint16(y * 2700), 30000, quint16(65535 - x * 1000)));
    const QImage quad = TestUtils::quadrantImage(48, 32);
    HeifOptions options;
    QTest::newRow("8 bits") << heifFile(quad, options);
    options.lossless = false;
    QTest::newRow("8 bits, lossy") << heifFile(deep.convertToFormat(QImage::Format_RGB32), options);
    // Opaque 8-bit pictures come from libheif as planes: the coded layouts
    // and colour descriptions its conversion treats apart.
    const QImage photo = TestUtils::photoLikeImage(91, 67);
    options.chroma = "420";
    QTest::newRow("4:2:0, odd size") << heifFile(photo, options);
    options.chroma = "444";
    options.matrix = heif_matrix_coefficients_ITU_R_BT_709_5;
    options.fullRange = false;
    QTest::newRow("4:4:4, BT.709 limited range") << heifFile(photo, options);
    options = HeifOptions();
    options.lossless = false;
    options.monochrome = true;
    QTest::newRow("monochrome") << heifFile(photo, options);
    options.monochrome = false;
    options.lossless = true;
    options.alpha = true;
    QTest::newRow("8 bits, alpha") << heifFile(TestUtils::halfTransparentImage(32, 16), options);
    options.icc = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    QTest::newRow("8 bits, alpha, profile") << heifFile(quad, options);
    options = HeifOptions();
    options.bitDepth = 10;
    QTest::newRow("10 bits") << heifFile(deep, options);
    options.alpha = true;
    QTest::newRow("10 bits, alpha") << heifFile(deep, options);
    options = HeifOptions();
    options.images = 2;
    options.orientation = 6;
    QTest::newRow("two images, turned") << heifFile(quad, options);
    QTest::newRow("depth map") << heifWithDepth(TestUtils::halfTransparentImage(32, 16));
}

// The direct conversion is the default only because it gives, bit for bit,
// the pictures of the PNG round trip.
void tst_KImageHeicDecoder::directPathGivesThePngPathsPictures()
{
    QFETCH(QByteArray, heic);
    if (heic.isEmpty())
        QSKIP("the HEVC encoder here cannot write this variant");
    const QString path = write("same.heic", heic);
    const QList<QImage> viaPng = KImageHeicDecoder::decodeHeifFile(path, PngEncoder());
    const QList<QImage> direct = KImageHeicDecoder::decodeHeifFile(path, DirectImageEncoder());
    QVERIFY(!viaPng.isEmpty());
    QCOMPARE(direct.size(), viaPng.size());
    for (int i = 0; i < viaPng.size(); ++i) {
        QCOMPARE(direct[i].format(), viaPng[i].format());
        QCOMPARE(direct[i].size(), viaPng[i].size());
        // The direct frame may keep libheif's row padding; only the
        // pixels' bytes are compared.
        const size_t rowBytes = size_t(direct[i].width()) * size_t(direct[i].depth() / 8);
        for (int y = 0; y < direct[i].height(); ++y)
            QVERIFY(memcmp(direct[i].constScanLine(y), viaPng[i].constScanLine(y), rowBytes) == 0);
        QCOMPARE(direct[i].colorSpace(), viaPng[i].colorSpace());
        QCOMPARE(direct[i].colorSpace().iccProfile(), viaPng[i].colorSpace().iccProfile());
        QCOMPARE(direct[i].dotsPerMeterX(), viaPng[i].dotsPerMeterX());
    }
}

QTEST_MAIN(tst_KImageHeicDecoder)
#include "tst_KImageHeicDecoder.moc"
