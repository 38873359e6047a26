#include <QTemporaryDir>
#include <QtTest>

#include "CodecFixtures.h"
#include "TestFixtures.h"
#include "TestUtils.h"
#include "codec/KImageGifDecoder.h"
#include "codec/KImageWrapper.h"

using namespace CodecFixtures;

namespace {

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kClear = qRgba(0, 0, 0, 0);

QVector<QRgb> palette() { return { kRed, kGreen, kBlue, kWhite }; }

} // namespace

class tst_KImageGifDecoder : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void composition_data();
    void composition();
    void restoreToPreviousAcrossTheCache();
    void frameFacts();
    void cacheOfEveryEighthFrame();
    void canvasIsTheLogicalScreen();
    void interlacedFrame();
    void colourCountEstimate_data();
    void colourCountEstimate();
    void damagedFiles_data();
    void damagedFiles();

private:
    KImageGifDecoder *load(KImageWrapper *wrapper, const QByteArray &gif);
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_KImageGifDecoder::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

KImageGifDecoder *tst_KImageGifDecoder::load(KImageWrapper *wrapper, const QByteArray &gif)
{
    static int n = 0;
    const QString path
        = TestUtils::writeFile(m_dir->path(), QStringLiteral("f%1.gif").arg(++n), gif);
    if (!wrapper->load(path))
        return nullptr;
    return dynamic_cast<KImageGifDecoder *>(wrapper->decoder());
}

void tst_KImageGifDecoder::composition_data()
{
    QTest::addColumn<QByteArray>("gif");
    QTest::addColumn<int>("frame");
    QTest::addColumn<QRgb>("left");
    QTest::addColumn<QRgb>("right");

    // Frame 0 paints the whole screen red, frame 1 the right half green.
    for (int disposal : { 0, 1, 2, 3 }) {
        const QByteArray gif = gifFile(QSize(20, 10), palette(),
            { solidGifFrame(QRect(0, 0, 20, 10), 0, disposal),
                solidGifFrame(QRect(10, 0, 10, 10), 1) });
        // Disposal 2 clears frame 0's area to transparent before frame 1;
        // 3 restores what was there before frame 0 (nothing).
        const QRgb left = disposal >= 2 ? kClear : kRed;
        QTest::addRow("disposal %d", disposal) << gif << 1 << left << kGreen;
    }
    QTest::newRow("transparent index shows the frame below") << gifFile(QSize(20, 10), palette(),
        { solidGifFrame(QRect(0, 0, 20, 10), 0, 1),
            solidGifFrame(QRect(0, 0, 20, 10), 3, 1, 0, 3) }) << 1
                                                             << kRed << kRed;
    QTest::newRow("restore to previous keeps older frames") << gifFile(QSize(20, 10), palette(),
        { solidGifFrame(QRect(0, 0, 20, 10), 0, 1), solidGifFrame(QRect(0, 0, 10, 10), 1, 3),
            solidGifFrame(QRect(10, 0, 10, 10), 2, 1) }) << 2
                                                            << kRed << kBlue;
    QTest::newRow("local palette") << [] {
        GifFrame f = solidGifFrame(QRect(0, 0, 20, 10), 1);
        f.localPalette = { kWhite, kBlue };
        return gifFile(QSize(20, 10), palette(), { f });
    }() << 0 << kBlue << kBlue;
}

void tst_KImageGifDecoder::composition()
{
    QFETCH(QByteArray, gif);
    QFETCH(int, frame);
    QFETCH(QRgb, left);
    QFETCH(QRgb, right);
    KImageWrapper wrapper;
    QVERIFY(load(&wrapper, gif));
    const QImage composed = wrapper.frameAt(frame).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(composed.size(), QSize(20, 10));
    QCOMPARE(composed.pixel(4, 5), left);
    QCOMPARE(composed.pixel(15, 5), right);
}

