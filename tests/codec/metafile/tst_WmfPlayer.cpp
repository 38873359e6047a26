#include <cstdlib>
#include <cstring>
#include <functional>

#include <uwmf.h>

#include <QtTest>

#include "UemfWriter.h"
#include "codec/metafile/WmfPlayer.h"

using UemfWriter::Wmf;

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kGreen = qRgb(0, 255, 0);

using Points = QVector<QPoint>;

U_POINT16 pt(int x, int y) { return point16_set(qint16(x), qint16(y)); }

U_RECT16 rect16(int left, int top, int right, int bottom)
{
    U_RECT16 r;
    r.left = qint16(left);
    r.top = qint16(top);
    r.right = qint16(right);
    r.bottom = qint16(bottom);
    return r;
}

QImage render(const QByteArray &bytes, QSize *size = nullptr)
{
    WmfPlayer player(bytes);
    if (!player.parse())
        return QImage();
    if (size)
        *size = player.naturalSize();
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

} // namespace

class tst_WmfPlayer : public QObject
{
    Q_OBJECT
private slots:
    void mappingModes_data();
    void mappingModes();
    void clipping_data();
    void clipping();
    void rleBitmaps_data();
    void rleBitmaps();
    void budget();
};

void tst_WmfPlayer::mappingModes_data()
{
    // Each picture is about 100 x 100 pixels at 96 dpi (its placeable box in
    // the units of its mapping mode) and fills what is meant to be its
    // top-left quarter, unless the row says otherwise.
    QTest::addColumn<QByteArray>("wmf");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<Points>("red");
    QTest::addColumn<Points>("white");
    const Points topLeft { { 25, 25 }, { 5, 5 }, { 45, 45 } };
    const Points elsewhere { { 75, 25 }, { 25, 75 }, { 75, 75 } };

    struct Fixed
    {
        const char *name;
        int mode;
        int unitsPerInch;
        int hundredPixels; // the box, rounded
        int fiftyPixels;
        QSize size;
    };
    const Fixed fixedModes[] = {
        { "LOMETRIC", U_MM_LOMETRIC, 254, 264, 132, QSize(100, 100) },
        { "HIMETRIC", U_MM_HIMETRIC, 2540, 2646, 1323, QSize(101, 101) },
        { "LOENGLISH", U_MM_LOENGLISH, 100, 104, 52, QSize(100, 100) },
        { "HIENGLISH", U_MM_HIENGLISH, 1000, 1042, 521, QSize(101, 101) },
        { "TWIPS", U_MM_TWIPS, 1440, 1500, 750, QSize(100, 100) },
    };
    for (const Fixed &f : fixedModes) {
        // y grows upwards: the box's top edge is y = 0, its bottom negative.
        Wmf w(QRect(0, 0, f.hundredPixels, -f.hundredPixels), f.unitsPerInch);
        w.add(U_WMRSETMAPMODE_set(quint16(f.mode)));
        w.fill(QRect(0, -f.fiftyPixels, f.fiftyPixels, f.fiftyPixels), kRed);
        QTest::newRow(f.name) << w.finish() << f.size << topLeft << elsewhere;
    }
    {
        Wmf w(QRect(0, 0, 100, 100), 96);
        w.add(U_WMRSETMAPMODE_set(U_MM_TEXT));
        w.add(U_WMRSETWINDOWORG_set(pt(-50, -50)));
        w.fill(QRect(-50, -50, 50, 50), kRed);
        QTest::newRow("TEXT with a window origin")
            << w.finish() << QSize(100, 100) << topLeft << elsewhere;
    }
    {
        // The box at 1440 units per inch, shown at 96 dpi: the caller's
        // window is the box.
        Wmf w(QRect(0, 0, 1500, 1500), 1440);
        w.add(U_WMRSETMAPMODE_set(U_MM_ANISOTROPIC));
        w.fill(QRect(0, 0, 750, 750), kRed);
        QTest::newRow("ANISOTROPIC box") << w.finish() << QSize(100, 100) << topLeft << elsewhere;
    }
    {
        Wmf w(QRect(0, 0, 100, 100), 96);
        w.add(U_WMRSETMAPMODE_set(U_MM_ISOTROPIC));
        w.add(U_WMRSETWINDOWEXT_set(pt(200, 100)));
        w.fill(QRect(0, 0, 100, 100), kRed);
        QTest::newRow("ISOTROPIC") << w.finish() << QSize(100, 100) << topLeft << elsewhere;
    }
    {
        Wmf w(QRect(0, 0, 100, 100), 96);
        w.add(U_WMRSETMAPMODE_set(U_MM_ANISOTROPIC));
        w.add(U_WMRSETWINDOWEXT_set(pt(100, 100)));
        w.add(U_WMRSETVIEWPORTORG_set(pt(50, 50)));
        w.add(U_WMRSETVIEWPORTEXT_set(pt(50, 50)));
        w.fill(QRect(0, 0, 100, 100), kRed);
        QTest::newRow("viewport origin and extent")
            << w.finish() << QSize(100, 100) << Points { { 75, 75 }, { 55, 95 } }
            << Points { { 25, 25 }, { 75, 25 }, { 25, 75 } };
    }
    {
        Wmf w(QRect(0, 0, 100, 100), 96);
        w.add(U_WMRSETVIEWPORTEXT_set(pt(100, 100)));
        w.add(U_WMRSCALEVIEWPORTEXT_set(pt(2, 2), pt(1, 1)));
        w.add(U_WMROFFSETVIEWPORTORG_set(pt(50, 0)));
        w.fill(QRect(0, 0, 100, 100), kRed);
        QTest::newRow("scaled and offset viewport")
            << w.finish() << QSize(100, 100) << Points { { 75, 25 } }
            << Points { { 25, 25 }, { 75, 75 } };
    }
    {
        // y upwards through a negative window extent.
        Wmf w(QRect(0, 0, 100, 100), 96);
        w.add(U_WMRSETWINDOWORG_set(pt(0, 100)));
        w.add(U_WMRSETWINDOWEXT_set(pt(100, -100)));
        w.fill(QRect(0, 50, 50, 50), kRed);
        QTest::newRow("ANISOTROPIC upwards")
            << w.finish() << QSize(100, 100) << topLeft << elsewhere;
    }
}

