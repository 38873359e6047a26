#include <atomic>
#include <cmath>
#include <thread>

#include <QLibrary>
#include <QTemporaryDir>
#include <QtTest>

#include "GifConverterApi.h"
#include "GifFixtures.h"
#include "TestUtils.h"

using GifFixtures::Decoded;
using GifFixtures::Frame;
using GifFixtures::Gif;

// The converter is exercised exactly as the program uses it: loaded with QLibrary
// from the build folder and driven through its two C entry points.
class tst_GifConverterLibrary : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void rejectsBadInput_data();
    void rejectsBadInput();

    void dropsFramesAndKeepsDuration_data();
    void dropsFramesAndKeepsDuration();

    void limitsColours_data();
    void limitsColours();

    void composesDisposalBeforeResizing_data();
    void composesDisposalBeforeResizing();

    void resizesToRequestedSize_data();
    void resizesToRequestedSize();

    void keepsLoopCountAndDelays_data();
    void keepsLoopCountAndDelays();

    void keepsExactPicturesWhenColoursSuffice_data();
    void keepsExactPicturesWhenColoursSuffice();

    void encodesOnlyWhatChanges();
    void survivesDamagedFiles();
    void resultsBelongToTheirThread();
    void releaseWithoutResultIsHarmless();
    void survivesUnloading();

private:
    // Runs the converter on args (source path first); an empty array means count 0.
    QByteArray convert(const QStringList &args);
    QString writeGif(const QString &name, const Gif &gif);

    QLibrary m_library;
    bool m_malformedResult = false; // a record with a count but no bytes, or none at all
    GifConverterFunction m_convert = nullptr;
    GifReleaseFunction m_release = nullptr;
    QTemporaryDir m_dir;
};