void tst_KImageGifDecoder::restoreToPreviousAcrossTheCache()
{
    // Frame 8 restores to the previous content, and is cached: frame 9,
    // composed from the cache, must still see frame 7's state.
    QVector<GifFrame> frames;
    for (int i = 0; i < 8; ++i)
        frames.append(solidGifFrame(QRect(0, 0, 20, 10), quint8(i % 2 ? 0 : 1), 1));
    frames.append(solidGifFrame(QRect(0, 0, 10, 10), 2, 3));
    frames.append(solidGifFrame(QRect(10, 0, 10, 10), 3, 1));
    KImageWrapper wrapper;
    KImageGifDecoder *decoder = load(&wrapper, gifFile(QSize(20, 10), palette(), frames));
    QVERIFY(decoder);
    QCOMPARE(wrapper.frameAt(8).pixel(4, 5), kBlue);
    QVERIFY(decoder->isFrameCached(8));
    const QImage frame9 = wrapper.frameAt(9).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(frame9.pixel(4, 5), kRed); // frame 7 was red
    QCOMPARE(frame9.pixel(15, 5), kWhite);
}

void tst_KImageGifDecoder::frameFacts()
{
    KImageWrapper wrapper;
    KImageGifDecoder *decoder = load(&wrapper,
        gifFile(QSize(30, 20), palette(),
            { solidGifFrame(QRect(0, 0, 30, 20), 0, 1, 7),
                solidGifFrame(QRect(3, 4, 5, 6), 1, 2, 25) }));
    QVERIFY(decoder);
    QCOMPARE(decoder->frameCount(), 2);
    QCOMPARE(decoder->frameRect(1), QRect(3, 4, 5, 6));
    QCOMPARE(decoder->disposal(0), 1);
    QCOMPARE(decoder->disposal(1), 2);
    QCOMPARE(decoder->frameDelay(0), 70);
    QCOMPARE(decoder->frameDelay(1), 250);
    QCOMPARE(decoder->rawFrame(1).size(), QSize(5, 6));
    QCOMPARE(decoder->canvasSize(), QSize(30, 20));
    QVERIFY(decoder->frameRect(2).isNull());
}

void tst_KImageGifDecoder::cacheOfEveryEighthFrame()
{
    QVector<GifFrame> frames;
    for (int i = 0; i < 24; ++i)
        frames.append(solidGifFrame(QRect(i % 20, 0, 1, 10), quint8(i % 4), 1));
    KImageWrapper wrapper;
    KImageGifDecoder *decoder = load(&wrapper, gifFile(QSize(20, 10), palette(), frames));
    QVERIFY(decoder);
    QVERIFY(decoder->isFrameCached(0));
    const QImage frame20 = wrapper.frameAt(20);
    QVERIFY(!decoder->isFrameCached(8));
    QVERIFY(!decoder->isFrameCached(16));
    QVERIFY(!decoder->isFrameCached(20));
    wrapper.frameAt(16);
    QVERIFY(decoder->isFrameCached(16));
    // Composed from the cached frame 16, frame 20 is the same picture.
    QCOMPARE(wrapper.frameAt(20), frame20);
    // Every column drawn so far keeps its colour.
    const QImage argb = frame20.convertToFormat(QImage::Format_ARGB32);
    for (int i = 0; i <= 19; ++i)
        QCOMPARE(argb.pixel(i, 5), palette()[i % 4]);
}

void tst_KImageGifDecoder::canvasIsTheLogicalScreen()
{
    // Frame 0 smaller than the screen and placed inside it: the canvas has
    // the screen's size and frame 0 sits at its position.
    KImageWrapper wrapper;
    QVERIFY(load(
        &wrapper, gifFile(QSize(20, 20), palette(), { solidGifFrame(QRect(5, 5, 10, 10), 2) })));
    const QImage frame = wrapper.frameAt(0).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(frame.size(), QSize(20, 20));
    QCOMPARE(frame.pixel(2, 2), kClear);
    QCOMPARE(frame.pixel(10, 10), kBlue);
}

void tst_KImageGifDecoder::interlacedFrame()
{
    GifFrame frame;
    frame.rect = QRect(0, 0, 3, 11);
    frame.interlaced = true;
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 3; ++x)
            frame.indices.append(quint8(y % 4));
    KImageWrapper wrapper;
    QVERIFY(load(&wrapper, gifFile(QSize(3, 11), palette(), { frame })));
    const QImage image = wrapper.frameAt(0).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < 11; ++y)
        QCOMPARE(image.pixel(1, y), palette()[y % 4]);
}

