#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>

#include <uemf.h>

#include <QtTest>

#include "UemfWriter.h"
#include "codec/metafile/EmfPlayer.h"

using UemfWriter::Emf;

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kGreen = qRgb(0, 255, 0);

using Points = QVector<QPoint>;
using Build = std::function<void(Emf &)>;

U_RECTL rectl(int left, int top, int right, int bottom)
{
    return rectl_set(point32_set(left, top), point32_set(right, bottom));
}

// A record libUEMF has no builder for (or refuses to build), as 32-bit words.
char *rawRecord(quint32 type, const QVector<quint32> &words)
{
    const size_t size = 8 + 4 * size_t(words.size());
    auto *record = static_cast<quint32 *>(malloc(size));
    record[0] = type;
    record[1] = quint32(size);
    memcpy(record + 2, words.constData(), 4 * size_t(words.size()));
    return reinterpret_cast<char *>(record);
}

// EXTSELECTCLIPRGN with a region of rectangles (right and bottom exclusive,
// as regions are).
char *clipRegion(quint32 mode, const QVector<QRect> &rects)
{
    QVector<U_RECTL> buffer;
    QRect bounds;
    for (const QRect &r : rects) {
        buffer.append(rectl(r.left(), r.top(), r.left() + r.width(), r.top() + r.height()));
        bounds |= r;
    }
    PU_RGNDATA data
        = rgndata_set(rgndataheader_set(U_NUM_RECTL(buffer.size()),
                          rectl(bounds.left(), bounds.top(), bounds.left() + bounds.width(),
                              bounds.top() + bounds.height())),
            buffer.data());
    char *record = U_EMREXTSELECTCLIPRGN_set(mode, data);
    free(data);
    return record;
}

// A 100 x 100 picture: setup, then the whole picture filled red.
QByteArray filledAfter(const Build &setup)
{
    Emf emf(QSize(100, 100));
    setup(emf);
    emf.fill(QRect(-10, -10, 120, 120), kRed);
    return emf.finish();
}

QImage render(const QByteArray &bytes)
{
    EmfPlayer player(bytes);
    if (!player.parse())
        return QImage();
    return player.render();
}

// Bitmaps are scaled up smoothly, so their pixels blend a little with their
// neighbours even at their centres.
bool near(QRgb a, QRgb b)
{
    const int tolerance = 24;
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance
        && qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

QString describe(const QImage &image, const QPoint &p)
{
    return QStringLiteral("pixel (%1, %2) is %3")
        .arg(p.x())
        .arg(p.y())
        .arg(QColor(image.pixel(p)).name());
}

void checkPixels(const QImage &image, const Points &red, const Points &white, QRgb color = kRed)
{
    QVERIFY(!image.isNull());
    for (const QPoint &p : red)
        QVERIFY2(image.pixel(p) == color, qPrintable(describe(image, p)));
    for (const QPoint &p : white)
        QVERIFY2(image.pixel(p) == kWhite, qPrintable(describe(image, p)));
}

} // namespace

class tst_EmfPlayer : public QObject
{
    Q_OBJECT
private slots:
    void clipping_data();
    void clipping();
    void mappingModes_data();
    void mappingModes();
    void rleBitmaps_data();
    void rleBitmaps();
    void rle4OddLiteral();
    void regionFills_data();
    void regionFills();
    void budget_data();
    void budget();
    void timeLimit();
};