namespace {

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kWhite = qRgb(255, 255, 255);

// Frame i is filled with palette entry i, so each output frame tells which source
// frame it shows.
Gif numberedFrames(int count, const QVector<int> &delays)
{
    Gif gif;
    gif.width = 12;
    gif.height = 8;
    gif.loopCount = 0;
    for (int i = 0; i < count; ++i) {
        gif.palette.append(qRgb((i * 53) % 256, (i * 97 + 40) % 256, (i * 151 + 80) % 256));
        gif.frames.append(
            GifFixtures::filledFrame(gif.width, gif.height, quint8(i), delays.value(i, 10)));
    }
    return gif;
}

int sourceFrameShown(const QImage &frame, const Gif &gif)
{
    const QRgb colour = frame.pixel(frame.width() / 2, frame.height() / 2);
    for (int i = 0; i < gif.palette.size(); ++i) {
        if (TestUtils::colourNear(colour, gif.palette[i], 2))
            return i;
    }
    return -1;
}

// A smooth two-dimensional gradient over three frames with local palettes: far more
// colours than any budget below.
Gif gradientAnimation()
{
    Gif gif;
    gif.width = 48;
    gif.height = 32;
    for (int f = 0; f < 3; ++f) {
        Frame frame;
        frame.width = gif.width;
        frame.height = gif.height;
        for (int i = 0; i < 256; ++i) {
            const int u = i % 16, v = i / 16;
            frame.localPalette.append(qRgb(u * 17, v * 17, (f * 80 + u * 5) % 256));
        }
        for (int y = 0; y < gif.height; ++y)
            for (int x = 0; x < gif.width; ++x)
                frame.indices.append(quint8((y / 2) * 16 + (x / 3)));
        gif.frames.append(frame);
    }
    return gif;
}

// Every kind of frame the decoder and the planner must get right: a full first
// frame, an interlaced partial frame with its own palette and transparent pixels
// that is restored afterwards, a frame cleared to the background afterwards, a
// strip drawn over the cleared area and a single changed pixel.
Gif richAnimation()
{
    Gif gif;
    gif.width = 24;
    gif.height = 16;
    gif.loopCount = 0;
    gif.palette = { kRed, kGreen, kBlue, kWhite, qRgb(20, 20, 20), qRgb(200, 120, 40),
        qRgb(90, 160, 220), qRgb(0, 0, 0) };
    Frame base = GifFixtures::filledFrame(24, 16, 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x)
            base.indices[y * 24 + x] = quint8((x / 3 + y / 2) % 6);
    Frame local;
    local.left = 4;
    local.top = 3;
    local.width = 10;
    local.height = 8;
    local.interlaced = true;
    local.transparent = 0;
    local.disposal = 3;
    local.localPalette
        = { qRgb(1, 2, 3), qRgb(120, 0, 120), qRgb(160, 40, 160), qRgb(220, 90, 220) };
    for (int i = 0; i < 80; ++i)
        local.indices.append(quint8((i * 7 + i / 10) % 4));
    Frame cleared = GifFixtures::filledFrame(12, 6, 5, 20);
    cleared.left = 10;
    cleared.top = 8;
    cleared.disposal = 2;
    cleared.transparent = 7;
    for (int i = 0; i < 72; i += 5)
        cleared.indices[i] = 7;
    Frame strip = GifFixtures::filledFrame(24, 4, 6);
    strip.top = 9;
    Frame dot = GifFixtures::filledFrame(1, 1, 3, 30);
    dot.left = 23;
    dot.top = 15;
    gif.frames = { base, local, cleared, strip, dot };
    return gif;
}

// Random rectangles, disposals, transparency and local palettes from a seed, with
// few enough colours in all to be kept exactly.
Gif randomAnimation(quint32 seed)
{
    QRandomGenerator random(seed);
    Gif gif;
    gif.width = 20 + int(random.bounded(30));
    gif.height = 10 + int(random.bounded(30));
    gif.loopCount = int(random.bounded(3));
    for (int i = 0; i < 16; ++i)
        gif.palette.append(
            qRgb(int(random.bounded(256)), int(random.bounded(256)), int(random.bounded(256))));
    const int frames = 3 + int(random.bounded(8));
    for (int f = 0; f < frames; ++f) {
        Frame frame;
        frame.width = 1 + int(random.bounded(gif.width));
        frame.height = 1 + int(random.bounded(gif.height));
        frame.left = int(random.bounded(gif.width - frame.width + 1));
        frame.top = int(random.bounded(gif.height - frame.height + 1));
        frame.disposal = int(random.bounded(4));
        frame.delay = int(random.bounded(50));
        frame.interlaced = random.bounded(4) == 0;
        if (random.bounded(2))
            frame.transparent = int(random.bounded(8));
        if (random.bounded(4) == 0) {
            for (int i = 0; i < 8; ++i)
                frame.localPalette.append(qRgb(
                    int(random.bounded(256)), int(random.bounded(256)), int(random.bounded(256))));
        }
        const int colours = frame.localPalette.isEmpty() ? 16 : 8;
        // Blocks of one colour, like real pictures, rather than pure noise.
        for (int y = 0; y < frame.height; ++y)
            for (int x = 0; x < frame.width; ++x)
                frame.indices.append(quint8(((x / 3) * 5 + (y / 2) * 3 + f) % colours));
        for (int n = int(random.bounded(frame.width * frame.height / 4 + 1)); n > 0; --n)
            frame.indices[int(random.bounded(frame.indices.size()))]
                = quint8(random.bounded(colours));
        gif.frames.append(frame);
    }
    return gif;
}

// Transparent pixels compare equal whatever colour they carry.
QImage normalised(const QImage &image)
{
    QImage copy = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < copy.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(copy.scanLine(y));
        for (int x = 0; x < copy.width(); ++x) {
            if (qAlpha(line[x]) == 0)
                line[x] = 0;
        }
    }
    return copy;
}

double meanError(const QImage &a, const QImage &b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q))
                + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

} // namespace

void tst_GifConverterLibrary::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_library.setFileName(QStringLiteral(QVGIFCONV_PATH));
    QVERIFY2(m_library.load(), qPrintable(m_library.errorString()));
    m_convert = reinterpret_cast<GifConverterFunction>(m_library.resolve("GifConverter"));
    m_release = reinterpret_cast<GifReleaseFunction>(m_library.resolve("Release"));
    QVERIFY(m_convert);
    QVERIFY(m_release);
}

void tst_GifConverterLibrary::cleanup()
{
    // A failure must come back as an empty record: count 0 and no bytes.
    QVERIFY(!m_malformedResult);
}

QByteArray tst_GifConverterLibrary::convert(const QStringList &args)
{
    QVector<QByteArray> storage { QByteArray() };
    for (const QString &arg : args)
        storage.append(arg.toLocal8Bit());
    QVector<char *> argv;
    for (QByteArray &arg : storage)
        argv.append(arg.data());
    const GifConverterResult *result = m_convert(argv.size(), argv.data());
    QByteArray bytes;
    if (result && result->count > 0 && result->bytes)
        bytes = QByteArray(reinterpret_cast<const char *>(result->bytes), result->count);
    else if (!result || result->count != 0 || result->bytes)
        m_malformedResult = true;
    m_release();
    return bytes;
}

