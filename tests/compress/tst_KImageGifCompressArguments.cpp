#include <QTemporaryDir>
#include <QtTest>

#include "TestFixtures.h"
#include "codec/KImageWrapper.h"
#include "compress/GifCompressArguments.h"
#include "compress/GifSourceFacts.h"

using IntList = QVector<int>;

// The converter's argument vector as the GIF compression tool builds it.
class tst_KImageGifCompressArguments : public QObject
{
    Q_OBJECT
private slots:
    void targetSize_data();
    void targetSize();
    void droppedFrames_data();
    void droppedFrames();
    void colorCount_data();
    void colorCount();
    void wholeVector_data();
    void wholeVector();
    void paletteEstimate_data();
    void paletteEstimate();
    void factsOfARealFile();
    void factsOfAnUnreadableFile();
};

void tst_KImageGifCompressArguments::targetSize_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("width only follows the ratio") << QSize(400, 300) << 200 << 0 << QSize(200, 150);
    QTest::newRow("height only follows the ratio")
        << QSize(400, 300) << 0 << 150 << QSize(200, 150);
    QTest::newRow("ratio rounds down") << QSize(300, 200) << 100 << 0 << QSize(100, 66);
    QTest::newRow("neither keeps the source size") << QSize(400, 300) << 0 << 0 << QSize(400, 300);
    QTest::newRow("both used as given") << QSize(400, 300) << 50 << 60 << QSize(50, 60);
    QTest::newRow("one inch photo") << QSize(400, 300) << 295 << 413 << QSize(295, 413);
    QTest::newRow("wide strip keeps one row") << QSize(5000, 4) << 100 << 0 << QSize(100, 1);
    QTest::newRow("tall strip keeps one column") << QSize(4, 5000) << 0 << 100 << QSize(1, 100);
}

void tst_KImageGifCompressArguments::targetSize()
{
    QFETCH(QSize, source);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QSize, expected);
    QCOMPARE(GifCompressArguments::targetSize(source, width, height), expected);
}

void tst_KImageGifCompressArguments::droppedFrames_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("option");
    QTest::addColumn<IntList>("expected");
    QTest::newRow("keep original frames count") << 25 << 0 << IntList {};
    QTest::newRow("remove 10%") << 25 << 1 << IntList { 10, 20 };
    QTest::newRow("remove 20%") << 25 << 2 << IntList { 5, 10, 15, 20 };
    QTest::newRow("remove 30%") << 25 << 3 << IntList { 3, 7, 10, 14, 17, 21 };
    QTest::newRow("remove 40%") << 25 << 4 << IntList { 2, 5, 7, 10, 12, 15, 17, 20, 22 };
    QTest::newRow("remove 50%") << 25 << 5 << IntList { 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22 };
    // The last frame is never among them, even when the step lands on it.
    QTest::newRow("remove 20% of 21 keeps #20") << 21 << 2 << IntList { 5, 10, 15 };
    QTest::newRow("remove 50% of 3 keeps #2") << 3 << 5 << IntList {};
    QTest::newRow("single frame") << 1 << 5 << IntList {};
    QTest::newRow("unknown option") << 25 << 9 << IntList {};
}

void tst_KImageGifCompressArguments::droppedFrames()
{
    QFETCH(int, frames);
    QFETCH(int, option);
    QFETCH(IntList, expected);
    QCOMPARE(GifCompressArguments::droppedFrames(frames, option), expected);
}

void tst_KImageGifCompressArguments::colorCount_data()
{
    QTest::addColumn<int>("palette");
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("expected");
    QTest::newRow("256 at 50") << 256 << 50 << 128;
    QTest::newRow("64 at 1 stays at 2") << 64 << 1 << 2;
    QTest::newRow("256 at 90") << 256 << 90 << 230;
    QTest::newRow("100 at 33 rounds down") << 100 << 33 << 33;
    QTest::newRow("no palette estimate") << 0 << 90 << 2;
}

void tst_KImageGifCompressArguments::colorCount()
{
    QFETCH(int, palette);
    QFETCH(int, percent);
    QFETCH(int, expected);
    QCOMPARE(GifCompressArguments::colorCount(palette, percent), expected);
}

void tst_KImageGifCompressArguments::wholeVector_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("option");
    QTest::addColumn<QStringList>("tail");
    const QString path = QStringLiteral("/tmp/my clips/dance #1.gif");
    QTest::newRow("width 200, remove 20%, 50")
        << 200 << 0 << 50 << 2
        << QStringList { "--resize", "200x150", "--delete", "#5", "#10", "#15", "#20", "--colors",
               "128" };
    QTest::newRow("one inch photo, all frames, 1")
        << 295 << 413 << 1 << 0 << QStringList { "--resize", "295x413", "--colors", "2" };
    QTest::newRow("original size, all frames, 90")
        << 0 << 0 << 90 << 0 << QStringList { "--resize", "400x300", "--colors", "230" };
}