void tst_EmfPlayer::clipping_data()
{
    QTest::addColumn<QByteArray>("emf");
    QTest::addColumn<Points>("red");
    QTest::addColumn<Points>("white");

    QTest::newRow("intersect rectangle")
        << filledAfter([](Emf &e) { e.add(U_EMRINTERSECTCLIPRECT_set(rectl(20, 20, 60, 60))); })
        << Points { { 40, 40 } } << Points { { 10, 10 }, { 80, 80 } };
    QTest::newRow("exclude rectangle")
        << filledAfter([](Emf &e) { e.add(U_EMREXCLUDECLIPRECT_set(rectl(20, 20, 60, 60))); })
        << Points { { 10, 10 }, { 80, 80 } } << Points { { 40, 40 } };
    QTest::newRow("region of two rectangles") << filledAfter([](Emf &e) {
        e.add(clipRegion(U_RGN_COPY, { QRect(0, 0, 30, 30), QRect(70, 70, 30, 30) }));
    }) << Points { { 15, 15 }, { 85, 85 } } << Points { { 50, 50 }, { 85, 15 } };
    QTest::newRow("region AND clip") << filledAfter([](Emf &e) {
        e.add(U_EMRINTERSECTCLIPRECT_set(rectl(0, 0, 50, 100)));
        e.add(clipRegion(U_RGN_AND, { QRect(0, 0, 100, 50) }));
    }) << Points { { 25, 25 } } << Points { { 75, 25 }, { 25, 75 } };
    QTest::newRow("region OR clip") << filledAfter([](Emf &e) {
        e.add(U_EMRINTERSECTCLIPRECT_set(rectl(0, 0, 50, 50)));
        e.add(clipRegion(U_RGN_OR, { QRect(50, 50, 50, 50) }));
    }) << Points { { 25, 25 }, { 75, 75 } }
                                    << Points { { 75, 25 }, { 25, 75 } };
    QTest::newRow("region XOR clip") << filledAfter([](Emf &e) {
        e.add(U_EMRINTERSECTCLIPRECT_set(rectl(0, 0, 60, 60)));
        e.add(clipRegion(U_RGN_XOR, { QRect(40, 40, 60, 60) }));
    }) << Points { { 20, 20 }, { 80, 80 } }
                                     << Points { { 50, 50 }, { 80, 20 } };
    QTest::newRow("region DIFF without clip")
        << filledAfter([](Emf &e) { e.add(clipRegion(U_RGN_DIFF, { QRect(0, 0, 50, 100) })); })
        << Points { { 75, 50 } } << Points { { 25, 50 } };
    QTest::newRow("empty region copy removes the clip") << filledAfter([](Emf &e) {
        e.add(U_EMRINTERSECTCLIPRECT_set(rectl(0, 0, 10, 10)));
        e.add(rawRecord(U_EMR_EXTSELECTCLIPRGN, { 0, U_RGN_COPY }));
    }) << Points { { 50, 50 }, { 5, 5 } } << Points {};
    QTest::newRow("empty region AND is ignored") << filledAfter([](Emf &e) {
        e.add(U_EMRINTERSECTCLIPRECT_set(rectl(0, 0, 10, 10)));
        e.add(rawRecord(U_EMR_EXTSELECTCLIPRGN, { 0, U_RGN_AND }));
    }) << Points { { 5, 5 } } << Points { { 50, 50 } };
    {
        // Regions are in device units: the logical window does not scale
        // them.
        Emf e(QSize(100, 100));
        e.add(U_EMRSETMAPMODE_set(U_MM_ANISOTROPIC));
        e.add(U_EMRSETWINDOWEXTEX_set(sizel_set(1000, 1000)));
        e.add(U_EMRSETVIEWPORTEXTEX_set(sizel_set(100, 100)));
        e.add(clipRegion(U_RGN_COPY, { QRect(0, 0, 50, 50) }));
        e.fill(QRect(0, 0, 1000, 1000), kRed);
        QTest::newRow("region under a mapping")
            << e.finish() << Points { { 25, 25 } } << Points { { 75, 75 }, { 25, 75 } };
    }
    {
        // A disc as one rectangle per scanline, as GDI stores round
        // regions: its outline stays a disc, not its bounding box.
        QVector<QRect> scanlines;
        for (int y = 20; y < 980; ++y) {
            const int half = int(std::sqrt(480.0 * 480.0 - (y + 0.5 - 500) * (y + 0.5 - 500)));
            scanlines.append(QRect(500 - half, y, 2 * half, 1));
        }
        Emf e(QSize(1000, 1000));
        e.add(clipRegion(U_RGN_COPY, scanlines));
        e.fill(QRect(0, 0, 1000, 1000), kRed);
        QTest::newRow("region of 960 scanlines")
            << e.finish() << Points { { 500, 500 }, { 500, 30 }, { 30, 500 } }
            << Points { { 60, 60 }, { 940, 940 }, { 500, 5 } };
    }
    QTest::newRow("clip path") << filledAfter([](Emf &e) {
        e.add(U_EMRBEGINPATH_set());
        e.add(U_EMRELLIPSE_set(rectl(0, 0, 100, 100)));
        e.add(U_EMRENDPATH_set());
        e.add(U_EMRSELECTCLIPPATH_set(U_RGN_COPY));
    }) << Points { { 50, 50 }, { 50, 5 } }
                               << Points { { 3, 3 }, { 96, 96 } };
    QTest::newRow("clip path DIFF") << filledAfter([](Emf &e) {
        e.add(U_EMRBEGINPATH_set());
        e.add(U_EMRELLIPSE_set(rectl(0, 0, 100, 100)));
        e.add(U_EMRENDPATH_set());
        e.add(U_EMRSELECTCLIPPATH_set(U_RGN_DIFF));
    }) << Points { { 3, 3 }, { 96, 96 } }
                                    << Points { { 50, 50 } };
    QTest::newRow("offset clip") << filledAfter([](Emf &e) {
        e.add(U_EMRINTERSECTCLIPRECT_set(rectl(0, 0, 20, 20)));
        e.add(U_EMROFFSETCLIPRGN_set(point32_set(50, 50)));
    }) << Points { { 60, 60 } } << Points { { 10, 10 } };
    QTest::newRow("RestoreDC brings the clip back") << filledAfter([](Emf &e) {
        e.add(U_EMRINTERSECTCLIPRECT_set(rectl(0, 0, 50, 50)));
        e.add(U_EMRSAVEDC_set());
        e.add(U_EMREXCLUDECLIPRECT_set(rectl(0, 0, 25, 25)));
        e.add(U_EMRRESTOREDC_set(-1));
    }) << Points { { 10, 10 }, { 40, 40 } } << Points { { 75, 75 } };
    QTest::newRow("RestoreDC removes a later clip") << filledAfter([](Emf &e) {
        e.add(U_EMRSAVEDC_set());
        e.add(clipRegion(U_RGN_COPY, { QRect(0, 0, 10, 10) }));
        e.add(U_EMRRESTOREDC_set(-1));
    }) << Points { { 5, 5 }, { 75, 75 } } << Points {};
}