QString tst_GifConverterLibrary::writeGif(const QString &name, const Gif &gif)
{
    return TestUtils::writeFile(m_dir.path(), name, GifFixtures::encode(gif));
}

void tst_GifConverterLibrary::rejectsBadInput_data()
{
    QTest::addColumn<QStringList>("args"); // "@good" is replaced by a valid GIF's path
    QTest::addColumn<QByteArray>("fileBytes"); // when set, written and used as the source

    const QByteArray none;
    QTest::newRow("no source path") << QStringList() << none;
    QTest::newRow("empty source path") << QStringList { QString() } << none;
    QTest::newRow("unknown option") << QStringList { "@good", "--quality", "5" } << none;
    QTest::newRow("resize without value") << QStringList { "@good", "--resize" } << none;
    QTest::newRow("resize without height") << QStringList { "@good", "--resize", "200" } << none;
    QTest::newRow("resize to zero") << QStringList { "@good", "--resize", "0x10" } << none;
    QTest::newRow("resize negative") << QStringList { "@good", "--resize", "-4x10" } << none;
    QTest::newRow("resize beyond GIF range")
        << QStringList { "@good", "--resize", "70000x10" } << none;
    QTest::newRow("resize beyond the pixel budget")
        << QStringList { "@good", "--resize", "20000x20000" } << none;
    QTest::newRow("colors without value") << QStringList { "@good", "--colors" } << none;
    QTest::newRow("colors not a number") << QStringList { "@good", "--colors", "12a" } << none;
    QTest::newRow("one colour") << QStringList { "@good", "--colors", "1" } << none;
    QTest::newRow("257 colours") << QStringList { "@good", "--colors", "257" } << none;
    QTest::newRow("delete without frames") << QStringList { "@good", "--delete" } << none;
    QTest::newRow("delete index without #") << QStringList { "@good", "--delete", "3" } << none;
    QTest::newRow("delete index not a number") << QStringList { "@good", "--delete", "#x" } << none;
    QTest::newRow("missing file") << QStringList { "/nonexistent/folder/a.gif" } << none;
    QTest::newRow("folder as source") << QStringList { "@dir" } << none;
    QTest::newRow("empty file") << QStringList { "@file" } << QByteArray("");
    QTest::newRow("PNG named .gif")
        << QStringList { "@file" } << QByteArray::fromHex("89504e470d0a1a0a0000000d49484452");

    const QByteArray good = GifFixtures::encode(numberedFrames(3, {}));
    QTest::newRow("truncated header") << QStringList { "@file" } << good.left(9);
    QTest::newRow("truncated in the last frame's data")
        << QStringList { "@file", "--colors", "16" } << good.left(good.size() - 6);
    QByteArray badRecord = good;
    badRecord[badRecord.size() - 1] = 'Q'; // trailer replaced by an unknown record
    QTest::newRow("unknown record type") << QStringList { "@file" } << badRecord;

    // A 65535 x 65535 frame backed by a few bytes must be refused before anything
    // that size is allocated.
    Gif huge;
    huge.width = huge.height = 65535;
    huge.palette = { kRed, kGreen };
    QByteArray hugeBytes = GifFixtures::encode(numberedFrames(1, {}));
    {
        // Patch the 12 x 8 fixture's screen and frame sizes to the maximum.
        const char screen[] = { '\xff', '\xff', '\xff', '\xff' };
        hugeBytes.replace(6, 4, screen, 4);
        const int descriptor = hugeBytes.indexOf(',');
        QVERIFY(descriptor > 0);
        hugeBytes.replace(descriptor + 5, 4, screen, 4);
    }
    QTest::newRow("65535 x 65535 frame") << QStringList { "@file" } << hugeBytes;

    // 4096 x 4096 canvas with 300 one-pixel frames: tiny file, 5 Gpx to compose.
    Gif bomb;
    bomb.width = bomb.height = 4096;
    bomb.palette = { kRed, kGreen };
    for (int i = 0; i < 300; ++i) {
        Frame frame = GifFixtures::filledFrame(1, 1, quint8(i & 1));
        bomb.frames.append(frame);
    }
    QTest::newRow("frame bomb") << QStringList { "@file" } << GifFixtures::encode(bomb);
}

