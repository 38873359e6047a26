#include <libheif/heif.h>
#include <zlib.h>

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <QtTest>

#include "CodecFixtures.h"
#include "TestUtils.h"
#include "codec/ImageFormats.h"
#include "codec/KImageFreeImageDecoder.h"
#include "codec/KImageGdiDecoder.h"
#include "codec/KImageGifDecoder.h"
#include "codec/KImageHeicDecoder.h"
#include "codec/KImageSvgDecoder.h"
#include "codec/KImageWindowsDecoder.h"
#include "codec/KImageWrapper.h"
#include "codec/SystemImageEncoder.h"

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

QString decoderName(const KImageDecoderBase *decoder)
{
    if (dynamic_cast<const KImageWindowsDecoder *>(decoder))
        return QStringLiteral("system");
    if (dynamic_cast<const KImageGifDecoder *>(decoder))
        return QStringLiteral("gif");
    if (dynamic_cast<const KImageFreeImageDecoder *>(decoder))
        return QStringLiteral("freeimage");
    if (dynamic_cast<const KImageHeicDecoder *>(decoder))
        return QStringLiteral("heif");
    if (dynamic_cast<const KImageSvgDecoder *>(decoder))
        return QStringLiteral("svg");
    if (dynamic_cast<const KImageGdiDecoder *>(decoder))
        return QStringLiteral("metafile");
    return QString();
}

const QByteArray kSvg("<svg xmlns='http://www.w3.org/2000/svg' width='64' height='32' "
                      "viewBox='0 0 32 16'><rect width='32' height='16' fill='#0000ff'/></svg>");

QByteArray gzipped(const QByteArray &data)
{
    // qCompress makes zlib streams; the SVG renderer wants gzip, which the
    // GIF-free way to get here is the system gzip format via QProcess-free
    // code: a zlib stream re-wrapped with the gzip header and trailer.
    const QByteArray zlib = qCompress(data, 9).mid(4);
    QByteArray out = QByteArray::fromHex("1f8b0800000000000003");
    out += zlib.mid(2, zlib.size() - 6); // raw deflate without zlib header and adler32
    const quint32 crc
        = quint32(crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
    for (int i = 0; i < 4; ++i)
        out.append(char((crc >> (8 * i)) & 0xFF));
    for (int i = 0; i < 4; ++i)
        out.append(char((quint32(data.size()) >> (8 * i)) & 0xFF));
    return out;
}

QByteArray progressiveJpeg(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(92);
    writer.setProgressiveScanWrite(true);
    writer.write(image);
    return bytes;
}

QVector<QRgb> gifPalette()
{
    return { qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255) };
}

} // namespace

class tst_KImageWrapper : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void decoderChoice_data();
    void decoderChoice();
    void loadStates();
    void frameAtOutOfRange_data();
    void frameAtOutOfRange();
    void saveRules_data();
    void saveRules();
    void saveNeverOverwrites();
    void saveKeepsBaseNameWhole();
    void saveRefusesFormatsItDoesNotWrite_data();
    void saveRefusesFormatsItDoesNotWrite();
    void failedSaveLeavesNothing();
    void saveIntoReadOnlyFolderLeavesNothing();
    void saveKeepsColourProfile_data();
    void saveKeepsColourProfile();
    void pngIsWrittenCompressed();
    void systemEncoderNeverReplacesContent();
    void gifColorCount();
    void loadFromData_data();
    void loadFromData();
    void wrappersRunInParallel();
    void jpegToJpegByRowsMatchesWholeDecode_data();
    void jpegToJpegByRowsMatchesWholeDecode();
    void jpegToJpegByRowsFailures();
    void heifToJpegByPlanes_data();
    void heifToJpegByPlanes();
    void heifWithoutFrameGivesTheFramesFile_data();
    void heifWithoutFrameGivesTheFramesFile();

private:
    QString write(const QString &name, const QByteArray &bytes);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_KImageWrapper::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString tst_KImageWrapper::write(const QString &name, const QByteArray &bytes)
{
    return TestUtils::writeFile(m_dir->path(), name, bytes);
}