void tst_EmfPlayer::clipping()
{
    QFETCH(QByteArray, emf);
    QFETCH(Points, red);
    QFETCH(Points, white);
    checkPixels(render(emf), red, white);
}

void tst_EmfPlayer::mappingModes_data()
{
    // A 100 x 100 pixel picture at 96 dpi; each row draws a square meant to
    // cover the top-left quarter (0..50 pixels) in its own units.
    QTest::addColumn<QByteArray>("emf");
    QTest::addColumn<Points>("red");
    QTest::addColumn<Points>("white");
    const Points topLeft { { 25, 25 }, { 5, 5 }, { 45, 45 } };
    const Points elsewhere { { 75, 25 }, { 25, 75 }, { 75, 75 } };

    auto fixed = [](int mode, int fiftyPixels) {
        Emf e(QSize(100, 100));
        e.add(U_EMRSETMAPMODE_set(mode));
        // y grows upwards in every metric and English mode.
        e.fill(QRect(0, -fiftyPixels, fiftyPixels, fiftyPixels), kRed);
        return e.finish();
    };
    QTest::newRow("LOMETRIC") << fixed(U_MM_LOMETRIC, 132) << topLeft << elsewhere;
    QTest::newRow("HIMETRIC") << fixed(U_MM_HIMETRIC, 1323) << topLeft << elsewhere;
    QTest::newRow("LOENGLISH") << fixed(U_MM_LOENGLISH, 52) << topLeft << elsewhere;
    QTest::newRow("HIENGLISH") << fixed(U_MM_HIENGLISH, 521) << topLeft << elsewhere;
    QTest::newRow("TWIPS") << fixed(U_MM_TWIPS, 750) << topLeft << elsewhere;

    {
        Emf e(QSize(100, 100));
        e.add(U_EMRSETWINDOWORGEX_set(point32_set(-50, -50)));
        e.fill(QRect(-50, -50, 50, 50), kRed);
        QTest::newRow("TEXT with a window origin") << e.finish() << topLeft << elsewhere;
    }
    {
        // 0.5 across, 1.0 down: isotropic takes 0.5 both ways.
        Emf e(QSize(100, 100));
        e.add(U_EMRSETMAPMODE_set(U_MM_ISOTROPIC));
        e.add(U_EMRSETWINDOWEXTEX_set(sizel_set(200, 100)));
        e.add(U_EMRSETVIEWPORTEXTEX_set(sizel_set(100, 100)));
        e.fill(QRect(0, 0, 100, 100), kRed);
        QTest::newRow("ISOTROPIC") << e.finish() << topLeft << elsewhere;
    }
    {
        Emf e(QSize(100, 100));
        e.add(U_EMRSETMAPMODE_set(U_MM_ANISOTROPIC));
        e.add(U_EMRSETWINDOWEXTEX_set(sizel_set(200, 400)));
        e.add(U_EMRSETVIEWPORTEXTEX_set(sizel_set(100, 100)));
        e.fill(QRect(0, 0, 100, 200), kRed);
        QTest::newRow("ANISOTROPIC") << e.finish() << topLeft << elsewhere;
    }
    {
        // Window (100, 100) lands on viewport (50, 50): the bottom-right
        // quarter.
        Emf e(QSize(100, 100));
        e.add(U_EMRSETMAPMODE_set(U_MM_ANISOTROPIC));
        e.add(U_EMRSETWINDOWORGEX_set(point32_set(100, 100)));
        e.add(U_EMRSETWINDOWEXTEX_set(sizel_set(200, 200)));
        e.add(U_EMRSETVIEWPORTORGEX_set(point32_set(50, 50)));
        e.add(U_EMRSETVIEWPORTEXTEX_set(sizel_set(100, 100)));
        e.fill(QRect(100, 100, 100, 100), kRed);
        QTest::newRow("ANISOTROPIC with origins")
            << e.finish() << Points { { 75, 75 } } << Points { { 25, 25 }, { 75, 25 } };
    }
    {
        // A negative window extent turns y upwards.
        Emf e(QSize(100, 100));
        e.add(U_EMRSETMAPMODE_set(U_MM_ANISOTROPIC));
        e.add(U_EMRSETWINDOWEXTEX_set(sizel_set(100, -100)));
        e.add(U_EMRSETVIEWPORTEXTEX_set(sizel_set(100, 100)));
        e.add(U_EMRSETVIEWPORTORGEX_set(point32_set(0, 100)));
        e.fill(QRect(0, 0, 50, 50), kRed);
        QTest::newRow("ANISOTROPIC upwards")
            << e.finish() << Points { { 25, 75 } } << Points { { 25, 25 }, { 75, 75 } };
    }
    {
        // Scaling the viewport extent halves the square.
        Emf e(QSize(100, 100));
        e.add(U_EMRSETMAPMODE_set(U_MM_ANISOTROPIC));
        e.add(U_EMRSETWINDOWEXTEX_set(sizel_set(100, 100)));
        e.add(U_EMRSETVIEWPORTEXTEX_set(sizel_set(100, 100)));
        e.add(U_EMRSCALEVIEWPORTEXTEX_set(1, 2, 1, 2));
        e.fill(QRect(0, 0, 100, 100), kRed);
        QTest::newRow("scaled viewport") << e.finish() << topLeft << elsewhere;
    }
}

