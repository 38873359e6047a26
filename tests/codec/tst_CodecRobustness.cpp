#include <FreeImage.h>

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <QtTest>

#include "CodecFixtures.h"
#include "TestUtils.h"
#include "codec/HeifFileCheck.h"
#include "codec/KImageWrapper.h"

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

QByteArray freeImageFile(const QImage &image, FREE_IMAGE_FORMAT fif)
{
    QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    FIBITMAP *bitmap = FreeImage_ConvertFromRawBits(argb.bits(), argb.width(), argb.height(),
        argb.bytesPerLine(), 32, 0x00FF0000, 0x0000FF00, 0x000000FF, TRUE);
    FIMEMORY *memory = FreeImage_OpenMemory();
    QByteArray out;
    if (FreeImage_SaveToMemory(fif, bitmap, memory, 0)) {
        BYTE *data = nullptr;
        DWORD size = 0;
        FreeImage_AcquireMemory(memory, &data, &size);
        out = QByteArray(reinterpret_cast<const char *>(data), int(size));
    }
    FreeImage_CloseMemory(memory);
    FreeImage_Unload(bitmap);
    return out;
}

// One valid file of every format the program reads, named by extension.
QVector<QPair<QString, QByteArray>> validFiles()
{
    const QImage picture = TestUtils::quadrantImage(120, 80, QImage::Format_ARGB32);
    QVector<QPair<QString, QByteArray>> files {
        { "png", encoded(picture, "png") },
        { "jpg", encoded(picture, "jpg", 90) },
        { "bmp", encoded(picture, "bmp") },
        { "ico", encoded(picture.scaled(32, 32), "ico") },
        { "tif", tiffFile({ picture, picture }) },
        { "webp", encoded(picture, "webp", 100) },
        { "xpm", encoded(picture, "xpm") },
        { "xbm", encoded(picture.convertToFormat(QImage::Format_Mono), "xbm") },
        { "gif",
            gifFile(QSize(120, 80), { qRgb(255, 0, 0), qRgb(0, 0, 255) },
                { solidGifFrame(QRect(0, 0, 120, 80), 0),
                    solidGifFrame(QRect(10, 10, 50, 50), 1) }) },
        { "tga", freeImageFile(picture, FIF_TARGA) },
        { "psd", psdFile(picture) },
        { "dng", dngFile(120, 80) },
        { "svg",
            "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 120 80'>"
            "<rect width='60' height='40' fill='red'/><circle cx='80' cy='50' r='20'/></svg>" },
    };
    EmfBuilder emf(QSize(120, 80));
    emf.createBrush(1, qRgb(0, 0, 255));
    emf.selectObject(1);
    emf.rectangle(QRect(10, 10, 50, 50));
    emf.stretchDIBits(QRect(60, 0, 60, 40), picture.scaled(30, 20));
    files.append({ "emf", emf.finish() });
    WmfBuilder wmf(QRect(0, 0, 1440, 960), 1440);
    wmf.createBrush(qRgb(255, 0, 0));
    wmf.selectObject(0);
    wmf.rectangle(QRect(100, 100, 500, 500));
    files.append({ "wmf", wmf.finish() });
    const QByteArray heic = heifFile(picture);
    if (!heic.isEmpty())
        files.append({ "heic", heic });
    return files;
}

} // namespace

class tst_CodecRobustness : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void damaged_data();
    void damaged();
    void mislabelled_data();
    void mislabelled();
    void regressionFixtures_data();
    void regressionFixtures();
    void damagedFilesInParallel();

private:
    QString write(const QString &name, const QByteArray &bytes)
    {
        return TestUtils::writeFile(m_dir->path(), name, bytes);
    }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_CodecRobustness::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_CodecRobustness::damaged_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("mustFail"); // false: it may load, but must not crash
    for (const auto &file : validFiles()) {
        const QByteArray name = file.first.toLatin1();
        const char *ext = name.constData();
        const QByteArray &b = file.second;
        QTest::addRow("%s whole", ext) << file.first << b << false;
        QTest::addRow("%s cut at a third", ext) << file.first << b.left(b.size() / 3) << true;
        QTest::addRow("%s cut at two thirds", ext)
            << file.first << b.left(b.size() * 2 / 3) << true;
        QTest::addRow("%s first 16 bytes", ext) << file.first << b.left(16) << true;
        QByteArray zeroTail = b;
        for (int i = b.size() / 2; i < b.size(); ++i)
            zeroTail[i] = '\0';
        QTest::addRow("%s second half zeroed", ext) << file.first << zeroTail << false;
        QByteArray flipped = b;
        for (int i = 20; i < b.size(); i += 37)
            flipped[i] = char(flipped[i] ^ (1 << (i % 8)));
        QTest::addRow("%s bits flipped", ext) << file.first << flipped << false;
        QByteArray noise = b.left(64);
        for (int i = 0; i < 4000; ++i)
            noise.append(char((i * 7919) & 0xFF));
        QTest::addRow("%s header then noise", ext) << file.first << noise << false;
    }
}