void tst_GifConverterLibrary::rejectsBadInput()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, fileBytes);

    const QString good = writeGif(QStringLiteral("good.gif"), numberedFrames(3, {}));
    QVERIFY(!good.isEmpty());
    const QString file = TestUtils::writeFile(m_dir.path(), QStringLiteral("input.gif"), fileBytes);
    for (QString &arg : args) {
        if (arg == QLatin1String("@good"))
            arg = good;
        else if (arg == QLatin1String("@file"))
            arg = file;
        else if (arg == QLatin1String("@dir"))
            arg = m_dir.path();
    }
    QVERIFY(convert(args).isEmpty());
    // The same library still converts a good file afterwards.
    QVERIFY(GifFixtures::decode(convert({ good })).ok);
}

void tst_GifConverterLibrary::dropsFramesAndKeepsDuration_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<QVector<int>>("sourceDelays");
    QTest::addColumn<QStringList>("deleted");
    QTest::addColumn<QVector<int>>("shown"); // source frame shown by each output frame
    QTest::addColumn<QVector<int>>("delays");

    QTest::newRow("nothing dropped")
        << 4 << QVector<int> { 10, 20, 30, 40 } << QStringList() << QVector<int> { 0, 1, 2, 3 }
        << QVector<int> { 10, 20, 30, 40 };
    QTest::newRow("every second frame")
        << 6 << QVector<int> { 10, 11, 12, 13, 14, 15 } << QStringList { "#1", "#3" }
        << QVector<int> { 0, 2, 4, 5 } << QVector<int> { 21, 25, 14, 15 };
    QTest::newRow("run of frames")
        << 5 << QVector<int> { 5, 6, 7, 8, 9 } << QStringList { "#1", "#2", "#3" }
        << QVector<int> { 0, 4 } << QVector<int> { 26, 9 };
    QTest::newRow("last frame named")
        << 4 << QVector<int> { 10, 10, 10, 10 } << QStringList { "#1", "#3" }
        << QVector<int> { 0, 2, 3 } << QVector<int> { 20, 10, 10 };
    QTest::newRow("every frame named")
        << 3 << QVector<int> { 7, 8, 9 } << QStringList { "#0", "#1", "#2" } << QVector<int> { 2 }
        << QVector<int> { 24 };
    QTest::newRow("leading frames")
        << 4 << QVector<int> { 3, 4, 5, 6 } << QStringList { "#0", "#1" } << QVector<int> { 2, 3 }
        << QVector<int> { 12, 6 };
    QTest::newRow("unordered and repeated")
        << 5 << QVector<int> { 10, 10, 10, 10, 10 } << QStringList { "#3", "#1", "#3" }
        << QVector<int> { 0, 2, 4 } << QVector<int> { 20, 20, 10 };
    QTest::newRow("index past the end") << 3 << QVector<int> { 10, 20, 30 } << QStringList { "#7" }
                                        << QVector<int> { 0, 1, 2 } << QVector<int> { 10, 20, 30 };
}

void tst_GifConverterLibrary::dropsFramesAndKeepsDuration()
{
    QFETCH(int, frames);
    QFETCH(QVector<int>, sourceDelays);
    QFETCH(QStringList, deleted);
    QFETCH(QVector<int>, shown);
    QFETCH(QVector<int>, delays);

    const Gif gif = numberedFrames(frames, sourceDelays);
    QStringList args { writeGif(QStringLiteral("frames.gif"), gif) };
    if (!deleted.isEmpty())
        args << QStringLiteral("--delete") << deleted;
    const Decoded out = GifFixtures::decode(convert(args));
    QVERIFY(out.ok);
    QCOMPARE(out.frames.size(), shown.size());
    QVector<int> actual;
    for (const QImage &frame : out.frames)
        actual.append(sourceFrameShown(frame, gif));
    QCOMPARE(actual, shown);
    QCOMPARE(out.delays, delays);
    int sourceTotal = 0;
    for (int d : sourceDelays)
        sourceTotal += d;
    QCOMPARE(out.totalDelay(), sourceTotal);
}