void tst_EmfPlayer::mappingModes()
{
    QFETCH(QByteArray, emf);
    QFETCH(Points, red);
    QFETCH(Points, white);
    checkPixels(render(emf), red, white);
}

namespace {

// STRETCHDIBITS of a w x h palette bitmap with compressed pixel data.
char *stretchRle(const QRect &dest, int w, int h, int bpp, const QVector<QRgb> &palette,
    const QByteArray &data, qint32 height = 0)
{
    QVector<U_RGBQUAD> colors;
    for (QRgb c : palette) {
        U_RGBQUAD q;
        q.Blue = quint8(qBlue(c));
        q.Green = quint8(qGreen(c));
        q.Red = quint8(qRed(c));
        q.Reserved = 0;
        colors.append(q);
    }
    const U_BITMAPINFOHEADER header = bitmapinfoheader_set(w, height ? height : h, 1, quint16(bpp),
        bpp == 8 ? U_BI_RLE8 : U_BI_RLE4, quint32(data.size()), 3780, 3780,
        U_NUM_RGBQUAD(colors.size()), 0);
    PU_BITMAPINFO bmi = bitmapinfo_set(header, colors.data());
    QByteArray pixels = data;
    char *record
        = U_EMRSTRETCHDIBITS_set(rectl(dest.left(), dest.top(), dest.right(), dest.bottom()),
            point32_set(dest.left(), dest.top()), point32_set(dest.width(), dest.height()),
            point32_set(0, 0), point32_set(w, h), U_DIB_RGB_COLORS, U_SRCCOPY, bmi,
            quint32(pixels.size()), pixels.data());
    free(bmi);
    return record;
}

// 8 x 4 indices: row 0 blue|green halves, row 1 alternating, rows 2 and 3
// green.
QVector<QVector<quint8>> pattern()
{
    return { { 1, 1, 1, 1, 2, 2, 2, 2 }, { 1, 2, 1, 2, 1, 2, 1, 2 }, { 2, 2, 2, 2, 2, 2, 2, 2 },
        { 2, 2, 2, 2, 2, 2, 2, 2 } };
}

} // namespace

