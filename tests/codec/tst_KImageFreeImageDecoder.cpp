#include <cstdio>

#include <FreeImage.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <QBuffer>
#include <QColorSpace>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include "CodecFixtures.h"
#include "TestUtils.h"
#include "codec/KImageFreeImageDecoder.h"
#include "codec/KImageWrapper.h"
#include "codec/RawDeveloper.h"

using namespace CodecFixtures;

// A camera white balance (AsShotNeutral: R, G, B as fractions).
using Neutral = QVector<QPair<quint32, quint32>>;
Q_DECLARE_METATYPE(Neutral)

namespace {

QByteArray encoded(const QImage &image, const char *format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

// A file written by FreeImage itself from a toolkit image.
QByteArray freeImageFile(const QImage &image, FREE_IMAGE_FORMAT fif, int flags = 0, int bpp = 32)
{
    QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    FIBITMAP *bitmap = FreeImage_ConvertFromRawBits(argb.bits(), argb.width(), argb.height(),
        argb.bytesPerLine(), 32, 0x00FF0000, 0x0000FF00, 0x000000FF, TRUE);
    if (bpp == 24) {
        FIBITMAP *rgb = FreeImage_ConvertTo24Bits(bitmap);
        FreeImage_Unload(bitmap);
        bitmap = rgb;
    }
    FIMEMORY *memory = FreeImage_OpenMemory();
    QByteArray out;
    if (FreeImage_SaveToMemory(fif, bitmap, memory, flags)) {
        BYTE *data = nullptr;
        DWORD size = 0;
        FreeImage_AcquireMemory(memory, &data, &size);
        out = QByteArray(reinterpret_cast<const char *>(data), int(size));
    }
    FreeImage_CloseMemory(memory);
    FreeImage_Unload(bitmap);
    return out;
}

QByteArray hdrFile()
{
    // Left half at 0.25, right half at 4.0 (beyond display white).
    FIBITMAP *bitmap = FreeImage_AllocateT(FIT_RGBF, 16, 8);
    for (unsigned y = 0; y < 8; ++y) {
        auto *row = reinterpret_cast<FIRGBF *>(FreeImage_GetScanLine(bitmap, y));
        for (unsigned x = 0; x < 16; ++x) {
            const float v = x < 8 ? 0.25f : 4.0f;
            row[x] = FIRGBF { v, v, v };
        }
    }
    FIMEMORY *memory = FreeImage_OpenMemory();
    FreeImage_SaveToMemory(FIF_HDR, bitmap, memory, 0);
    BYTE *data = nullptr;
    DWORD size = 0;
    FreeImage_AcquireMemory(memory, &data, &size);
    const QByteArray out(reinterpret_cast<const char *>(data), int(size));
    FreeImage_CloseMemory(memory);
    FreeImage_Unload(bitmap);
    return out;
}

QByteArray tiff16()
{
    QByteArray pixels;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            for (quint16 v : { quint16(65535), quint16(32768), quint16(0) }) {
                char b[2];
                qToLittleEndian(v, b);
                pixels.append(b, 2);
            }
    return tiffFromPages(
        { { longEntry(256, { 4 }), longEntry(257, { 4 }), shortEntry(258, { 16, 16, 16 }),
            shortEntry(259, { 1 }), shortEntry(262, { 2 }), shortEntry(277, { 3 }),
            longEntry(278, { 4 }), shortEntry(284, { 1 }) } },
        { pixels });
}

QByteArray ddsFile(quint32 width, quint32 height, bool withPixels)
{
    QByteArray dds("DDS ");
    auto put = [&dds](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        dds.append(b, 4);
    };
    put(124);
    put(0x1 | 0x2 | 0x4 | 0x1000 | 0x8); // caps, height, width, pixel format, pitch
    put(height);
    put(width);
    put(width * 4);
    put(0);
    put(0);
    for (int i = 0; i < 11; ++i)
        put(0);
    put(32);
    put(0x40 | 0x1); // RGB with alpha
    put(0);
    put(32);
    put(0x00FF0000);
    put(0x0000FF00);
    put(0x000000FF);
    put(0xFF000000);
    put(0x1000);
    put(0);
    put(0);
    put(0);
    put(0);
    if (withPixels)
        for (quint32 i = 0; i < width * height; ++i)
            put(0xFF0000FF); // opaque blue
    return dds;
}

QByteArray mngFile(const QVector<QImage> &frames)
{
    QByteArray mng("\x8aMNG\r\n\x1a\n", 8);
    auto chunk = [&mng](const char *type, const QByteArray &data) {
        char len[4];
        qToBigEndian(quint32(data.size()), len);
        mng.append(len, 4);
        const QByteArray body = QByteArray(type, 4) + data;
        mng += body;
        char crc[4];
        qToBigEndian(
            quint32(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size()))),
            crc);
        mng.append(crc, 4);
    };
    QByteArray header(28, '\0');
    qToBigEndian(quint32(frames.first().width()), header.data());
    qToBigEndian(quint32(frames.first().height()), header.data() + 4);
    qToBigEndian(quint32(1000), header.data() + 8);
    chunk("MHDR", header);
    for (const QImage &frame : frames) {
        const QByteArray png = encoded(frame, "png");
        mng += png.mid(8); // the PNG's chunks, IHDR to IEND
    }
    chunk("MEND", QByteArray());
    return mng;
}