void tst_GifConverterLibrary::limitsColours_data()
{
    QTest::addColumn<int>("colours");
    QTest::addColumn<double>("maxMeanError"); // per channel against the source, 0..255

    QTest::newRow("2") << 2 << 80.0;
    QTest::newRow("3") << 3 << 60.0;
    QTest::newRow("16") << 16 << 34.0;
    QTest::newRow("100") << 100 << 12.0;
    QTest::newRow("256") << 256 << 8.0;
}

void tst_GifConverterLibrary::limitsColours()
{
    QFETCH(int, colours);
    QFETCH(double, maxMeanError);

    const Gif gif = gradientAnimation();
    const QByteArray sourceBytes = GifFixtures::encode(gif);
    const Decoded source = GifFixtures::decode(sourceBytes);
    QVERIFY(source.ok);
    QVERIFY(source.visibleColours.size() > 256);
    const QString path
        = TestUtils::writeFile(m_dir.path(), QStringLiteral("gradient.gif"), sourceBytes);

    const Decoded out = GifFixtures::decode(
        convert({ path, QStringLiteral("--colors"), QString::number(colours) }));
    QVERIFY(out.ok);
    QCOMPARE(out.frames.size(), 3);
    QVERIFY2(out.visibleColours.size() <= colours,
        qPrintable(QString::number(out.visibleColours.size())));
    QVERIFY(out.largestColourTable <= colours);
    for (int i = 0; i < 3; ++i) {
        const double error = meanError(out.frames[i], source.frames[i]);
        QVERIFY2(
            error <= maxMeanError, qPrintable(QStringLiteral("frame %1: %2").arg(i).arg(error)));
    }
}

void tst_GifConverterLibrary::composesDisposalBeforeResizing_data()
{
    QTest::addColumn<int>("middleDisposal");
    QTest::addColumn<QString>("resize"); // empty: keep 16 x 16
    // Expected colours of the last frame's quadrants: top-left, top-right,
    // bottom-left, bottom-right; 0 = transparent.
    QTest::addColumn<QVector<QRgb>>("quadrants");

    // Frame 0 paints the canvas red with a white bottom-left quadrant; frame 1 paints
    // the top-left quadrant green; frame 2 paints the bottom-right blue and leaves
    // its top-right transparent, so frame 0 must show through there.
    const QVector<QRgb> cleared { 0, kRed, kWhite, kBlue };
    const QVector<QRgb> restored { kRed, kRed, kWhite, kBlue };
    const QVector<QRgb> kept { kGreen, kRed, kWhite, kBlue };
    QTest::newRow("clear to background, halved") << 2 << "8x8" << cleared;
    QTest::newRow("clear to background, doubled") << 2 << "32x32" << cleared;
    QTest::newRow("clear to background, same size") << 2 << QString() << cleared;
    QTest::newRow("restore previous, halved") << 3 << "8x8" << restored;
    QTest::newRow("restore previous, stretched") << 3 << "40x24" << restored;
    QTest::newRow("keep, halved") << 1 << "8x8" << kept;
}

void tst_GifConverterLibrary::composesDisposalBeforeResizing()
{
    QFETCH(int, middleDisposal);
    QFETCH(QString, resize);
    QFETCH(QVector<QRgb>, quadrants);

    Gif gif;
    gif.width = gif.height = 16;
    gif.palette = { kRed, kGreen, kBlue, kWhite };
    Frame first = GifFixtures::filledFrame(16, 16, 0);
    for (int y = 8; y < 16; ++y)
        for (int x = 0; x < 8; ++x)
            first.indices[y * 16 + x] = 3;
    Frame middle = GifFixtures::filledFrame(8, 8, 1);
    middle.disposal = middleDisposal;
    Frame last;
    last.left = 8;
    last.top = 0;
    last.width = 8;
    last.height = 16;
    last.transparent = 3;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x)
            last.indices.append(y < 8 ? 3 : 2);
    gif.frames = { first, middle, last };
    // The first frame must not be disposed: only the middle one is under test.
    gif.frames[0].disposal = 1;

    QStringList args { writeGif(QStringLiteral("disposal.gif"), gif), QStringLiteral("--colors"),
        QStringLiteral("16") };
    if (!resize.isEmpty())
        args << QStringLiteral("--resize") << resize;
    const Decoded out = GifFixtures::decode(convert(args));
    QVERIFY(out.ok);
    QCOMPARE(out.frames.size(), 3);
    const QImage frame = out.frames.last();
    const int w = frame.width(), h = frame.height();
    // Sample well inside each quadrant, away from the edges a filter may blend.
    const QPoint centres[4] = { { w / 4, h / 4 }, { 3 * w / 4, h / 4 }, { w / 4, 3 * h / 4 },
        { 3 * w / 4, 3 * h / 4 } };
    for (int q = 0; q < 4; ++q) {
        const QRgb actual = frame.pixel(centres[q]);
        const QRgb expected = quadrants[q];
        if (expected == 0)
            QVERIFY2(qAlpha(actual) == 0,
                qPrintable(QStringLiteral("quadrant %1 not transparent").arg(q)));
        else
            QVERIFY2(TestUtils::colourNear(actual, expected, 8),
                qPrintable(QStringLiteral("quadrant %1: %2").arg(q).arg(actual, 8, 16)));
    }
    // Halving 16 x 16 lines every output pixel up with one source quadrant: all pure.
    if (resize == QLatin1String("8x8")) {
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const QRgb expected = quadrants[(y >= 4 ? 2 : 0) + (x >= 4 ? 1 : 0)];
                const QRgb actual = frame.pixel(x, y);
                QVERIFY(expected == 0 ? qAlpha(actual) == 0 : actual == expected);
            }
    }
}