void tst_EmfPlayer::rleBitmaps_data()
{
    // The bitmap is scaled ten times onto a red ground: each bitmap pixel
    // covers 10 x 10 picture pixels, sampled at their centres.
    QTest::addColumn<QByteArray>("emf");
    QTest::addColumn<QVector<QRgb>>("expected"); // bitmap pixel (x, y) at x + 8 * y

    const QVector<QRgb> palette { kWhite, kBlue, kGreen };
    QVector<QRgb> full;
    for (const QVector<quint8> &row : pattern())
        for (quint8 index : row)
            full.append(palette[index]);

    for (int bpp : { 8, 4 }) {
        Emf e(QSize(80, 40));
        e.fill(QRect(0, 0, 80, 40), kRed);
        e.add(stretchRle(
            QRect(0, 0, 80, 40), 8, 4, bpp, palette, UemfWriter::rleEncode(pattern(), bpp)));
        QTest::newRow(bpp == 8 ? "RLE8 runs and literals" : "RLE4 runs and literals")
            << e.finish() << full;
    }

    // Skipped pixels leave the ground showing: bottom row (y = 3) two blue
    // then end of line; row 2 a delta of 3 right and 1 up lands on row 1 at
    // x = 3, one green; end of bitmap leaves row 0 untouched.
    for (int bpp : { 8, 4 }) {
        const char blue = char(bpp == 8 ? 1 : 0x11);
        const char green = char(bpp == 8 ? 2 : 0x22);
        QByteArray data;
        data.append(char(2)).append(blue);
        data += UemfWriter::rleEndOfLine();
        data += UemfWriter::rleDelta(3, 1);
        data.append(char(1)).append(green);
        data += UemfWriter::rleEndOfBitmap();
        Emf e(QSize(80, 40));
        e.fill(QRect(0, 0, 80, 40), kRed);
        e.add(stretchRle(QRect(0, 0, 80, 40), 8, 4, bpp, palette, data));
        QVector<QRgb> expected(32, kRed);
        expected[24] = expected[25] = kBlue;
        expected[8 + 3] = kGreen;
        QTest::newRow(bpp == 8 ? "RLE8 delta and early end" : "RLE4 delta and early end")
            << e.finish() << expected;
    }

    // Hostile runs: longer than the row, a delta far past the top, a
    // literal run cut short by the end of the data. Drawing what fits and
    // nothing else.
    {
        QByteArray data;
        data.append(char(255)).append(char(1)); // 255 blue on an 8-pixel row
        data += UemfWriter::rleDelta(0, 200);
        data.append(char(4)).append(char(2));
        Emf e(QSize(80, 40));
        e.fill(QRect(0, 0, 80, 40), kRed);
        e.add(stretchRle(QRect(0, 0, 80, 40), 8, 4, 8, palette, data));
        QVector<QRgb> expected(32, kRed);
        for (int x = 0; x < 8; ++x)
            expected[24 + x] = kBlue;
        QTest::newRow("RLE8 run past the row, delta past the top") << e.finish() << expected;
    }
    {
        QByteArray data;
        data.append(char(0)).append(char(6)); // a literal of 6 with 2 bytes
        data.append(char(1)).append(char(1));
        Emf e(QSize(80, 40));
        e.fill(QRect(0, 0, 80, 40), kRed);
        e.add(stretchRle(QRect(0, 0, 80, 40), 8, 4, 8, palette, data));
        QTest::newRow("RLE8 literal cut short") << e.finish() << QVector<QRgb>(32, kRed);
    }
    {
        // Compressed bitmaps cannot be top-down: the record draws nothing.
        Emf e(QSize(80, 40));
        e.fill(QRect(0, 0, 80, 40), kRed);
        e.add(stretchRle(
            QRect(0, 0, 80, 40), 8, 4, 8, palette, UemfWriter::rleEncode(pattern(), 8), -4));
        QTest::newRow("RLE8 top-down refused") << e.finish() << QVector<QRgb>(32, kRed);
    }
    {
        // A huge bitmap claimed by a few bytes is not allocated.
        Emf e(QSize(80, 40));
        e.fill(QRect(0, 0, 80, 40), kRed);
        e.add(stretchRle(QRect(0, 0, 80, 40), 20000, 10000, 8, palette,
            UemfWriter::rleDelta(1, 1) + UemfWriter::rleEndOfBitmap()));
        QTest::newRow("RLE8 claiming 200 megapixels") << e.finish() << QVector<QRgb>(32, kRed);
    }
}