void tst_KImageWrapper::decoderChoice_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("decoder");
    QTest::addColumn<QSize>("size");

    const QImage quad = TestUtils::quadrantImage(40, 30);
    const QByteArray png = encoded(quad, "png");
    QTest::newRow("png") << "a.png" << png << "system" << QSize(40, 30);
    QTest::newRow("photo.JPG like photo.jpg")
        << "photo.JPG" << encoded(quad, "jpg", 95) << "system" << QSize(40, 30);
    QTest::newRow("PNG named .tga (content first)")
        << "a.tga" << png << "freeimage" << QSize(40, 30);
    QTest::newRow("PNG named .jpg (reader detects content)")
        << "b.jpg" << png << "system" << QSize(40, 30);
    QTest::newRow("unknown extension holding PNG")
        << "c.xyz" << png << "freeimage" << QSize(40, 30);
    QTest::newRow("no extension") << "noext" << png << "freeimage" << QSize(40, 30);
    QTest::newRow("tif") << "d.TIF" << tiffFile({ quad }) << "system" << QSize(40, 30);
    QTest::newRow("webp") << "e.webp" << encoded(quad, "webp", 100) << "system" << QSize(40, 30);
    QTest::newRow("bmp") << "f.bmp" << encoded(quad, "bmp") << "system" << QSize(40, 30);
    QTest::newRow("gif") << "g.gif"
                         << gifFile(
                                QSize(8, 6), gifPalette(), { solidGifFrame(QRect(0, 0, 8, 6), 1) })
                         << "gif" << QSize(8, 6);
    QTest::newRow("dng") << "h.dng" << dngFile(32, 24) << "freeimage" << QSize(32, 24);
    QTest::newRow("svg") << "i.svg" << kSvg << "svg" << QSize(32, 16);
    QTest::newRow("svgz") << "j.svgz" << gzipped(kSvg) << "svg" << QSize(32, 16);
    EmfBuilder emf(QSize(50, 40));
    emf.rectangle(QRect(5, 5, 10, 10));
    QTest::newRow("emf") << "k.emf" << emf.finish() << "metafile" << QSize(50, 40);
    WmfBuilder wmf(QRect(0, 0, 1440, 720), 1440);
    wmf.rectangle(QRect(0, 0, 100, 100));
    QTest::newRow("wmf") << "l.WMF" << wmf.finish() << "metafile" << QSize(96, 48);
    QTest::newRow("heic") << "m.heic" << heifFile(quad) << "heif" << QSize(40, 30);
}

void tst_KImageWrapper::decoderChoice()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, decoder);
    QFETCH(QSize, size);
    if (bytes.isEmpty())
        QSKIP("this machine's library cannot write the fixture");
    const QString path = write(fileName, bytes);
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(path));
    QCOMPARE(decoderName(wrapper.decoder()), decoder);
    QCOMPARE(wrapper.loadState(), int(KImageWrapper::Loaded));
    QVERIFY(wrapper.frameCount() >= 1);
    const QImage frame = wrapper.frameAt(0);
    QCOMPARE(frame.size(), size);
    QVERIFY(frame.hasAlphaChannel() || frame.format() == QImage::Format_RGB32);
}

void tst_KImageWrapper::loadStates()
{
    KImageWrapper wrapper;
    QCOMPARE(wrapper.loadState(), int(KImageWrapper::Idle));
    QCOMPARE(wrapper.frameCount(), 0);
    QVERIFY(wrapper.frameAt(0).isNull());

    const QString good = write("good.png", encoded(TestUtils::quadrantImage(8, 8), "png"));
    const QString bad = write("bad.png", QByteArray("not an image at all"));
    QVERIFY(wrapper.load(good));
    QCOMPARE(wrapper.loadState(), int(KImageWrapper::Loaded));
    QCOMPARE(wrapper.format()->type, int(ImageFormatPng));

    // A failed reload replaces the earlier frames: nothing stale is served.
    QVERIFY(!wrapper.load(bad));
    QCOMPARE(wrapper.loadState(), int(KImageWrapper::Failed));
    QCOMPARE(wrapper.frameCount(), 0);
    QVERIFY(wrapper.frameAt(0).isNull());
    QVERIFY(!wrapper.load(m_dir->filePath("missing.png")));
    QCOMPARE(wrapper.loadState(), int(KImageWrapper::Failed));
}

void tst_KImageWrapper::frameAtOutOfRange_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    const QImage quad = TestUtils::quadrantImage(16, 16);
    QTest::newRow("system") << "a.png" << encoded(quad, "png");
    QTest::newRow("freeimage") << "a.tga" << encoded(quad, "png");
    QTest::newRow("gif") << "a.gif"
                         << gifFile(QSize(4, 4), gifPalette(),
                                { solidGifFrame(QRect(0, 0, 4, 4), 0),
                                    solidGifFrame(QRect(0, 0, 4, 4), 1) });
    QTest::newRow("svg") << "a.svg" << kSvg;
    EmfBuilder emf(QSize(10, 10));
    QTest::newRow("metafile") << "a.emf" << emf.finish();
    QTest::newRow("heif") << "a.heic" << heifFile(quad);
}

void tst_KImageWrapper::frameAtOutOfRange()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    if (bytes.isEmpty())
        QSKIP("this machine's library cannot write the fixture");
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write(fileName, bytes)));
    const int count = wrapper.frameCount();
    QVERIFY(count >= 1);
    QVERIFY(!wrapper.frameAt(count - 1).isNull());
    QVERIFY(wrapper.frameAt(-1).isNull());
    QVERIFY(wrapper.frameAt(count).isNull());
}

