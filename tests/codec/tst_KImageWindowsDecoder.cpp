#include <QBuffer>
#include <QColorSpace>
#include <QTemporaryDir>
#include <QtTest>

#include "CodecFixtures.h"
#include "TestUtils.h"
#include "codec/ImageCompleteness.h"
#include "codec/ImageLimits.h"
#include "codec/KImageWindowsDecoder.h"
#include "codec/KImageWrapper.h"
#include "codec/PngChunks.h"

using namespace CodecFixtures;

namespace {

QByteArray encoded(const QImage &image, const char *format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

// Page i is a flat colour that names it.
QColor pageColour(int page) { return QColor(page * 4, 255 - page * 4, 100); }

QVector<QImage> numberedPages(int count)
{
    QVector<QImage> pages;
    for (int i = 0; i < count; ++i) {
        QImage page(16, 12, QImage::Format_RGB32);
        page.fill(pageColour(i));
        pages.append(page);
    }
    return pages;
}

// The upright quadrant picture stored so that the orientation tag turns it
// back: the inverse of each EXIF transformation.
QImage storedFor(const QImage &upright, int orientation)
{
    switch (orientation) {
    case 2:
        return upright.mirrored(true, false);
    case 3:
        return upright.mirrored(true, true);
    case 4:
        return upright.mirrored(false, true);
    case 5: // transpose is its own inverse
        return upright.transformed(QTransform().rotate(90)).mirrored(true, false);
    case 6:
        return upright.transformed(QTransform().rotate(270));
    case 7:
        return upright.transformed(QTransform().rotate(270))
            .mirrored(false, true)
            .mirrored(true, true);
    case 8:
        return upright.transformed(QTransform().rotate(90));
    default:
        return upright;
    }
}

} // namespace

class tst_KImageWindowsDecoder : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void lazyTiffPaging();
    void lazyPagingWrapsAround();
    void fewPagesDecodeAtLoad();
    void oversizedPageIsSkipped();
    void readerFormats_data();
    void readerFormats();
    void webpAnimationFrames();
    void orientation_data();
    void orientation();
    void colourProfileKept_data();
    void colourProfileKept();
    void pixelCap();
    void framesArePremultiplied();
    void pngIntoPreparedFrame_data();
    void pngIntoPreparedFrame();
    void pngFileReadsAsItsBytes_data();
    void pngFileReadsAsItsBytes();

private:
    QString write(const QString &name, const QByteArray &bytes)
    {
        return TestUtils::writeFile(m_dir->path(), name, bytes);
    }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_KImageWindowsDecoder::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_KImageWindowsDecoder::lazyTiffPaging()
{
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("pages.tif", tiffFile(numberedPages(60)))));
    auto *decoder = dynamic_cast<KImageWindowsDecoder *>(wrapper.decoder());
    QVERIFY(decoder);
    QVERIFY(decoder->lazyPageMode());
    QCOMPARE(wrapper.frameCount(), 60);
    for (int i = 0; i < 60; ++i)
        QCOMPARE(decoder->isFrameDecoded(i), i < 8);

    const QImage page20 = wrapper.frameAt(20);
    QCOMPARE(page20.pixelColor(3, 3), pageColour(20));
    QVERIFY(decoder->isFrameDecoded(20));

    const QImage page28 = wrapper.frameAt(28);
    QCOMPARE(page28.pixelColor(3, 3), pageColour(28));
    QVERIFY(decoder->isFrameDecoded(28));
    QVERIFY(!decoder->isFrameDecoded(20));
    QVERIFY(!decoder->isFrameDecoded(36));
    // A released page comes back on demand.
    QCOMPARE(wrapper.frameAt(20).pixelColor(3, 3), pageColour(20));
    // Pages handed out earlier stay valid after their slot was released.
    QCOMPARE(page20.pixelColor(3, 3), pageColour(20));
}

void tst_KImageWindowsDecoder::lazyPagingWrapsAround()
{
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("pages.tif", tiffFile(numberedPages(41)))));
    auto *decoder = dynamic_cast<KImageWindowsDecoder *>(wrapper.decoder());
    QVERIFY(decoder && decoder->lazyPageMode());
    // Page 38: 30 below, 46 - 41 = 5 above (wrapped), which was decoded at load.
    QVERIFY(decoder->isFrameDecoded(5));
    QCOMPARE(wrapper.frameAt(38).pixelColor(0, 0), pageColour(38));
    QVERIFY(!decoder->isFrameDecoded(5));
    QVERIFY(decoder->isFrameDecoded(4));
    // Page 3 again is still decoded: nothing to release for it.
    QCOMPARE(wrapper.frameAt(3).pixelColor(0, 0), pageColour(3));
    QVERIFY(decoder->isFrameDecoded(38));
}