void tst_EmfPlayer::rleBitmaps()
{
    QFETCH(QByteArray, emf);
    QFETCH(QVector<QRgb>, expected);
    const QImage image = render(emf);
    QVERIFY(!image.isNull());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            const QPoint p(x * 10 + 5, y * 10 + 5);
            QVERIFY2(near(image.pixel(p), expected[x + 8 * y]),
                qPrintable(QStringLiteral("bitmap pixel (%1, %2): %3")
                               .arg(x)
                               .arg(y)
                               .arg(describe(image, p))));
        }
}

void tst_EmfPlayer::rle4OddLiteral()
{
    // Seven alternating indices: one literal run whose last byte holds a
    // single pixel, padded to 16 bits.
    const QVector<quint8> row { 1, 2, 1, 2, 1, 2, 1 };
    const QByteArray data = UemfWriter::rleEncode({ row }, 4);
    QCOMPARE(data.left(2), QByteArray("\0\7", 2));
    Emf e(QSize(70, 10));
    e.fill(QRect(0, 0, 70, 10), kRed);
    e.add(stretchRle(QRect(0, 0, 70, 10), 7, 1, 4, { kWhite, kBlue, kGreen }, data));
    const QImage image = render(e.finish());
    QVERIFY(!image.isNull());
    for (int x = 0; x < 7; ++x) {
        const QPoint p(x * 10 + 5, 5);
        QVERIFY2(
            near(image.pixel(p), row[x] == 1 ? kBlue : kGreen), qPrintable(describe(image, p)));
    }
}