void tst_GifConverterLibrary::resizesToRequestedSize_data()
{
    QTest::addColumn<QString>("resize");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("kept") << QString() << QSize(40, 30);
    QTest::newRow("halved") << "20x15" << QSize(20, 15);
    QTest::newRow("doubled") << "80x60" << QSize(80, 60);
    QTest::newRow("odd factors") << "7x3" << QSize(7, 3);
    QTest::newRow("aspect changed") << "30x40" << QSize(30, 40);
    QTest::newRow("one pixel") << "1x1" << QSize(1, 1);
}

void tst_GifConverterLibrary::resizesToRequestedSize()
{
    QFETCH(QString, resize);
    QFETCH(QSize, expected);

    Gif gif;
    gif.width = 40;
    gif.height = 30;
    gif.palette = { kRed, kGreen, kBlue, kWhite };
    gif.loopCount = 0;
    for (int i = 0; i < 4; ++i) {
        Frame frame = GifFixtures::filledFrame(10, 10, quint8(i));
        frame.left = i * 10;
        frame.top = i * 5;
        gif.frames.append(frame);
    }
    gif.frames.prepend(GifFixtures::filledFrame(40, 30, 3));
    QStringList args { writeGif(QStringLiteral("sizes.gif"), gif) };
    if (!resize.isEmpty())
        args << QStringLiteral("--resize") << resize;
    const Decoded out = GifFixtures::decode(convert(args));
    QVERIFY(out.ok);
    QCOMPARE(QSize(out.width, out.height), expected);
    QCOMPARE(out.frames.size(), 5);
    for (const QRect &rect : out.rects)
        QVERIFY(QRect(QPoint(0, 0), expected).contains(rect));
}

void tst_GifConverterLibrary::keepsLoopCountAndDelays_data()
{
    QTest::addColumn<int>("loopCount");
    QTest::newRow("forever") << 0;
    QTest::newRow("three times") << 3;
    QTest::newRow("largest count") << 65535;
    QTest::newRow("no loop extension") << -1;
}

void tst_GifConverterLibrary::keepsLoopCountAndDelays()
{
    QFETCH(int, loopCount);
    Gif gif = numberedFrames(3, { 0, 65535, 4 });
    gif.loopCount = loopCount;
    const Decoded out = GifFixtures::decode(convert({ writeGif(QStringLiteral("loop.gif"), gif) }));
    QVERIFY(out.ok);
    QCOMPARE(out.loopCount, loopCount);
    QCOMPARE(out.delays, (QVector<int> { 0, 65535, 4 }));
}

void tst_GifConverterLibrary::keepsExactPicturesWhenColoursSuffice_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::newRow("every kind of frame") << GifFixtures::encode(richAnimation());
    Gif overEdge = richAnimation();
    overEdge.frames[3].left = 18; // a 24 x 4 strip, two thirds outside the canvas
    overEdge.frames[4].left = 30; // wholly outside
    QTest::newRow("frames over the edge") << GifFixtures::encode(overEdge);
    for (quint32 seed = 1; seed <= 12; ++seed)
        QTest::newRow(qPrintable(QStringLiteral("random frames %1").arg(seed)))
            << GifFixtures::encode(randomAnimation(seed));
}