void tst_KImageWrapper::saveRules_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("viaSystemEncoder");
    QTest::addColumn<QRgb>("expectedLeft"); // opaque half, or the first frame
    QTest::addColumn<QRgb>("expectedRight"); // transparent half
    QTest::addColumn<int>("tolerance");

    const QRgb red = qRgb(200, 30, 30);
    const QRgb white = qRgb(255, 255, 255);
    const QRgb clear = qRgba(0, 0, 0, 0);
    for (bool system : { false, true }) {
        const char *how = system ? "saveFirstFrameAs" : "saveFirstFrame";
        QTest::addRow("transparent PNG as JPEG onto white (%s)", how)
            << "alpha.png" << int(ImageFormatJpeg) << system << red << white << 12;
        QTest::addRow("transparent PNG as BMP onto white (%s)", how)
            << "alpha.png" << int(ImageFormatBmp) << system << red << white << 0;
        QTest::addRow("transparent PNG as PNG keeps alpha (%s)", how)
            << "alpha.png" << int(ImageFormatPng) << system << red << clear << 0;
        QTest::addRow("transparent PNG as WEBP keeps alpha (%s)", how)
            << "alpha.png" << int(ImageFormatWebp) << system << red << clear << 0;
        QTest::addRow("transparent PNG as TIF keeps alpha (%s)", how)
            << "alpha.png" << int(ImageFormatTiff) << system << red << clear << 0;
        QTest::addRow("animated GIF writes its first frame only (%s)", how)
            << "anim.gif" << int(ImageFormatPng) << system << qRgb(255, 0, 0) << qRgb(255, 0, 0)
            << 0;
        QTest::addRow("multi-page TIFF writes its first page only (%s)", how)
            << "pages.tif" << int(ImageFormatJpeg) << system << qRgb(0, 0, 255) << qRgb(0, 0, 255)
            << 12;
    }
}

void tst_KImageWrapper::saveRules()
{
    QFETCH(QString, source);
    QFETCH(int, type);
    QFETCH(bool, viaSystemEncoder);
    QFETCH(QRgb, expectedLeft);
    QFETCH(QRgb, expectedRight);
    QFETCH(int, tolerance);

    QString path;
    if (source == QLatin1String("alpha.png")) {
        path = write(source, encoded(TestUtils::halfTransparentImage(40, 20), "png"));
    } else if (source == QLatin1String("anim.gif")) {
        path = write(source,
            gifFile(QSize(40, 20), gifPalette(),
                { solidGifFrame(QRect(0, 0, 40, 20), 0, 0, 10),
                    solidGifFrame(QRect(0, 0, 40, 20), 1, 0, 10),
                    solidGifFrame(QRect(0, 0, 40, 20), 2, 0, 10) }));
    } else {
        QImage blue(40, 20, QImage::Format_RGB32), green(40, 20, QImage::Format_RGB32);
        blue.fill(Qt::blue);
        green.fill(Qt::green);
        path = write(source, tiffFile({ blue, green, green }));
    }
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(path));
    QVERIFY(wrapper.frameCount() > 1 || source == QLatin1String("alpha.png"));

    const QString out = m_dir->filePath("out");
    QVERIFY(QDir().mkpath(out));
    const ImageFormatRecord *format = ImageFormats::global().record(type);
    QString written;
    if (viaSystemEncoder) {
        written = wrapper.saveFirstFrameAs(format, out, "result");
    } else {
        QVERIFY(wrapper.saveFirstFrame(format, out, "result"));
        written = out + "/result." + format->extensions.first();
    }
    QCOMPARE(written, out + "/result." + format->extensions.first());
    // Exactly one file, no temporary left behind.
    QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 1);

    QImage back(written);
    QVERIFY(!back.isNull());
    QCOMPARE(back.size(), QSize(40, 20));
    back = back.convertToFormat(QImage::Format_ARGB32);
    QVERIFY2(TestUtils::colourNear(back.pixel(5, 10), expectedLeft, tolerance),
        qPrintable(QColor::fromRgba(back.pixel(5, 10)).name(QColor::HexArgb)));
    QVERIFY2(TestUtils::colourNear(back.pixel(35, 10), expectedRight, tolerance),
        qPrintable(QColor::fromRgba(back.pixel(35, 10)).name(QColor::HexArgb)));
}

void tst_KImageWrapper::saveNeverOverwrites()
{
    const QString path = write("src.png", encoded(TestUtils::quadrantImage(8, 8), "png"));
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(path));
    const QString existing = write("photo.jpg", QByteArray("precious"));
    QCOMPARE(wrapper.saveFirstFrameAs(
                 ImageFormats::global().record(ImageFormatJpeg), m_dir->path(), "photo"),
        m_dir->filePath("photo(1).jpg"));
    QVERIFY(wrapper.saveFirstFrame(
        ImageFormats::global().record(ImageFormatJpeg), m_dir->path(), "photo"));
    QVERIFY(QFileInfo::exists(m_dir->filePath("photo(2).jpg")));
    QFile file(existing);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("precious"));
}

void tst_KImageWrapper::saveKeepsBaseNameWhole()
{
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("my.photo.png", encoded(TestUtils::quadrantImage(8, 8), "png"))));
    QCOMPARE(wrapper.saveFirstFrameAs(
                 ImageFormats::global().record(ImageFormatPng), m_dir->path(), "my.photo"),
        m_dir->filePath("my.photo(1).png"));
    QVERIFY(wrapper.saveFirstFrame(
        ImageFormats::global().record(ImageFormatWebp), m_dir->path(), "my.photo"));
    QVERIFY(QFileInfo::exists(m_dir->filePath("my.photo.webp")));
}

void tst_KImageWrapper::saveRefusesFormatsItDoesNotWrite_data()
{
    QTest::addColumn<int>("type");
    QTest::newRow("GIF") << int(ImageFormatGif);
    QTest::newRow("ICO") << int(ImageFormatIco);
    QTest::newRow("TGA") << int(ImageFormatTga);
    QTest::newRow("HEIF") << int(ImageFormatHeif);
    QTest::newRow("unknown record") << int(ImageFormatUnknown);
}