qreal meanLuma(const QImage &image)
{
    qreal sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += qGray(image.pixel(x, y));
    return sum / (image.width() * image.height());
}

} // namespace

class tst_KImageFreeImageDecoder : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void formats_data();
    void formats();
    void plainPicturesKeepEveryPixel_data();
    void plainPicturesKeepEveryPixel();
    void rawIsDevelopedAndBrightened();
    void rawIsThePlugInsPicture_data();
    void rawIsThePlugInsPicture();
    void rawTooLargeIsRefusedBeforeUnpacking();
    void rawIsTurnedOnce();
    void deepPicturesReducedTo8Bits();
    void orientationApplied_data();
    void orientationApplied();
    void colourProfileKept_data();
    void colourProfileKept();
    void refused_data();
    void refused();
    void tiffWarningsAreSilent();

private:
    QString write(const QString &name, const QByteArray &bytes)
    {
        return TestUtils::writeFile(m_dir->path(), name, bytes);
    }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_KImageFreeImageDecoder::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_KImageFreeImageDecoder::formats_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRgb>("topLeft");
    const QImage quad = TestUtils::quadrantImage(24, 16, QImage::Format_ARGB32);
    QTest::newRow("TGA") << "a.tga" << freeImageFile(quad, FIF_TARGA) << QSize(24, 16)
                         << qRgb(255, 0, 0);
    QTest::newRow("RLE TGA") << "a2.tga" << freeImageFile(quad, FIF_TARGA, TARGA_SAVE_RLE)
                             << QSize(24, 16) << qRgb(255, 0, 0);
    QTest::newRow("PSD") << "a3.psd" << psdFile(quad) << QSize(24, 16) << qRgb(255, 0, 0);
    QTest::newRow("PNG named .tga")
        << "b.tga" << encoded(quad, "png") << QSize(24, 16) << qRgb(255, 0, 0);
    QTest::newRow("JPEG named .psd")
        << "c.psd" << encoded(quad, "jpg", 100) << QSize(24, 16) << qRgb(254, 0, 0);
    QTest::newRow("DDS") << "d.dds" << ddsFile(4, 4, true) << QSize(4, 4) << qRgb(0, 0, 255);
    QImage second(24, 16, QImage::Format_RGB32);
    second.fill(Qt::green);
    QTest::newRow("MNG gives its first picture")
        << "e.mng" << mngFile({ quad, second }) << QSize(24, 16) << qRgb(255, 0, 0);
    QTest::newRow("HDR") << "f.hdr" << hdrFile() << QSize(16, 8) << QRgb(0);
    QTest::newRow("unknown extension")
        << "g.unknown" << encoded(quad, "bmp") << QSize(24, 16) << qRgb(255, 0, 0);
}