void tst_KImageWindowsDecoder::fewPagesDecodeAtLoad()
{
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("pages.tif", tiffFile(numberedPages(30)))));
    auto *decoder = dynamic_cast<KImageWindowsDecoder *>(wrapper.decoder());
    QVERIFY(decoder && !decoder->lazyPageMode());
    QCOMPARE(wrapper.frameCount(), 30);
    for (int i = 0; i < 30; ++i) {
        QVERIFY(decoder->isFrameDecoded(i));
        QCOMPARE(wrapper.frameAt(i).pixelColor(0, 0), pageColour(i));
    }
}

void tst_KImageWindowsDecoder::oversizedPageIsSkipped()
{
    // Second page claims 16385 x 12800 pixels (just over the cap).
    const QImage small = numberedPages(1).first();
    const QByteArray first = tiffFile({ small });
    const QByteArray big = tiffClaimingSize(16385, 12800);
    // Chain the two files' IFDs: rebuild from entries is simpler.
    QVector<QVector<TiffEntry>> entries;
    QVector<QByteArray> pixels;
    QImage rgba = small.convertToFormat(QImage::Format_RGBA8888);
    QByteArray bytes(reinterpret_cast<const char *>(rgba.constBits()), rgba.sizeInBytes());
    entries.append(
        { longEntry(256, { 16 }), longEntry(257, { 12 }), shortEntry(258, { 8, 8, 8, 8 }),
            shortEntry(259, { 1 }), shortEntry(262, { 2 }), shortEntry(277, { 4 }),
            longEntry(278, { 12 }), shortEntry(284, { 1 }), shortEntry(338, { 2 }) });
    pixels.append(bytes);
    entries.append({ longEntry(256, { 16385 }), longEntry(257, { 12800 }),
        shortEntry(258, { 8, 8, 8 }), shortEntry(259, { 1 }), shortEntry(262, { 2 }),
        shortEntry(277, { 3 }), longEntry(278, { 12800 }), shortEntry(284, { 1 }) });
    pixels.append(QByteArray(64, '\x10'));
    Q_UNUSED(first)
    Q_UNUSED(big)
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("mixed.tif", tiffFromPages(entries, pixels))));
    QCOMPARE(wrapper.frameCount(), 1);
    QCOMPARE(wrapper.frameAt(0).pixelColor(0, 0), pageColour(0));

    KImageWrapper alone;
    QVERIFY(!alone.load(write("big.tif", tiffClaimingSize(16385, 12800))));
}

void tst_KImageWindowsDecoder::readerFormats_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("frames");
    const QImage quad = TestUtils::quadrantImage(24, 16);
    QTest::newRow("XBM") << "a.xbm" << encoded(quad.convertToFormat(QImage::Format_Mono), "xbm")
                         << 1;
    QTest::newRow("XPM") << "a.xpm" << encoded(quad, "xpm") << 1;
    QTest::newRow("ICO") << "a.ico" << encoded(quad, "ico") << 1;
    QTest::newRow("BMP") << "a.bmp" << encoded(quad, "bmp") << 1;
    QTest::newRow("PPM named .png") << "ppm.png" << encoded(quad, "ppm") << 1;
}

void tst_KImageWindowsDecoder::readerFormats()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(int, frames);
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write(fileName, bytes)));
    QCOMPARE(wrapper.frameCount(), frames);
    QCOMPARE(wrapper.frameAt(0).size(), QSize(24, 16));
}

void tst_KImageWindowsDecoder::webpAnimationFrames()
{
    QVector<QImage> frames;
    for (QColor c : { QColor(Qt::red), QColor(Qt::green), QColor(Qt::blue), QColor(Qt::yellow) }) {
        QImage frame(20, 10, QImage::Format_ARGB32);
        frame.fill(c);
        frames.append(frame);
    }
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("anim.webp", webpAnimation(frames))));
    QCOMPARE(wrapper.frameCount(), 4);
    QCOMPARE(wrapper.frameAt(0).pixelColor(5, 5), QColor(Qt::red));
    QCOMPARE(wrapper.frameAt(3).pixelColor(5, 5), QColor(Qt::yellow));

    KImageWrapper fromData;
    QVERIFY(fromData.loadFromData(webpAnimation(frames)));
    QCOMPARE(fromData.frameCount(), 4);
}