void tst_KImageWrapper::saveRefusesFormatsItDoesNotWrite()
{
    QFETCH(int, type);
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("src.png", encoded(TestUtils::quadrantImage(8, 8), "png"))));
    const QString out = m_dir->filePath("out");
    QVERIFY(QDir().mkpath(out));
    const ImageFormatRecord *format = ImageFormats::global().record(type);
    QVERIFY(!wrapper.saveFirstFrame(format, out, "x"));
    QVERIFY(wrapper.saveFirstFrameAs(format, out, "x").isEmpty());
    QVERIFY(!wrapper.saveFirstFrame(nullptr, out, "x"));
    QVERIFY(QDir(out).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void tst_KImageWrapper::failedSaveLeavesNothing()
{
    const ImageFormatRecord *jpeg = ImageFormats::global().record(ImageFormatJpeg);
    KImageWrapper unloaded;
    QVERIFY(!unloaded.saveFirstFrame(jpeg, m_dir->path(), "nothing"));
    KImageWrapper failed;
    QVERIFY(!failed.load(write("broken.png", QByteArray("\x89PNG\r\n\x1a\n garbage", 17))));
    QVERIFY(failed.saveFirstFrameAs(jpeg, m_dir->path(), "nothing").isEmpty());
    QVERIFY(!QFileInfo::exists(m_dir->filePath("nothing.jpg")));

    KImageWrapper good;
    QVERIFY(good.load(write("ok.png", encoded(TestUtils::quadrantImage(8, 8), "png"))));
    QVERIFY(!good.saveFirstFrame(jpeg, m_dir->filePath("no/such/folder"), "x"));
    QVERIFY(good.saveFirstFrameAs(jpeg, m_dir->filePath("no/such/folder"), "x").isEmpty());
}

void tst_KImageWrapper::saveIntoReadOnlyFolderLeavesNothing()
{
    const ImageFormatRecord *jpeg = ImageFormats::global().record(ImageFormatJpeg);
    KImageWrapper good;
    QVERIFY(good.load(write("ok.png", encoded(TestUtils::quadrantImage(8, 8), "png"))));
    const QString locked = m_dir->filePath("locked");
    QVERIFY(QDir().mkpath(locked));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (QFileInfo(locked).isWritable())
        QSKIP("running as a user whom folder permissions do not restrict");
    QVERIFY(good.saveFirstFrameAs(jpeg, locked, "x").isEmpty());
    QVERIFY(QDir(locked).entryList(QDir::Files | QDir::Hidden).isEmpty());
    QFile::setPermissions(
        locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void tst_KImageWrapper::saveKeepsColourProfile_data()
{
    QTest::addColumn<int>("type");
    QTest::newRow("PNG") << int(ImageFormatPng);
    QTest::newRow("JPEG (flattened onto white)") << int(ImageFormatJpeg);
    QTest::newRow("TIFF") << int(ImageFormatTiff);
    QTest::newRow("WEBP") << int(ImageFormatWebp);
}

void tst_KImageWrapper::saveKeepsColourProfile()
{
    QFETCH(int, type);
    QImage image = TestUtils::halfTransparentImage(16, 16);
    image.setColorSpace(QColorSpace(QColorSpace::AdobeRgb));
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("profiled.png", encoded(image, "png"))));
    QCOMPARE(wrapper.frameAt(0).colorSpace(), QColorSpace(QColorSpace::AdobeRgb));
    const QString written
        = wrapper.saveFirstFrameAs(ImageFormats::global().record(type), m_dir->path(), "out");
    QVERIFY(!written.isEmpty());
    QCOMPARE(QImage(written).colorSpace(), QColorSpace(QColorSpace::AdobeRgb));
}

void tst_KImageWrapper::pngIsWrittenCompressed()
{
    // Quality 100 would make the toolkit store PNG pixels uncompressed.
    QImage flat(400, 300, QImage::Format_RGB32);
    flat.fill(QColor(10, 120, 200));
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("flat.bmp", encoded(flat, "bmp"))));
    const QString written = wrapper.saveFirstFrameAs(
        ImageFormats::global().record(ImageFormatPng), m_dir->path(), "flat");
    QVERIFY(!written.isEmpty());
    QVERIFY2(QFileInfo(written).size() < 400 * 300 / 10,
        qPrintable(QString::number(QFileInfo(written).size())));
    QCOMPARE(QImage(written).pixel(200, 150), qRgb(10, 120, 200));
}