void tst_WmfPlayer::mappingModes()
{
    QFETCH(QByteArray, wmf);
    QFETCH(QSize, size);
    QFETCH(Points, red);
    QFETCH(Points, white);
    QSize natural;
    const QImage image = render(wmf, &natural);
    QVERIFY(!image.isNull());
    QCOMPARE(natural, size);
    for (const QPoint &p : red)
        QVERIFY2(image.pixel(p) == kRed, qPrintable(describe(image, p)));
    for (const QPoint &p : white)
        QVERIFY2(image.pixel(p) == kWhite, qPrintable(describe(image, p)));
}

void tst_WmfPlayer::clipping_data()
{
    QTest::addColumn<QByteArray>("wmf");
    QTest::addColumn<Points>("red");
    QTest::addColumn<Points>("white");
    auto picture = [](const std::function<void(Wmf &)> &setup) {
        Wmf w(QRect(0, 0, 100, 100), 96);
        setup(w);
        w.fill(QRect(0, 0, 100, 100), kRed);
        return w.finish();
    };
    QTest::newRow("intersect") << picture([](Wmf &w) {
        w.add(U_WMRINTERSECTCLIPRECT_set(rect16(20, 20, 60, 60)));
    }) << Points { { 40, 40 } } << Points { { 10, 10 }, { 80, 80 } };
    QTest::newRow("exclude") << picture(
        [](Wmf &w) { w.add(U_WMREXCLUDECLIPRECT_set(rect16(20, 20, 60, 60))); })
                             << Points { { 10, 10 }, { 80, 80 } } << Points { { 40, 40 } };
    QTest::newRow("offset") << picture([](Wmf &w) {
        w.add(U_WMRINTERSECTCLIPRECT_set(rect16(0, 0, 20, 20)));
        w.add(U_WMROFFSETCLIPRGN_set(pt(50, 50)));
    }) << Points { { 60, 60 } }
                            << Points { { 10, 10 } };
    QTest::newRow("RestoreDC brings the clip back") << picture([](Wmf &w) {
        w.add(U_WMRSAVEDC_set());
        w.add(U_WMRINTERSECTCLIPRECT_set(rect16(0, 0, 20, 20)));
        w.add(U_WMRRESTOREDC_set(-1));
    }) << Points { { 10, 10 }, { 80, 80 } } << Points {};
}