void tst_KImageWindowsDecoder::orientation_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("orientation");
    for (const char *format : { "jpeg", "png", "webp", "tiff" })
        for (int orientation : { 1, 2, 3, 5, 6, 8 })
            QTest::addRow("%s orientation %d", format, orientation) << format << orientation;
}

void tst_KImageWindowsDecoder::orientation()
{
    QFETCH(QString, format);
    QFETCH(int, orientation);
    const QImage upright = TestUtils::quadrantImage(64, 48);
    const QImage stored = storedFor(upright, orientation);
    QByteArray bytes;
    int tolerance = 0;
    if (format == QLatin1String("jpeg")) {
        bytes = jpegWithExif(encoded(stored, "jpg", 95), orientation);
        tolerance = 24;
    } else if (format == QLatin1String("png")) {
        bytes = pngWithExif(encoded(stored, "png"), orientation);
    } else if (format == QLatin1String("webp")) {
        bytes = webpWithExif(encoded(stored, "webp", 100), orientation);
    } else {
        bytes = tiffFile({ stored }, orientation);
    }
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("turned." + format, bytes)));
    const QImage frame = wrapper.frameAt(0);
    QCOMPARE(frame.size(), upright.size());
    const QVector<QRgb> got = quadrantSamples(frame);
    const QVector<QRgb> want = quadrantSamples(upright);
    for (int i = 0; i < 4; ++i)
        QVERIFY2(TestUtils::colourNear(got[i], want[i], tolerance),
            qPrintable(QStringLiteral("quadrant %1: %2").arg(i).arg(QColor(got[i]).name())));
}

void tst_KImageWindowsDecoder::colourProfileKept_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("png") << "png";
    QTest::newRow("jpg") << "jpg";
    QTest::newRow("tif") << "tif";
    QTest::newRow("webp") << "webp";
}

void tst_KImageWindowsDecoder::colourProfileKept()
{
    QFETCH(QString, format);
    QImage image = TestUtils::quadrantImage(16, 16);
    image.setColorSpace(QColorSpace(QColorSpace::ProPhotoRgb));
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("p." + format, encoded(image, format.toLatin1().constData(), 95))));
    QCOMPARE(wrapper.frameAt(0).colorSpace(), QColorSpace(QColorSpace::ProPhotoRgb));
}

void tst_KImageWindowsDecoder::pixelCap()
{
    QVERIFY(ImageLimits::sizeAllowed(16384, 12800)); // exactly 209,715,200
    QVERIFY(!ImageLimits::sizeAllowed(16385, 12800));
    QVERIFY(!ImageLimits::sizeAllowed(209715201, 1));
    QVERIFY(ImageLimits::sizeAllowed(209715200, 1));
    QVERIFY(!ImageLimits::sizeAllowed(0, 10));
    QVERIFY(!ImageLimits::sizeAllowed(-5, -5));
    QVERIFY(!ImageLimits::sizeAllowed(qint64(1) << 32, qint64(1) << 32));

    // A real, decodable PNG just over the cap (1 bit per pixel, so cheap to
    // make and to read): the toolkit would decode it, the cap refuses it.
    QImage over(16385, 12800, QImage::Format_Mono);
    over.fill(0);
    const QByteArray png = encoded(over, "png");
    QVERIFY(!png.isEmpty());
    KImageWrapper wrapper;
    QVERIFY(!wrapper.load(write("over.png", png)));
    QVERIFY(!wrapper.loadFromData(png));
    KImageWrapper header;
    QVERIFY(!header.load(write("claim.png", pngClaimingSize(100000, 100000))));
}

void tst_KImageWindowsDecoder::framesArePremultiplied()
{
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("a.png", encoded(TestUtils::halfTransparentImage(8, 8), "png"))));
    QCOMPARE(wrapper.frameAt(0).format(), QImage::Format_ARGB32_Premultiplied);
}