void tst_KImageWrapper::systemEncoderNeverReplacesContent()
{
    const QImage image = TestUtils::halfTransparentImage(8, 8);
    const QString taken = write("taken.png", QByteArray("precious"));
    QVERIFY(!saveWithSystemEncoder(image, ImageFormatPng, taken));
    QFile file(taken);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("precious"));

    // An empty placeholder (a reservation) is replaced; a free name is used.
    const QString placeholder = write("reserved.tif", QByteArray());
    QVERIFY(saveWithSystemEncoder(image, ImageFormatTiff, placeholder));
    QCOMPARE(QImage(placeholder).size(), QSize(8, 8));
    const QString free = m_dir->filePath("free.jpg");
    QVERIFY(saveWithSystemEncoder(image, ImageFormatJpeg, free));
    QVERIFY(TestUtils::colourNear(QImage(free).pixel(6, 4), qRgb(255, 255, 255), 8));

    QVERIFY(!saveWithSystemEncoder(image, ImageFormatGif, m_dir->filePath("no.gif")));
    QVERIFY(!saveWithSystemEncoder(QImage(), ImageFormatPng, m_dir->filePath("null.png")));
    QVERIFY(!QFileInfo::exists(m_dir->filePath("no.gif")));
    QVERIFY(!QFileInfo::exists(m_dir->filePath("null.png")));
    // Nothing else was left in the folder: no temporary siblings.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

void tst_KImageWrapper::gifColorCount()
{
    QVector<QRgb> padded { qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(9, 9, 9) };
    const QString gif
        = write("count.gif", gifFile(QSize(4, 4), padded, { solidGifFrame(QRect(0, 0, 4, 4), 0) }));
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(gif));
    QCOMPARE(wrapper.gifColorCount(), 3);

    KImageWrapper png;
    QVERIFY(png.load(write("x.png", encoded(TestUtils::quadrantImage(4, 4), "png"))));
    QCOMPARE(png.gifColorCount(), 0);

    QFile file(gif);
    QVERIFY(file.open(QIODevice::ReadOnly));
    KImageWrapper fromData;
    QVERIFY(fromData.loadFromData(file.readAll()));
    QCOMPARE(fromData.gifColorCount(), 0);
}

void tst_KImageWrapper::loadFromData_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("frames");
    QTest::newRow("PNG") << encoded(TestUtils::quadrantImage(8, 8), "png") << 1;
    QTest::newRow("animated GIF") << gifFile(QSize(4, 4), gifPalette(),
        { solidGifFrame(QRect(0, 0, 4, 4), 0, 0, 5), solidGifFrame(QRect(0, 0, 4, 4), 1, 0, 5),
            solidGifFrame(QRect(0, 0, 4, 4), 2, 0, 5) })
                                  << 3;
    const QImage page = TestUtils::quadrantImage(16, 16);
    const QByteArray pages = tiffFile({ page, page });
    QTest::newRow("two-page TIFF") << pages << 2;
    QTest::newRow("TIFF cut inside its second page") << pages.left(pages.size() - 40) << 0;
    QTest::newRow("garbage") << QByteArray("this is not an image") << 0;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("SVG is not taken from memory") << kSvg << 0;
}

void tst_KImageWrapper::loadFromData()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, frames);
    KImageWrapper wrapper;
    QCOMPARE(wrapper.loadFromData(bytes), frames > 0);
    QCOMPARE(wrapper.loadState(), int(frames > 0 ? KImageWrapper::Loaded : KImageWrapper::Failed));
    QCOMPARE(wrapper.frameCount(), frames);
    QCOMPARE(wrapper.format()->type, int(ImageFormatUnknown));
}

void tst_KImageWrapper::wrappersRunInParallel()
{
    // Every decoder at once in several threads, each task with its own
    // wrapper; all must load and write the same pixels as a lone run.
    const QImage quad = TestUtils::quadrantImage(64, 48);
    QStringList files { write("p.png", encoded(quad, "png")), write("p.tga", encoded(quad, "png")),
        write("p.tif", tiffFile({ quad, quad })), write("p.dng", dngFile(32, 24)),
        write("p.svg", kSvg),
        write(
            "p.gif", gifFile(QSize(8, 8), gifPalette(), { solidGifFrame(QRect(0, 0, 8, 8), 1) })) };
    EmfBuilder emf(QSize(30, 30));
    emf.createBrush(1, qRgb(0, 0, 255));
    emf.selectObject(1);
    emf.rectangle(QRect(0, 0, 29, 29));
    files << write("p.emf", emf.finish());
    const QByteArray heic = heifFile(quad);
    if (!heic.isEmpty())
        files << write("p.heic", heic);

    const QString out = m_dir->filePath("parallel");
    QVERIFY(QDir().mkpath(out));
    QVector<QPair<QString, int>> jobs;
    for (int round = 0; round < 6; ++round)
        for (const QString &file : files)
            jobs.append({ file, round });
    QThreadPool::globalInstance()->setMaxThreadCount(8);
    QList<QFuture<QString>> futures;
    for (const auto &job : jobs) {
        const QString file = job.first;
        futures.append(QtConcurrent::run([out, file]() {
            KImageWrapper wrapper;
            if (!wrapper.load(file))
                return QString();
            return wrapper.saveFirstFrameAs(
                ImageFormats::global().record(ImageFormatPng), out, QFileInfo(file).fileName());
        }));
    }
    QStringList results;
    for (QFuture<QString> &future : futures)
        results << future.result();
    QSet<QString> unique;
    for (const QString &result : results) {
        QVERIFY(!result.isEmpty());
        unique.insert(result);
    }
    QCOMPARE(unique.size(), jobs.size());
}