void tst_KImageGifCompressArguments::wholeVector()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, percent);
    QFETCH(int, option);
    QFETCH(QStringList, tail);
    GifCompressRequest request;
    request.sourcePath = QStringLiteral("/tmp/my clips/dance #1.gif");
    request.width = width;
    request.height = height;
    request.colorPercent = percent;
    request.frameOption = option;
    GifSourceFacts facts;
    facts.valid = true;
    facts.colorCount = 256;
    facts.frameCount = 25;
    facts.size = QSize(400, 300);
    // Program name and source path come first, the path unchanged.
    const QStringList expected = QStringList { QString(), request.sourcePath } + tail;
    QCOMPARE(GifCompressArguments::build(request, facts), expected);
}

namespace {

// The first bytes of a GIF with a global palette of the given colours.
QByteArray gifHead(const QVector<QRgb> &palette)
{
    int bits = 1;
    while ((1 << bits) < palette.size())
        ++bits;
    QByteArray head("GIF89a");
    head.append(char(16)).append(char(0)).append(char(16)).append(char(0));
    head.append(char(0x80 | (bits - 1))).append(char(0)).append(char(0));
    for (int i = 0; i < (1 << bits); ++i) {
        const QRgb c = i < palette.size() ? palette[i] : qRgb(0, 0, 0);
        head.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    }
    return head;
}

} // namespace

void tst_KImageGifCompressArguments::paletteEstimate_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("decoderEstimate");
    QTest::addColumn<int>("expected");
    const QRgb black = qRgb(0, 0, 0);
    const QRgb red = qRgb(255, 0, 0);
    const QRgb green = qRgb(0, 255, 0);
    const QRgb white = qRgb(255, 255, 255);
    QTest::newRow("black only as padding") << gifHead({ red, green, white }) << 3 << 3;
    QTest::newRow("black as the first colour")
        << gifHead({ black, red, green, white, red, green }) << 0 << 6;
    QTest::newRow("black in the middle") << gifHead({ white, black, red }) << 1 << 3;
    QTest::newRow("no black at all") << gifHead({ red, green, white, red }) << 256 << 256;
    QTest::newRow("all black") << gifHead({ black, black }) << 0 << 0;
    QByteArray noGlobal = gifHead({ red, green });
    noGlobal[10] = 0;
    QTest::newRow("no global palette") << noGlobal << 256 << 256;
    QTest::newRow("cut inside the palette")
        << gifHead({ black, red, green, white }).left(16) << 0 << 0;
    QTest::newRow("not a GIF") << QByteArray("\x89PNG\r\n\x1a\n0000000000") << 0 << 0;
}

void tst_KImageGifCompressArguments::paletteEstimate()
{
    QFETCH(QByteArray, head);
    QFETCH(int, decoderEstimate);
    QFETCH(int, expected);
    QCOMPARE(gifPaletteColorEstimate(decoderEstimate, head), expected);
}

void tst_KImageGifCompressArguments::factsOfARealFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Palette: white (borders), black (frame 0), 13 colours and grey: 16 entries in use.
    QVector<QColor> colours { Qt::black };
    for (int i = 1; i < 14; ++i)
        colours << QColor::fromHsv(i * 25, 200, 220);
    for (int i = 14; i < 25; ++i)
        colours << QColor(Qt::gray);
    const QString path = dir.filePath("dark.gif");
    QVERIFY(TestFixtures::writeAnimatedGif(path, 400, 300, colours));

    KImageWrapper wrapper;
    QVERIFY(wrapper.load(path));
    QCOMPARE(wrapper.gifColorCount(), 1); // stops at the black of frame 0

    const GifSourceFacts facts = readGifSourceFacts(path);
    QVERIFY(facts.valid);
    QCOMPARE(facts.frameCount, 25);
    QCOMPARE(facts.size, QSize(400, 300));
    QCOMPARE(facts.colorCount, 16);
}

void tst_KImageGifCompressArguments::factsOfAnUnreadableFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString good = dir.filePath("good.gif");
    QVERIFY(TestFixtures::writeAnimatedGif(good, 40, 30, { Qt::red, Qt::blue }));
    QFile file(good);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QString truncated = dir.filePath("truncated.gif");
    QFile cut(truncated);
    QVERIFY(cut.open(QIODevice::WriteOnly));
    cut.write(bytes.left(bytes.size() / 3));
    cut.close();

    QVERIFY(!readGifSourceFacts(truncated).valid);
    QVERIFY(!readGifSourceFacts(dir.filePath("missing.gif")).valid);
}

QTEST_GUILESS_MAIN(tst_KImageGifCompressArguments)
#include "tst_KImageGifCompressArguments.moc"