void tst_EmfPlayer::regionFills_data()
{
    // Regions are filled in logical units: the picture maps 1000 units onto
    // its 100 pixels.
    QTest::addColumn<QByteArray>("emf");
    QTest::addColumn<Points>("red");
    QTest::addColumn<Points>("white");
    auto region = [](const QVector<QRect> &rects) {
        QVector<U_RECTL> buffer;
        for (const QRect &r : rects)
            buffer.append(rectl(r.left(), r.top(), r.left() + r.width(), r.top() + r.height()));
        return rgndata_set(
            rgndataheader_set(U_NUM_RECTL(buffer.size()), rectl(0, 0, 1000, 1000)), buffer.data());
    };
    auto mapped = [](Emf &e) {
        e.add(U_EMRSETMAPMODE_set(U_MM_ANISOTROPIC));
        e.add(U_EMRSETWINDOWEXTEX_set(sizel_set(1000, 1000)));
        e.add(U_EMRSETVIEWPORTEXTEX_set(sizel_set(100, 100)));
    };
    const Points corners { { 15, 15 }, { 85, 85 } };
    const Points middle { { 50, 50 }, { 85, 15 } };
    {
        Emf e(QSize(100, 100));
        mapped(e);
        e.add(U_EMRCREATEBRUSHINDIRECT_set(1, logbrush_set(U_BS_SOLID, U_RGB(255, 0, 0), 0)));
        e.add(U_EMRSELECTOBJECT_set(1));
        PU_RGNDATA data = region({ QRect(0, 0, 300, 300), QRect(700, 700, 300, 300) });
        e.add(U_EMRPAINTRGN_set(data));
        free(data);
        QTest::newRow("PAINTRGN with the selected brush") << e.finish() << corners << middle;
    }
    {
        Emf e(QSize(100, 100));
        mapped(e);
        e.add(U_EMRCREATEBRUSHINDIRECT_set(3, logbrush_set(U_BS_SOLID, U_RGB(255, 0, 0), 0)));
        PU_RGNDATA data = region({ QRect(0, 0, 300, 300), QRect(700, 700, 300, 300) });
        e.add(U_EMRFILLRGN_set(rectl(0, 0, 100, 100), 3, data));
        free(data);
        QTest::newRow("FILLRGN with a brush object") << e.finish() << corners << middle;
    }
    {
        Emf e(QSize(100, 100));
        mapped(e);
        PU_RGNDATA data = region({ QRect(0, 0, 300, 300) });
        e.add(U_EMRFILLRGN_set(rectl(0, 0, 100, 100), 7, data)); // no such object
        free(data);
        QTest::newRow("FILLRGN without its brush") << e.finish() << Points {} << corners;
    }
}

void tst_EmfPlayer::regionFills()
{
    QFETCH(QByteArray, emf);
    QFETCH(Points, red);
    QFETCH(Points, white);
    checkPixels(render(emf), red, white);
}

void tst_EmfPlayer::budget_data()
{
    QTest::addColumn<QByteArray>("emf");
    QTest::addColumn<qint64>("budget");

    // Half a million records that draw nothing: a budget that allows a
    // quarter of them stops the render; the default does not.
    {
        Emf e(QSize(10, 10));
        for (int i = 0; i < 500000; ++i)
            e.add(U_EMRSETBKMODE_set(U_TRANSPARENT));
        QTest::newRow("many records") << e.finish() << qint64(500000 / 4 * 256);
    }
    // One path of 200,000 segments, recorded and then filled.
    {
        Emf e(QSize(100, 100));
        e.add(U_EMRBEGINPATH_set());
        QVector<U_POINT16> zigzag;
        for (int i = 0; i < 200000; ++i)
            zigzag.append(point16_set(qint16(i % 100), qint16((i / 100) % 2 ? 0 : 99)));
        e.add(U_EMRPOLYLINETO16_set(
            rectl(0, 0, 99, 99), U_NUM_POINT16(zigzag.size()), zigzag.data()));
        e.add(U_EMRENDPATH_set());
        e.add(U_EMRFILLPATH_set(rectl(0, 0, 99, 99)));
        QTest::newRow("long path") << e.finish() << qint64(50 * 1000 * 1000);
    }
}

void tst_EmfPlayer::budget()
{
    QFETCH(QByteArray, emf);
    QFETCH(qint64, budget);
    EmfPlayer generous(emf);
    QVERIFY(generous.parse());
    QVERIFY(!generous.render().isNull());
    QVERIFY(generous.errorString().isEmpty());

    EmfPlayer strict(emf);
    QVERIFY(strict.parse());
    QVERIFY(strict.render(budget).isNull());
    QCOMPARE(strict.errorString(), QStringLiteral("the drawing is too complex to render"));
}

void tst_EmfPlayer::timeLimit()
{
    // Whatever the units allow, a render stops at its time limit.
    Emf e(QSize(400, 400));
    for (int i = 0; i < 2000; ++i)
        e.fill(QRect(0, 0, 400, 400), i % 2 ? kRed : kBlue);
    const QByteArray emf = e.finish();
    EmfPlayer player(emf);
    QVERIFY(player.parse());
    QVERIFY(player.render(qint64(1) << 60, 1).isNull());
    QCOMPARE(player.errorString(), QStringLiteral("the drawing is too complex to render"));
}

QTEST_MAIN(tst_EmfPlayer)
#include "tst_EmfPlayer.moc"