void tst_KImageWrapper::jpegToJpegByRowsMatchesWholeDecode_data()
{
    QTest::addColumn<QByteArray>("source");
    // False where the picture must be turned upright first: the whole
    // frame is decoded then, as before.
    QTest::addColumn<bool>("byRows");

    const QImage photo = TestUtils::photoLikeImage(333, 217); // partial blocks on both edges
    QTest::newRow("baseline") << encoded(photo, "jpg", 90) << true;
    QTest::newRow("progressive") << progressiveJpeg(photo) << true;
    QTest::newRow("grey") << encoded(photo.convertToFormat(QImage::Format_Grayscale8), "jpg", 85)
                          << true;
    QImage described = photo;
    described.setText(QStringLiteral("Title"), QStringLiteral("Harbour at dusk"));
    described.setText(QStringLiteral("Author"), QString::fromUtf8("J\xc3\xb6rg"));
    described.setDotsPerMeterX(11811);
    described.setDotsPerMeterY(5000);
    QTest::newRow("text keys and density") << encoded(described, "jpg", 95) << true;
    QImage profiled = photo;
    profiled.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    QTest::newRow("ICC profile") << encoded(profiled, "jpg", 100) << true;
    QTest::newRow("EXIF upright") << jpegWithExif(encoded(photo, "jpg", 90), 1) << true;
    // Tall enough for the writer's tables to come from a sample of bands,
    // read by a second decoder; the last band is partial.
    const QImage tall = TestUtils::photoLikeImage(1000, 1100);
    QTest::newRow("tall") << encoded(tall, "jpg", 90) << true;
    QTest::newRow("tall progressive") << progressiveJpeg(tall) << true;
    QTest::newRow("EXIF turned") << jpegWithExif(encoded(profiled, "jpg", 90), 6) << false;
    QTest::newRow("EXIF mirrored") << jpegWithExif(encoded(photo, "jpg", 90), 2) << false;
}

// JPEG to JPEG, PNG, TIFF or BMP passes the rows from the decoder to the encoder
// without the whole picture: the file must be the one the whole decode writes.
void tst_KImageWrapper::jpegToJpegByRowsMatchesWholeDecode()
{
    QFETCH(QByteArray, source);
    QFETCH(bool, byRows);
    const QString path = write("photo.jpg", source);
    KImageWrapper whole;
    QVERIFY(whole.load(path));

    for (const int type :
        { int(ImageFormatJpeg), int(ImageFormatTiff), int(ImageFormatBmp), int(ImageFormatPng) }) {
        const ImageFormatRecord *format = ImageFormats::global().record(type);
        const QString ext = format->extensions.value(0);
        QString error;
        const QString expected = whole.saveFirstFrameAs(format, m_dir->path(), "whole", &error);
        QVERIFY2(!expected.isEmpty(), qPrintable(error));

        KImageWrapper converter;
        const QString written
            = converter.convertFileAs(path, format, m_dir->path(), "rows", &error);
        QVERIFY2(!written.isEmpty(), qPrintable(error));
        QCOMPARE(QFileInfo(written).fileName(), QStringLiteral("rows.") + ext);
        // Only the whole decode leaves its frame in the wrapper.
        QCOMPARE(converter.frameCount() == 0, byRows);
        const QByteArray got = TestUtils::readFile(written);
        QVERIFY(!got.isEmpty());
        QVERIFY2(got == TestUtils::readFile(expected), qPrintable(ext));
    }

    // WebP still goes through the whole frame.
    KImageWrapper converter;
    QString error;
    const QString webp = converter.convertFileAs(
        path, ImageFormats::global().record(ImageFormatWebp), m_dir->path(), "rows", &error);
    QVERIFY2(!webp.isEmpty(), qPrintable(error));
    QCOMPARE(converter.frameCount(), 1);
    QCOMPARE(QImage(webp).size(), whole.frameAt(0).size());
}

void tst_KImageWrapper::jpegToJpegByRowsFailures()
{
    const ImageFormatRecord *jpeg = ImageFormats::global().record(ImageFormatJpeg);
    const QByteArray good = encoded(TestUtils::photoLikeImage(320, 240), "jpg", 90);
    const QString out = m_dir->filePath("out");
    QVERIFY(QDir().mkpath(out));

    // A cut-off file fails as loading it fails, and leaves nothing behind.
    const QString cut = write("cut.jpg", good.left(good.size() / 2));
    KImageWrapper loader;
    QVERIFY(!loader.load(cut));
    KImageWrapper converter;
    QString error;
    QVERIFY(converter.convertFileAs(cut, jpeg, out, "cut", &error).isEmpty());
    QCOMPARE(error, loader.errorString());
    error.clear();
    for (const int type : { int(ImageFormatTiff), int(ImageFormatBmp), int(ImageFormatPng) }) {
        error.clear();
        QVERIFY(
            converter.convertFileAs(cut, ImageFormats::global().record(type), out, "cut", &error)
                .isEmpty());
        QCOMPARE(error, loader.errorString());
    }
    QVERIFY(TestUtils::allFiles(out).isEmpty());

    // A taken name is never replaced.
    const QString source = write("photo.jpg", good);
    TestUtils::writeFile(out, "photo.jpg", "mine");
    const QString written = converter.convertFileAs(source, jpeg, out, "photo", &error);
    QCOMPARE(QFileInfo(written).fileName(), QStringLiteral("photo(1).jpg"));
    QCOMPARE(TestUtils::readFile(QDir(out).filePath("photo.jpg")), QByteArray("mine"));

    // A folder that refuses writes: the reason, and no file or temporary left.
    const QString locked = m_dir->filePath("locked");
    QVERIFY(QDir().mkpath(locked));
    TestUtils::ReadOnlyFolder readOnly(locked);
    if (!readOnly.isReadOnly())
        QSKIP("the folder could not be made read-only here");
    error.clear();
    QVERIFY(converter.convertFileAs(source, jpeg, locked, "photo", &error).isEmpty());
    QVERIFY2(error.contains(readOnly.refusal()), qPrintable(error));
    QVERIFY(TestUtils::allFiles(locked).isEmpty());
}