void tst_GifConverterLibrary::keepsExactPicturesWhenColoursSuffice()
{
    // With no resize and colours to spare, every displayed frame must come out
    // exactly as the source shows it, whatever rectangles, disposals and
    // transparency the optimiser picks.
    QFETCH(QByteArray, source);
    const Decoded in = GifFixtures::decode(source);
    QVERIFY(in.ok);
    const QString path = TestUtils::writeFile(m_dir.path(), QStringLiteral("exact.gif"), source);
    const Decoded out
        = GifFixtures::decode(convert({ path, QStringLiteral("--colors"), QStringLiteral("256") }));
    QVERIFY(out.ok);
    QCOMPARE(out.frames.size(), in.frames.size());
    QCOMPARE(out.delays, in.delays);
    QCOMPARE(out.loopCount, in.loopCount);
    for (int i = 0; i < in.frames.size(); ++i)
        QVERIFY2(normalised(out.frames[i]) == normalised(in.frames[i]),
            qPrintable(QStringLiteral("frame %1").arg(i)));
}

void tst_GifConverterLibrary::survivesDamagedFiles()
{
    // Truncations at every length step and random byte damage: each attempt must
    // either fail cleanly or give a GIF that decodes. Run under the sanitizers this
    // also proves the reader never touches memory it should not.
    const QByteArray good = GifFixtures::encode(richAnimation());
    QVERIFY(!good.isEmpty());
    QRandomGenerator random(20240611);
    int converted = 0;
    for (int attempt = 0; attempt < 400; ++attempt) {
        QByteArray damaged;
        if (attempt < 100) {
            damaged = good.left(int(qint64(attempt) * good.size() / 100));
        } else {
            damaged = good;
            for (int n = 1 + int(random.bounded(4)); n > 0; --n) {
                // Half of the damage hits the header, screen and palette, where sizes live.
                const int at = random.bounded(2) ? int(random.bounded(40))
                                                 : int(random.bounded(damaged.size()));
                damaged[at] = char(random.bounded(256));
            }
        }
        const QString path
            = TestUtils::writeFile(m_dir.path(), QStringLiteral("damaged.gif"), damaged);
        const QByteArray out = convert(
            { path, QStringLiteral("--resize"), QStringLiteral("12x8"), QStringLiteral("--colors"),
                QStringLiteral("16"), QStringLiteral("--delete"), QStringLiteral("#1") });
        if (out.isEmpty())
            continue;
        ++converted;
        QVERIFY2(
            GifFixtures::decode(out).ok, qPrintable(QStringLiteral("attempt %1").arg(attempt)));
    }
    // Damage to pixel data alone leaves a readable file, so some must have converted.
    QVERIFY(converted > 0);
}

void tst_GifConverterLibrary::encodesOnlyWhatChanges()
{
    // A noisy 64 x 64 picture with a 4 x 4 square moving over it: every frame after
    // the first must cost a small fraction of the first.
    Gif gif;
    gif.width = gif.height = 64;
    for (int i = 0; i < 255; ++i)
        gif.palette.append(qRgb((i * 37) % 256, (i * 91) % 256, (i * 13) % 256));
    gif.palette.append(kWhite);
    Frame background = GifFixtures::filledFrame(64, 64, 0);
    quint32 seed = 12345;
    for (quint8 &index : background.indices) {
        seed = seed * 1103515245u + 12345u;
        index = quint8((seed >> 16) % 255);
    }
    gif.frames.append(background);
    for (int i = 1; i < 12; ++i) {
        Frame frame = background;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                frame.indices[(20 + y) * 64 + i * 4 + x] = 255;
        gif.frames.append(frame);
    }
    const QString path = writeGif(QStringLiteral("moving.gif"), gif);
    const QByteArray single = convert({ path, QStringLiteral("--delete"), "#0", "#1", "#2", "#3",
        "#4", "#5", "#6", "#7", "#8", "#9", "#10" });
    const QByteArray all = convert({ path });
    const Decoded out = GifFixtures::decode(all);
    QVERIFY(out.ok);
    QCOMPARE(out.frames.size(), 12);
    for (int i = 1; i < 12; ++i) {
        QVERIFY2(out.rects[i].width() * out.rects[i].height() <= 8 * 4,
            qPrintable(QStringLiteral("frame %1 rect %2x%3")
                           .arg(i)
                           .arg(out.rects[i].width())
                           .arg(out.rects[i].height())));
        QCOMPARE(out.frames[i].pixel(i * 4 + 1, 21), kWhite);
    }
    QVERIFY(!single.isEmpty());
    QVERIFY2(all.size() < single.size() + 11 * 60,
        qPrintable(QStringLiteral("%1 vs %2").arg(all.size()).arg(single.size())));
}