void tst_KImageGifDecoder::colourCountEstimate_data()
{
    QTest::addColumn<QVector<QRgb>>("globalPalette");
    QTest::addColumn<int>("expected");
    QTest::newRow("used colours padded with black")
        << QVector<QRgb> { kRed, kGreen, kBlue, kWhite, qRgb(7, 7, 7) } << 5;
    QTest::newRow("entry 0 black") << QVector<QRgb> { qRgb(0, 0, 0), kRed } << 0;
    QTest::newRow("no black at all") << QVector<QRgb> { kRed, kGreen, kBlue, kWhite } << 256;
    QTest::newRow("no global palette") << QVector<QRgb>() << 256;
}

void tst_KImageGifDecoder::colourCountEstimate()
{
    QFETCH(QVector<QRgb>, globalPalette);
    QFETCH(int, expected);
    GifFrame frame = solidGifFrame(QRect(0, 0, 4, 4), 1);
    if (globalPalette.isEmpty())
        frame.localPalette = { kRed, kGreen };
    KImageWrapper wrapper;
    KImageGifDecoder *decoder = load(&wrapper, gifFile(QSize(4, 4), globalPalette, { frame }));
    QVERIFY(decoder);
    QCOMPARE(decoder->colorCount(), expected);
    QCOMPARE(wrapper.gifColorCount(), expected);
}

void tst_KImageGifDecoder::damagedFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("frames"); // 0: the load fails
    // What the structure alone says (0: refused); the same as frames unless
    // only the compressed pixels are damaged.
    QTest::addColumn<int>("outlineFrames");
    const QByteArray two = gifFile(QSize(16, 16), palette(),
        { solidGifFrame(QRect(0, 0, 16, 16), 0), solidGifFrame(QRect(0, 0, 16, 16), 1) });
    const QByteArray one
        = gifFile(QSize(16, 16), palette(), { solidGifFrame(QRect(0, 0, 16, 16), 0) });
    QTest::newRow("whole") << two << 2 << 2;
    QTest::newRow("cut inside the first frame") << two.left(one.size() - 8) << 0 << 0;
    QTest::newRow("cut inside the second frame") << two.left(two.size() - 6) << 0 << 0;
    QTest::newRow("no trailer after a whole frame") << one.left(one.size() - 1) << 1 << 1;
    QTest::newRow("junk after the frames")
        << one.left(one.size() - 1) + QByteArray("JUNK") << 1 << 1;
    QTest::newRow("header only") << one.left(13) << 0 << 0;
    QTest::newRow("PNG named .gif") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << 0 << 0;
    QTest::newRow("empty") << QByteArray() << 0 << 0;
    QTest::newRow("screen over the pixel cap")
        << gifFile(QSize(16385, 12800), palette(), { solidGifFrame(QRect(0, 0, 2, 2), 0) }) << 0
        << 0;
    QTest::newRow("frame over the pixel cap") << [] {
        QByteArray g = gifFile(QSize(4, 4), palette(), { solidGifFrame(QRect(0, 0, 4, 4), 0) });
        // Image descriptor after header (13), palette (12) and GCE (8): width/height at +5.
        const int desc = g.indexOf(char(0x2C), 13 + 12 + 8);
        g[desc + 5] = char(0xFF);
        g[desc + 6] = char(0xFF);
        g[desc + 7] = char(0xFF);
        g[desc + 8] = char(0xFF);
        return g;
    }() << 0 << 0;
    QTest::newRow("pixels that do not decompress")
        << TestFixtures::withDamagedLastFrame(two) << 0 << 2;
}

void tst_KImageGifDecoder::damagedFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, frames);
    QFETCH(int, outlineFrames);
    KImageWrapper wrapper;
    KImageGifDecoder *decoder = load(&wrapper, bytes);
    QCOMPARE(decoder != nullptr, frames > 0);
    QCOMPARE(wrapper.frameCount(), frames);
    if (frames > 0)
        QVERIFY(!wrapper.frameAt(frames - 1).isNull());

    KImageGifDecoder::Outline outline;
    const QString path = TestUtils::writeFile(m_dir->path(), QStringLiteral("outline.gif"), bytes);
    QCOMPARE(KImageGifDecoder::readOutline(path, &outline), outlineFrames > 0);
    QCOMPARE(outline.frameCount, outlineFrames);
    if (decoder) {
        QCOMPARE(outline.canvasSize, decoder->canvasSize());
        QCOMPARE(outline.colorCount, decoder->colorCount());
    }
}

QTEST_MAIN(tst_KImageGifDecoder)
#include "tst_KImageGifDecoder.moc"