void tst_KImageWrapper::heifToJpegByPlanes_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<bool>("byPlanes");
    QTest::addColumn<QSize>("size");

    const QImage photo = TestUtils::photoLikeImage(320, 240);
    const QImage odd = TestUtils::photoLikeImage(203, 151);
    HeifOptions lossy;
    lossy.lossless = false;
    lossy.chroma = "420";
    QTest::newRow("4:2:0, no colour description") << heifFile(photo, lossy) << true << photo.size();
    QTest::newRow("odd size") << heifFile(odd, lossy) << true << odd.size();
    HeifOptions bt601 = lossy;
    bt601.matrix = heif_matrix_coefficients_ITU_R_BT_601_6;
    QTest::newRow("BT.601 full range") << heifFile(photo, bt601) << true << photo.size();
    HeifOptions turned = bt601;
    turned.orientation = 6; // 90 degrees clockwise
    QTest::newRow("turned by the file") << heifFile(odd, turned) << true << QSize(151, 203);
    HeifOptions profiled = lossy;
    QColorSpace p3(QColorSpace::DisplayP3);
    profiled.icc = p3.iccProfile();
    QTest::newRow("ICC profile") << heifFile(photo, profiled) << true << photo.size();
    HeifOptions full = lossy;
    full.chroma = "444";
    QTest::newRow("4:4:4, halved by libheif") << heifFile(photo, full) << true << photo.size();

    // Samples of another colour space go through RGB as before.
    HeifOptions bt709 = lossy;
    bt709.matrix = heif_matrix_coefficients_ITU_R_BT_709_5;
    QTest::newRow("BT.709") << heifFile(photo, bt709) << false << photo.size();
    HeifOptions limited = bt601;
    limited.fullRange = false;
    QTest::newRow("BT.601 limited range") << heifFile(photo, limited) << false << photo.size();
    HeifOptions alpha = lossy;
    alpha.alpha = true;
    QTest::newRow("alpha") << heifFile(photo, alpha) << false << photo.size();
    HeifOptions deep = lossy;
    deep.bitDepth = 10;
    QTest::newRow("10 bits") << heifFile(photo, deep) << false << photo.size();
}

// An HEIF picture whose decoded samples are JPEG's own goes into the JPEG
// as they are. Its file then differs from the one made through RGB only by
// that round trip's rounding: both decode to nearly the same pixels, and
// neither is further from libheif's own RGB picture than the other. Other
// pictures are written exactly as before.
void tst_KImageWrapper::heifToJpegByPlanes()
{
    QFETCH(QByteArray, source);
    QFETCH(bool, byPlanes);
    QFETCH(QSize, size);
    if (source.isEmpty())
        QSKIP("this machine's library cannot write the fixture");
    const QString path = write("photo.heic", source);
    KImageHeicDecoder::Planes planes;
    QCOMPARE(KImageHeicDecoder::decodePlanes(path, true, &planes) && planes.isYCbCr, byPlanes);

    KImageWrapper whole;
    QVERIFY(whole.load(path));
    const QImage picture = whole.frameAt(0).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(picture.size(), size);
    const ImageFormatRecord *jpeg = ImageFormats::global().record(ImageFormatJpeg);
    QString error;
    const QString expected = whole.saveFirstFrameAs(jpeg, m_dir->path(), "whole", &error);
    QVERIFY2(!expected.isEmpty(), qPrintable(error));

    KImageWrapper converter;
    const QString written = converter.convertFileAs(path, jpeg, m_dir->path(), "planes", &error);
    QVERIFY2(!written.isEmpty(), qPrintable(error));
    QCOMPARE(QFileInfo(written).fileName(), QStringLiteral("planes.jpg"));
    if (!byPlanes) {
        QVERIFY(TestUtils::readFile(written) == TestUtils::readFile(expected));
        return;
    }
    QCOMPARE(converter.frameCount(), 0);
    // A taken name is never written over.
    const QByteArray first = TestUtils::readFile(written);
    const QString again = converter.convertFileAs(path, jpeg, m_dir->path(), "planes", &error);
    QCOMPARE(QFileInfo(again).fileName(), QStringLiteral("planes(1).jpg"));
    QVERIFY(TestUtils::readFile(written) == first);
    QVERIFY(TestUtils::readFile(again) == first);

    QImageReader ourReader(written);
    QImageReader theirReader(expected);
    const QImage ours = ourReader.read().convertToFormat(QImage::Format_RGB32);
    const QImage theirs = theirReader.read().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(ours.size(), size);
    QCOMPARE(ours.colorSpace(), theirs.colorSpace());
    QCOMPARE(ours.dotsPerMeterX(), theirs.dotsPerMeterX());
    const auto meanError = [&picture](const QImage &image) {
        qint64 sum = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                const QRgb a = image.pixel(x, y);
                const QRgb b = picture.pixel(x, y);
                sum += qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b))
                    + qAbs(qBlue(a) - qBlue(b));
            }
        }
        return double(sum) / (3.0 * picture.width() * picture.height());
    };
    const double ourError = meanError(ours);
    const double theirError = meanError(theirs);
    qDebug() << "mean error against libheif's RGB: planes" << ourError << "through RGB"
             << theirError;
    QVERIFY(ourError < 2.0);
    QVERIFY(ourError <= theirError + 0.25);
}