void tst_KImageFreeImageDecoder::plainPicturesKeepEveryPixel_data()
{
    QTest::addColumn<int>("bpp");
    QTest::addColumn<int>("flags");
    QTest::newRow("24-bit") << 24 << 0;
    QTest::newRow("24-bit RLE") << 24 << int(TARGA_SAVE_RLE);
    QTest::newRow("32-bit with alpha") << 32 << 0;
}

void tst_KImageFreeImageDecoder::plainPicturesKeepEveryPixel()
{
    // Plain 24- and 32-bit pictures are copied straight into the frame.
    QFETCH(int, bpp);
    QFETCH(int, flags);
    QImage source = TestUtils::photoLikeImage(37, 23).convertToFormat(QImage::Format_ARGB32);
    for (int x = 0; x < source.width(); ++x)
        source.setPixel(x, 5, qRgba(x * 6, 255 - x * 6, 7, bpp == 32 ? x * 7 : 255));
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(
        write(QStringLiteral("plain.tga"), freeImageFile(source, FIF_TARGA, flags, bpp))));
    QCOMPARE(wrapper.frameAt(0), source);
}

void tst_KImageFreeImageDecoder::formats()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QFETCH(QRgb, topLeft);
    QVERIFY(!bytes.isEmpty());
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write(fileName, bytes)));
    QVERIFY(dynamic_cast<KImageFreeImageDecoder *>(wrapper.decoder()));
    QCOMPARE(wrapper.frameCount(), 1);
    const QImage frame = wrapper.frameAt(0);
    QCOMPARE(frame.format(), QImage::Format_ARGB32);
    QCOMPARE(frame.size(), size);
    if (topLeft)
        QVERIFY2(TestUtils::colourNear(frame.pixel(1, 1), topLeft, 3),
            qPrintable(QColor(frame.pixel(1, 1)).name()));
    QVERIFY(wrapper.frameAt(1).isNull());
}

// FreeImage's RAW plug-in's picture for display, brightened by
// FreeImage's own adjustment when brightness is not 0, with the plug-in's
// resolution; null when the plug-in cannot load it.
static QImage plugInPicture(const QString &path, double brightness)
{
    FIBITMAP *raw = FreeImage_Load(FIF_RAW, QFile::encodeName(path).constData(), RAW_DISPLAY);
    if (!raw || (brightness != 0 && !FreeImage_AdjustBrightness(raw, brightness))) {
        FreeImage_Unload(raw);
        return QImage();
    }
    FIBITMAP *raw32 = FreeImage_ConvertTo32Bits(raw);
    const int width = int(FreeImage_GetWidth(raw32));
    const int height = int(FreeImage_GetHeight(raw32));
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        memcpy(image.scanLine(y), FreeImage_GetScanLine(raw32, unsigned(height - 1 - y)),
            size_t(width) * 4);
    image.setDotsPerMeterX(int(FreeImage_GetDotsPerMeterX(raw)));
    image.setDotsPerMeterY(int(FreeImage_GetDotsPerMeterY(raw)));
    FreeImage_Unload(raw32);
    FreeImage_Unload(raw);
    return image;
}