void tst_GifConverterLibrary::resultsBelongToTheirThread()
{
    const QString a = writeGif(QStringLiteral("threadA.gif"), gradientAnimation());
    const QString b = writeGif(QStringLiteral("threadB.gif"), numberedFrames(9, {}));
    const QStringList argsA { a, QStringLiteral("--colors"), QStringLiteral("32"),
        QStringLiteral("--resize"), QStringLiteral("24x16") };
    const QStringList argsB { b, QStringLiteral("--delete"), QStringLiteral("#2") };
    const QByteArray expectedA = convert(argsA);
    const QByteArray expectedB = convert(argsB);
    QVERIFY(!expectedA.isEmpty());
    QVERIFY(!expectedB.isEmpty());

    // Each thread keeps its result across the other thread's calls and releases,
    // then checks its bytes; a shared result record would be freed under it.
    std::atomic<int> failures { 0 };
    auto worker = [this, &failures](QStringList args, QByteArray expected) {
        QVector<QByteArray> storage { QByteArray() };
        for (const QString &arg : args)
            storage.append(arg.toLocal8Bit());
        QVector<char *> argv;
        for (QByteArray &arg : storage)
            argv.append(arg.data());
        for (int round = 0; round < 15; ++round) {
            const GifConverterResult *result = m_convert(argv.size(), argv.data());
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (!result || result->count != expected.size()
                || QByteArray(reinterpret_cast<const char *>(result->bytes), result->count)
                    != expected)
                ++failures;
            m_release();
        }
    };
    std::thread first(worker, argsA, expectedA);
    std::thread second(worker, argsB, expectedB);
    first.join();
    second.join();
    QCOMPARE(failures.load(), 0);
}

void tst_GifConverterLibrary::releaseWithoutResultIsHarmless()
{
    m_release();
    m_release();
    const QString path = writeGif(QStringLiteral("twice.gif"), numberedFrames(2, {}));
    // Two calls without Release in between: the first result is freed by the second.
    char program[] = "";
    QByteArray local = path.toLocal8Bit();
    char *argv[] = { program, local.data() };
    QVERIFY(m_convert(2, argv)->count > 0);
    const GifConverterResult *second = m_convert(2, argv);
    QVERIFY(second->count > 0);
    QVERIFY(GifFixtures::decode(
        QByteArray(reinterpret_cast<const char *>(second->bytes), second->count))
                .ok);
    m_release();
    QCOMPARE(m_convert(2, argv)->count > 0, true);
    m_release();
    const GifConverterResult *failed = m_convert(1, argv);
    QCOMPARE(failed->count, 0);
    QVERIFY(!failed->bytes);
}

void tst_GifConverterLibrary::survivesUnloading()
{
    // The program unloads the library when its view closes. Palette work leaves
    // OpenMP helper threads behind (possibly still spinning), so the library and
    // what it pulled in must stay mapped: unloading may not pull code from under
    // them. Seen as a crash in a sanitizer run when it did.
    const QString path = writeGif(QStringLiteral("unload.gif"), gradientAnimation());
    QVERIFY(!convert({ path, QStringLiteral("--colors"), QStringLiteral("64") }).isEmpty());
    const QString file = QFileInfo(m_library.fileName()).canonicalFilePath();
    QVERIFY(m_library.unload());
    m_convert = nullptr;
    m_release = nullptr;
    QFile maps(QStringLiteral("/proc/self/maps"));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    QVERIFY2(QString::fromLocal8Bit(maps.readAll()).contains(file), "library unmapped on unload");
    QVERIFY(m_library.load());
    m_convert = reinterpret_cast<GifConverterFunction>(m_library.resolve("GifConverter"));
    m_release = reinterpret_cast<GifReleaseFunction>(m_library.resolve("Release"));
    QVERIFY(m_convert && m_release);
    QVERIFY(!convert({ path, QStringLiteral("--colors"), QStringLiteral("32") }).isEmpty());
}

QTEST_GUILESS_MAIN(tst_GifConverterLibrary)
#include "tst_GifConverterLibrary.moc"