void tst_KImageWrapper::heifWithoutFrameGivesTheFramesFile_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("withoutFrame");

    const QImage photo = TestUtils::photoLikeImage(320, 240);
    const QImage odd = TestUtils::photoLikeImage(203, 151);
    const int jpeg = ImageFormatJpeg;
    const int tiff = ImageFormatTiff;
    HeifOptions lossy;
    lossy.lossless = false;
    lossy.chroma = "420";
    QTest::newRow("4:2:0 -> TIFF") << heifFile(photo, lossy) << tiff << true;
    HeifOptions full = lossy;
    full.chroma = "444";
    QTest::newRow("4:4:4, odd size -> TIFF") << heifFile(odd, full) << tiff << true;
    HeifOptions bt709 = lossy;
    bt709.matrix = heif_matrix_coefficients_ITU_R_BT_709_5;
    QTest::newRow("BT.709 -> JPEG") << heifFile(photo, bt709) << jpeg << true;
    QTest::newRow("BT.709 -> TIFF") << heifFile(odd, bt709) << tiff << true;
    QTest::newRow("4:2:0, odd size -> BMP") << heifFile(odd, lossy) << int(ImageFormatBmp) << true;
    HeifOptions limited = lossy;
    limited.matrix = heif_matrix_coefficients_ITU_R_BT_601_6;
    limited.fullRange = false;
    QTest::newRow("limited range, odd size -> JPEG") << heifFile(odd, limited) << jpeg << true;
    HeifOptions turned = lossy;
    turned.orientation = 8;
    turned.icc = QColorSpace(QColorSpace::DisplayP3).iccProfile();
    QTest::newRow("turned, ICC profile -> TIFF") << heifFile(odd, turned) << tiff << true;
    QTest::newRow("turned, ICC profile -> PNG")
        << heifFile(odd, turned) << int(ImageFormatPng) << true;
    HeifOptions grey = lossy;
    grey.monochrome = true;
    QTest::newRow("monochrome -> TIFF") << heifFile(odd, grey) << tiff << true;
    // Tall enough for the JPEG writer to take its tables from a sample.
    HeifOptions tall = bt709;
    QTest::newRow("1 MP, 1040 rows -> JPEG")
        << heifFile(TestUtils::photoLikeImage(1000, 1040), tall) << jpeg << true;

    // Pictures the rows cannot carry keep the frame.
    HeifOptions alpha = lossy;
    alpha.alpha = true;
    QTest::newRow("alpha -> TIFF") << heifFile(odd, alpha) << tiff << false;
    QTest::newRow("alpha -> PNG") << heifFile(odd, alpha) << int(ImageFormatPng) << false;
    HeifOptions deep = lossy;
    deep.bitDepth = 10;
    QTest::newRow("10 bits -> JPEG") << heifFile(odd, deep) << jpeg << false;
}

// An opaque 8-bit HEIF picture goes into JPEG, PNG, TIFF or BMP from libheif's RGB
// planes a block of rows at a time, with no frame, to the very file its
// frame gives.
void tst_KImageWrapper::heifWithoutFrameGivesTheFramesFile()
{
    QFETCH(QByteArray, source);
    QFETCH(int, type);
    QFETCH(bool, withoutFrame);
    if (source.isEmpty())
        QSKIP("this machine's library cannot write the fixture");
    const QString path = write("picture.heic", source);
    const ImageFormatRecord *format = ImageFormats::global().record(type);

    KImageWrapper whole;
    QVERIFY(whole.load(path));
    QString error;
    const QString expected = whole.saveFirstFrameAs(format, m_dir->path(), "whole", &error);
    QVERIFY2(!expected.isEmpty(), qPrintable(error));

    KImageWrapper converter;
    const QString written = converter.convertFileAs(path, format, m_dir->path(), "rows", &error);
    QVERIFY2(!written.isEmpty(), qPrintable(error));
    QCOMPARE(converter.frameCount() == 0, withoutFrame);
    QVERIFY(TestUtils::readFile(written) == TestUtils::readFile(expected));

    // A taken name is never written over.
    const QString again = converter.convertFileAs(path, format, m_dir->path(), "rows", &error);
    QCOMPARE(QFileInfo(again).fileName(),
        QFileInfo(written).completeBaseName() + "(1)." + QFileInfo(written).suffix());
    QVERIFY(TestUtils::readFile(again) == TestUtils::readFile(expected));
}

QTEST_MAIN(tst_KImageWrapper)
#include "tst_KImageWrapper.moc"