void tst_WmfPlayer::clipping()
{
    QFETCH(QByteArray, wmf);
    QFETCH(Points, red);
    QFETCH(Points, white);
    const QImage image = render(wmf);
    QVERIFY(!image.isNull());
    for (const QPoint &p : red)
        QVERIFY2(image.pixel(p) == kRed, qPrintable(describe(image, p)));
    for (const QPoint &p : white)
        QVERIFY2(image.pixel(p) == kWhite, qPrintable(describe(image, p)));
}

void tst_WmfPlayer::rleBitmaps_data()
{
    QTest::addColumn<QByteArray>("wmf");
    QTest::addColumn<int>("bpp");
    for (int bpp : { 8, 4 }) {
        // 4 x 2: top row blue, blue, green, green; bottom row one green,
        // then the end of the line: the pixels skipped keep the red ground.
        QByteArray data;
        const char green = char(bpp == 8 ? 2 : 0x22);
        data.append(char(1)).append(green);
        data += UemfWriter::rleEndOfLine();
        data += UemfWriter::rleEncode({ { 1, 1, 2, 2 } }, bpp);
        QVector<U_RGBQUAD> colors(3);
        memset(colors.data(), 0, sizeof(U_RGBQUAD) * 3);
        colors[0].Red = colors[0].Green = colors[0].Blue = 255;
        colors[1].Blue = 255;
        colors[2].Green = 255;
        PU_BITMAPINFO bmi = bitmapinfo_set(
            bitmapinfoheader_set(4, 2, 1, quint16(bpp), bpp == 8 ? U_BI_RLE8 : U_BI_RLE4,
                quint32(data.size()), 0, 0, 3, 0),
            colors.data());
        Wmf w(QRect(0, 0, 80, 40), 96);
        w.fill(QRect(0, 0, 80, 40), kRed);
        w.add(U_WMRSTRETCHDIB_set(pt(0, 0), pt(80, 40), pt(0, 0), pt(4, 2), U_DIB_RGB_COLORS,
            U_SRCCOPY, bmi, quint32(data.size()), data.constData()));
        free(bmi);
        QTest::newRow(bpp == 8 ? "RLE8" : "RLE4") << w.finish() << bpp;
    }
}

void tst_WmfPlayer::rleBitmaps()
{
    QFETCH(QByteArray, wmf);
    const QImage image = render(wmf);
    QVERIFY(!image.isNull());
    const QRgb expected[2][4] = { { kBlue, kBlue, kGreen, kGreen }, { kGreen, kRed, kRed, kRed } };
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            const QPoint p(x * 20 + 10, y * 20 + 10);
            QVERIFY2(near(image.pixel(p), expected[y][x]), qPrintable(describe(image, p)));
        }
}

void tst_WmfPlayer::budget()
{
    // Half a million records that draw nothing: a budget for a quarter of
    // them stops the render with its reason; the default does not.
    Wmf w(QRect(0, 0, 10, 10), 96);
    for (int i = 0; i < 500000; ++i)
        w.add(U_WMRSETBKMODE_set(U_TRANSPARENT));
    const QByteArray wmf = w.finish();
    WmfPlayer generous(wmf);
    QVERIFY(generous.parse());
    QVERIFY(!generous.render().isNull());
    WmfPlayer strict(wmf);
    QVERIFY(strict.parse());
    QVERIFY(strict.render(500000 / 4 * 256).isNull());
    QCOMPARE(strict.errorString(), QStringLiteral("the drawing is too complex to render"));
}

QTEST_MAIN(tst_WmfPlayer)
#include "tst_WmfPlayer.moc"