void tst_KImageFreeImageDecoder::rawIsDevelopedAndBrightened()
{
    const QString path = write("shot.dng", dngFile(64, 48));
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(path));
    const QImage frame = wrapper.frameAt(0);
    QCOMPARE(frame.size(), QSize(64, 48));
    QCOMPARE(frame.format(), QImage::Format_ARGB32);
    // The camera-neutral development, straight from FreeImage, for comparison.
    const QImage reference = plugInPicture(path, 0);
    QVERIFY(!reference.isNull());
    QVERIFY2(meanLuma(frame) > meanLuma(reference) + 10,
        qPrintable(QStringLiteral("%1 vs %2").arg(meanLuma(frame)).arg(meanLuma(reference))));
    // Brightened by FreeImage's own adjustment, pixel for pixel.
    QCOMPARE(frame, plugInPicture(path, 25.0));
    // The bright quarter stays top-left.
    QVERIFY(qGray(frame.pixel(8, 8)) > qGray(frame.pixel(56, 40)) + 30);
}

void tst_KImageFreeImageDecoder::rawIsThePlugInsPicture_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("orientation");
    // The camera's white balance (AsShotNeutral); empty: none in the file.
    QTest::addColumn<Neutral>("neutral");
    const Neutral grey { { 1, 1 }, { 1, 1 }, { 1, 1 } };
    QTest::newRow("upright") << QSize(96, 64) << 1 << grey;
    QTest::newRow("odd size") << QSize(61, 37) << 1 << grey;
    QTest::newRow("upside down") << QSize(96, 64) << 3 << grey;
    QTest::newRow("quarter clockwise") << QSize(96, 64) << 6 << grey;
    QTest::newRow("quarter anticlockwise") << QSize(61, 37) << 8 << grey;
    QTest::newRow("warm camera balance")
        << QSize(96, 64) << 1 << Neutral { { 1, 2 }, { 1, 1 }, { 4, 5 } };
    QTest::newRow("no camera balance") << QSize(96, 64) << 1 << Neutral();
}

// LibRaw develops camera pictures straight into the frame; the frame is the
// FreeImage plug-in's picture for display, brightened by FreeImage's own
// adjustment, pixel for pixel, with its resolution.
void tst_KImageFreeImageDecoder::rawIsThePlugInsPicture()
{
    QFETCH(QSize, size);
    QFETCH(int, orientation);
    QFETCH(Neutral, neutral);
    const QString path
        = write("shot.dng", dngFile(size.width(), size.height(), orientation, true, neutral));
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(path));
    const QImage frame = wrapper.frameAt(0);

    const QImage expected = plugInPicture(path, 25.0);
    QVERIFY(!expected.isNull());
    QCOMPARE(frame.size(), expected.size());
    QCOMPARE(frame.size(),
        orientation >= 5 ? size.transposed() : size); // turned as the camera was held
    QCOMPARE(frame, expected);
    QCOMPARE(frame.dotsPerMeterX(), expected.dotsPerMeterX());
    QCOMPARE(frame.dotsPerMeterY(), expected.dotsPerMeterY());
}

// A header that promises more pixels than the program takes is refused as
// soon as LibRaw has read it, with the reason, before anything is unpacked.
void tst_KImageFreeImageDecoder::rawTooLargeIsRefusedBeforeUnpacking()
{
    QByteArray dng = dngFile(64, 48);
    // The width and height entries (LONG, one value each), little-endian.
    const QByteArray width
        = QByteArray::fromHex("0001040001000000") + QByteArray::fromHex("40000000");
    const QByteArray height
        = QByteArray::fromHex("0101040001000000") + QByteArray::fromHex("30000000");
    const int widthAt = dng.indexOf(width);
    const int heightAt = dng.indexOf(height);
    QVERIFY(widthAt > 0 && heightAt > 0);
    dng.replace(widthAt + 8, 4, QByteArray::fromHex("204e0000")); // 20000
    dng.replace(heightAt + 8, 4, QByteArray::fromHex("204e0000"));
    QImage image;
    QString error;
    QVERIFY(!RawDeveloper::develop(write("huge.dng", dng), &image, &error));
    QVERIFY(image.isNull());
    QVERIFY2(error.startsWith(QLatin1String("too large")), qPrintable(error));
}