void tst_KImageWindowsDecoder::pngIntoPreparedFrame_data()
{
    QTest::addColumn<QImage>("picture");
    // Large enough for whole 2 MB blocks; the PNG reader fills the frame the
    // decoder prepares for 32-bit pictures and makes its own otherwise.
    const QImage photo = TestUtils::photoLikeImage(1200, 900);
    QTest::newRow("opaque") << photo;
    QImage alpha = photo.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < alpha.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(alpha.scanLine(y));
        for (int x = 0; x < alpha.width(); ++x)
            line[x] = (line[x] & 0x00ffffffu) | (quint32((x + y) % 256) << 24);
    }
    QTest::newRow("alpha") << alpha;
    QTest::newRow("grey") << photo.convertToFormat(QImage::Format_Grayscale8);
    QTest::newRow("16-bit") << photo.convertToFormat(QImage::Format_RGBA64);
    QTest::newRow("palette") << photo.convertToFormat(QImage::Format_Indexed8);
    QTest::newRow("small") << TestUtils::halfTransparentImage(8, 8);
}

// The prepared frame changes where the pixels go, never what they are.
void tst_KImageWindowsDecoder::pngIntoPreparedFrame()
{
    QFETCH(QImage, picture);
    const QByteArray png = encoded(picture, "png");
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("prepared.png", png)));
    const QImage frame = wrapper.frameAt(0);
    QImage expected = QImage::fromData(png, "PNG");
    QVERIFY(!expected.isNull());
    expected = expected.convertToFormat(frame.format());
    QCOMPARE(frame.size(), expected.size());
    QVERIFY(frame == expected);
}

void tst_KImageWindowsDecoder::pngFileReadsAsItsBytes_data()
{
    QTest::addColumn<QByteArray>("png");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<int>("orientation");

    // signature (8) + IHDR (25) | IDAT ... | IEND (12)
    const QByteArray plain = encoded(TestUtils::quadrantImage(64, 48), "png");
    const QByteArray head = plain.left(33);
    const QByteArray body = plain.mid(33, plain.size() - 33 - 12);
    const QByteArray end = plain.right(12);
    const QByteArray exif = pngChunk("eXIf", exifBlock(6).mid(6));
    QByteArray tooLong = pngChunk("tEXt", QByteArray("Comment\0x", 9));
    tooLong[2] = '\x7f'; // claims about 8 MB

    QTest::newRow("plain") << plain << true << 1;
    QTest::newRow("EXIF ahead of the data") << head + exif + body + end << true << 6;
    QTest::newRow("EXIF after the data") << head + body + exif + end << true << 6;
    QTest::newRow("cut in the data") << plain.left(plain.size() / 2) << false << 0;
    QTest::newRow("cut in a chunk's head") << plain.left(plain.size() - 8) << false << 0;
    QTest::newRow("no end chunk") << head + body << false << 0;
    QTest::newRow("a chunk longer than the file") << head + tooLong + body + end << false << 0;
}

// A PNG file is read as it is decoded, its chunks walked on the file:
// the same verdict, orientation and pixels as the same bytes in memory.
void tst_KImageWindowsDecoder::pngFileReadsAsItsBytes()
{
    QFETCH(QByteArray, png);
    QFETCH(bool, loads);
    QFETCH(int, orientation);

    QBuffer device(&png);
    QVERIFY(device.open(QIODevice::ReadOnly));
    const PngChunks::Walk walk = PngChunks::walk(&device, "eXIf");
    QCOMPARE(walk.complete, loads);
    QCOMPARE(walk.complete, ImageCompleteness::isPngComplete(png));
    QCOMPARE(walk.wanted, loads ? PngChunks::find(png, "eXIf") : QByteArray());
    QCOMPARE(device.pos(), qint64(0));

    KImageWrapper fromFile;
    KImageWrapper fromBytes;
    // The name does not matter: the content says PNG.
    QCOMPARE(fromFile.load(write("picture.jpg", png)), loads);
    QCOMPARE(fromBytes.loadFromData(png), loads);
    if (!loads)
        return;
    const QImage frame = fromFile.frameAt(0);
    QCOMPARE(frame, fromBytes.frameAt(0));
    QCOMPARE(frame.size(), orientation == 6 ? QSize(48, 64) : QSize(64, 48));
}

QTEST_MAIN(tst_KImageWindowsDecoder)
#include "tst_KImageWindowsDecoder.moc"