void tst_CodecRobustness::damaged()
{
    QFETCH(QString, extension);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, mustFail);
    KImageWrapper wrapper;
    const bool loaded = wrapper.load(write("damaged." + extension, bytes));
    if (mustFail)
        QVERIFY(!loaded);
    QCOMPARE(wrapper.loadState(), int(loaded ? KImageWrapper::Loaded : KImageWrapper::Failed));
    QCOMPARE(wrapper.frameCount() > 0, loaded);
    if (loaded)
        QVERIFY(!wrapper.frameAt(0).isNull());
    if (QByteArray(QTest::currentDataTag()).endsWith(" whole"))
        QVERIFY(loaded);
}

void tst_CodecRobustness::mislabelled_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("loads");
    const QImage picture = TestUtils::quadrantImage(32, 32);
    const QByteArray png = encoded(picture, "png");
    const QByteArray jpeg = encoded(picture, "jpg");
    QTest::newRow("JPEG named .png") << "a.png" << jpeg << true;
    QTest::newRow("PNG named .bmp") << "a.bmp" << png << true;
    QTest::newRow("PNG named .psd") << "a.psd" << png << true;
    QTest::newRow("PNG named .dng") << "a.dng" << png << true;
    QTest::newRow("PNG named .gif") << "a.gif" << png << false;
    QTest::newRow("PNG named .heic") << "a.heic" << png << false;
    QTest::newRow("PNG named .svg") << "a.svg" << png << false;
    QTest::newRow("PNG named .emf") << "a.emf" << png << false;
    QTest::newRow("PNG named .wmf") << "a.wmf" << png << false;
    QTest::newRow("text named .jpg") << "a.jpg" << QByteArray("hello") << false;
    QTest::newRow("SVG named .png") << "a.png"
                                    << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' "
                                                  "viewBox='0 0 8 8'/>")
                                    << false;
}

void tst_CodecRobustness::mislabelled()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, loads);
    KImageWrapper wrapper;
    QCOMPARE(wrapper.load(write(fileName, bytes)), loads);
    if (loads)
        QCOMPARE(wrapper.frameAt(0).size(), QSize(32, 32));
}

void tst_CodecRobustness::regressionFixtures_data()
{
    // Inputs that once crashed, hung or over-allocated a decoder, named
    // "<what>-fails.<ext>" or "<what>-loads.<ext>".
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("loads");
    const QDir dir(TestUtils::dataDir() + QStringLiteral("/codec"));
    const QFileInfoList files = dir.entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &file : files) {
        const QString stem = file.completeBaseName();
        if (!stem.endsWith(QLatin1String("-fails")) && !stem.endsWith(QLatin1String("-loads")))
            continue;
        QTest::newRow(qPrintable(file.fileName()))
            << file.absoluteFilePath() << stem.endsWith(QLatin1String("-loads"));
    }
    if (files.isEmpty())
        QTest::newRow("no fixtures yet") << QString() << false;
}

void tst_CodecRobustness::regressionFixtures()
{
    QFETCH(QString, path);
    QFETCH(bool, loads);
    if (path.isEmpty())
        QSKIP("no regression fixtures in tests/data/codec");
    KImageWrapper wrapper;
    QCOMPARE(wrapper.load(path), loads);
    for (int i = 0; i < wrapper.frameCount(); ++i)
        QVERIFY(!wrapper.frameAt(i).isNull() || i > 0);
    // HEIF files are turned down by the box check, before libheif allocates
    // at the sizes they declare.
    if (!loads && path.endsWith(QLatin1String(".heic"))) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!HeifFileCheck::isSound(file.readAll()));
    }
}

void tst_CodecRobustness::damagedFilesInParallel()
{
    // The same damaged and whole files decoded alone and then by several
    // threads at once give the same outcome.
    QStringList paths;
    for (const auto &file : validFiles()) {
        paths << write("whole." + file.first, file.second);
        paths << write("cut." + file.first, file.second.left(file.second.size() / 2));
    }
    QHash<QString, bool> alone;
    for (const QString &path : paths) {
        KImageWrapper wrapper;
        alone.insert(path, wrapper.load(path));
    }
    QThreadPool::globalInstance()->setMaxThreadCount(6);
    QList<QFuture<QPair<QString, bool>>> futures;
    for (int round = 0; round < 4; ++round)
        for (const QString &path : paths)
            futures.append(QtConcurrent::run([path]() {
                KImageWrapper wrapper;
                const bool ok = wrapper.load(path) && !wrapper.frameAt(0).isNull();
                return qMakePair(path, ok);
            }));
    for (auto &future : futures) {
        const QPair<QString, bool> result = future.result();
        QCOMPARE(result.second, alone.value(result.first));
    }
}

QTEST_MAIN(tst_CodecRobustness)
#include "tst_CodecRobustness.moc"