void tst_KImageFreeImageDecoder::rawIsTurnedOnce()
{
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("turned.dng", dngFile(64, 48, 6))));
    const QImage frame = wrapper.frameAt(0);
    QCOMPARE(frame.size(), QSize(48, 64));
    // Turned a quarter clockwise: the bright quarter is now top-right.
    QVERIFY(qGray(frame.pixel(40, 8)) > qGray(frame.pixel(8, 8)) + 30);
    QVERIFY(qGray(frame.pixel(40, 8)) > qGray(frame.pixel(40, 56)) + 30);
}

void tst_KImageFreeImageDecoder::deepPicturesReducedTo8Bits()
{
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("deep.xyz", tiff16())));
    const QImage frame = wrapper.frameAt(0);
    QCOMPARE(frame.format(), QImage::Format_ARGB32);
    QVERIFY(TestUtils::colourNear(frame.pixel(1, 1), qRgb(255, 128, 0), 1));

    KImageWrapper hdr;
    QVERIFY(hdr.load(write("float.hdr", hdrFile())));
    const QImage tone = hdr.frameAt(0);
    QCOMPARE(tone.format(), QImage::Format_ARGB32);
    QVERIFY(qGray(tone.pixel(12, 4)) > qGray(tone.pixel(3, 4)));
    QCOMPARE(qAlpha(tone.pixel(3, 4)), 255);
}

void tst_KImageFreeImageDecoder::orientationApplied_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("format");
    QTest::newRow("JPEG with EXIF named .psd") << "a.psd" << 0;
    QTest::newRow("TIFF with Orientation named .xyz") << "b.xyz" << 1;
}

void tst_KImageFreeImageDecoder::orientationApplied()
{
    QFETCH(QString, fileName);
    QFETCH(int, format);
    const QImage upright = TestUtils::quadrantImage(64, 48);
    const QImage stored = upright.transformed(QTransform().rotate(270)); // orientation 6
    const QByteArray bytes
        = format == 0 ? jpegWithExif(encoded(stored, "jpg", 95), 6) : tiffFile({ stored }, 6);
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write(fileName, bytes)));
    const QImage frame = wrapper.frameAt(0);
    QCOMPARE(frame.size(), QSize(64, 48));
    const QVector<QRgb> got = quadrantSamples(frame);
    const QVector<QRgb> want = quadrantSamples(upright);
    for (int i = 0; i < 4; ++i)
        QVERIFY(TestUtils::colourNear(got[i], want[i], 24));
}

void tst_KImageFreeImageDecoder::colourProfileKept_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("JPEG named .psd (FreeImage reads the profile)") << "jpg";
    QTest::newRow("PNG named .tga (FreeImage drops it; read from the file)") << "png";
}

void tst_KImageFreeImageDecoder::colourProfileKept()
{
    QFETCH(QString, format);
    QImage image = TestUtils::quadrantImage(16, 16);
    image.setColorSpace(QColorSpace(QColorSpace::AdobeRgb));
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("profiled.tga", encoded(image, format.toLatin1().constData(), 95))));
    QVERIFY(dynamic_cast<KImageFreeImageDecoder *>(wrapper.decoder()));
    QCOMPARE(wrapper.frameAt(0).colorSpace(), QColorSpace(QColorSpace::AdobeRgb));
}

void tst_KImageFreeImageDecoder::refused_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    const QImage quad = TestUtils::quadrantImage(8, 8);
    QTest::newRow("unknown content, unknown name") << "a.xyz" << QByteArray(300, '\x5a');
    QTest::newRow("corrupt TGA") << "b.tga" << QByteArray("\0\0\2\0\0\0\0\0\0\0\0\0", 12);
    QTest::newRow("empty file") << "c.psd" << QByteArray();
    // FreeImage could read PPM, but the program offers no such format.
    QTest::newRow("format outside the program's list") << "d.xyz" << freeImageFile(quad, FIF_PPM);
    QByteArray tga(18, '\0');
    tga[2] = 2;
    tga[12] = char(0xFF);
    tga[13] = char(0xFF);
    tga[14] = char(0xFF);
    tga[15] = char(0xFF);
    tga[16] = 24;
    QTest::newRow("TGA header over the pixel cap") << "e.tga" << tga + QByteArray(64, '\0');
    QTest::newRow("DDS header over the pixel cap") << "f.dds" << ddsFile(16385, 12800, false);
    QTest::newRow("truncated DDS") << "g.dds" << ddsFile(64, 64, true).left(300);
    QTest::newRow("truncated DNG") << "h.dng" << dngFile(64, 48).left(2000);
    QTest::newRow("PNG over the pixel cap named .tga") << "i.tga" << pngClaimingSize(16385, 12800);
    // FreeImage itself would fill the missing rows with zeros.
    const QImage big = TestUtils::quadrantImage(200, 100, QImage::Format_ARGB32);
    const QByteArray plainTga = freeImageFile(big, FIF_TARGA);
    const QByteArray rle = freeImageFile(big, FIF_TARGA, TARGA_SAVE_RLE);
    const QByteArray psd = psdFile(big);
    QTest::newRow("truncated TGA") << "j.tga" << plainTga.left(plainTga.size() * 2 / 3);
    QTest::newRow("truncated RLE TGA") << "k.tga" << rle.left(rle.size() * 2 / 3);
    QTest::newRow("truncated PSD") << "l.psd" << psd.left(psd.size() * 2 / 3);
    const QByteArray bmp = encoded(big, "bmp");
    QTest::newRow("truncated BMP named .tga") << "m.tga" << bmp.left(bmp.size() / 2);
    const QByteArray jpeg = encoded(big, "jpg", 90);
    QTest::newRow("truncated JPEG named .psd") << "n.psd" << jpeg.left(jpeg.size() / 2);
}

void tst_KImageFreeImageDecoder::refused()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    KImageWrapper wrapper;
    QVERIFY(!wrapper.load(write(fileName, bytes)));
    QCOMPARE(wrapper.frameCount(), 0);
}

void tst_KImageFreeImageDecoder::tiffWarningsAreSilent()
{
    // A private tag libtiff does not know makes it warn on every read.
    const QImage page = TestUtils::quadrantImage(8, 8);
    const QImage rgba = page.convertToFormat(QImage::Format_RGBA8888);
    const QByteArray pixels(reinterpret_cast<const char *>(rgba.constBits()), rgba.sizeInBytes());
    const QByteArray tiff = tiffFromPages(
        { { longEntry(256, { 8 }), longEntry(257, { 8 }), shortEntry(258, { 8, 8, 8, 8 }),
            shortEntry(259, { 1 }), shortEntry(262, { 2 }), shortEntry(277, { 4 }),
            longEntry(278, { 8 }), shortEntry(284, { 1 }), shortEntry(338, { 2 }),
            longEntry(65000, { 42 }), longEntry(65001, { 7 }) } },
        { pixels });
    const QString viaFreeImage = write("tags.xyz", tiff);
    const QString viaReader = write("tags.tif", tiff);

    fflush(stderr);
    const QString capture = m_dir->filePath("stderr.txt");
    const int saved = dup(STDERR_FILENO);
    const int fd
        = ::open(QFile::encodeName(capture).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    QVERIFY(saved >= 0 && fd >= 0);
    dup2(fd, STDERR_FILENO);
    bool loaded;
    {
        KImageWrapper a, b;
        loaded = a.load(viaFreeImage) && b.load(viaReader);
    }
    fflush(stderr);
    dup2(saved, STDERR_FILENO);
    ::close(fd);
    ::close(saved);
    QVERIFY(loaded);
    QFile output(capture);
    QVERIFY(output.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLocal8Bit(output.readAll()), QString());
}

QTEST_MAIN(tst_KImageFreeImageDecoder)
#include "tst_KImageFreeImageDecoder.moc"
