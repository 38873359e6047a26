#include <zlib.h>

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

#include "CodecFixtures.h"
#include "TestUtils.h"
#include "codec/KImageSvgDecoder.h"
#include "codec/KImageWrapper.h"

namespace {

QByteArray svg(const QByteArray &attributes, const QByteArray &body)
{
    return "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
        + attributes + ">" + body + "</svg>";
}

QByteArray gzipped(const QByteArray &data)
{
    QByteArray out(data.size() + 1024, '\0');
    z_stream stream = {};
    deflateInit2(&stream, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(int(stream.total_out));
    deflateEnd(&stream);
    return out;
}

QByteArray useBomb(int levels)
{
    // Each level draws the previous one twice: 2^levels rectangles.
    QByteArray defs = "<rect id='l0' width='1' height='1'/>";
    for (int i = 1; i <= levels; ++i)
        defs += QStringLiteral("<g id='l%1'><use xlink:href='#l%2'/><use xlink:href='#l%2'/></g>")
                    .arg(i)
                    .arg(i - 1)
                    .toLatin1();
    return svg("viewBox='0 0 10 10'",
        "<defs>" + defs + "</defs><use xlink:href='#l" + QByteArray::number(levels) + "'/>");
}

QByteArray dataUri(const QByteArray &png) { return "data:image/png;base64," + png.toBase64(); }

} // namespace

class tst_KImageSvgDecoder : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void renderSizeIsTheViewBox_data();
    void renderSizeIsTheViewBox();
    void compressedLikePlain();
    void embeddedPicture();
    void refused_data();
    void refused();
    void workBudget_data();
    void workBudget();

private:
    QString write(const QString &name, const QByteArray &bytes)
    {
        return TestUtils::writeFile(m_dir->path(), name, bytes);
    }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_KImageSvgDecoder::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_KImageSvgDecoder::renderSizeIsTheViewBox_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QSize>("size");
    const QByteArray square = "<rect x='0' y='0' width='12' height='24' fill='#ff0000'/>"
                              "<rect x='12' y='0' width='12' height='24' fill='#0000ff'/>";
    QTest::newRow("24 x 24 view box, huge width and height")
        << svg("width='4000' height='3000' viewBox='0 0 24 24'", square) << QSize(24, 24);
    QTest::newRow("view box without width and height")
        << svg("viewBox='0 0 24 24'", square) << QSize(24, 24);
    QTest::newRow("width and height without view box")
        << svg("width='24' height='24'", square) << QSize(24, 24);
}

void tst_KImageSvgDecoder::renderSizeIsTheViewBox()
{
    QFETCH(QByteArray, document);
    QFETCH(QSize, size);
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("a.svg", document)));
    QCOMPARE(wrapper.frameCount(), 1);
    const QImage frame = wrapper.frameAt(0);
    QCOMPARE(frame.size(), size);
    QCOMPARE(frame.format(), QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(frame.pixel(3, 12), qRgb(255, 0, 0));
    QCOMPARE(frame.pixel(20, 12), qRgb(0, 0, 255));
    QVERIFY(wrapper.frameAt(1).isNull());
}

void tst_KImageSvgDecoder::compressedLikePlain()
{
    const QByteArray document
        = svg("viewBox='0 0 30 20'", "<circle cx='15' cy='10' r='8' fill='#00aa00'/>");
    KImageWrapper plain, compressed;
    QVERIFY(plain.load(write("p.svg", document)));
    QVERIFY(compressed.load(write("c.svgz", gzipped(document))));
    QCOMPARE(compressed.frameAt(0), plain.frameAt(0));
    // Compressed content under the plain extension is recognised as well.
    KImageWrapper misnamed;
    QVERIFY(misnamed.load(write("m.svg", gzipped(document))));
    QCOMPARE(misnamed.frameAt(0), plain.frameAt(0));
}

void tst_KImageSvgDecoder::embeddedPicture()
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImage green(4, 4, QImage::Format_RGB32);
    green.fill(Qt::green);
    green.save(&buffer, "png");
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(write("img.svg",
        svg("viewBox='0 0 4 4'",
            "<image width='4' height='4' xlink:href='" + dataUri(png) + "'/>"))));
    QCOMPARE(wrapper.frameAt(0).pixel(2, 2), qRgb(0, 255, 0));
}

void tst_KImageSvgDecoder::refused_data()
{
    QTest::addColumn<QByteArray>("document");
    const QByteArray rect = "<rect width='5' height='5'/>";
    QTest::newRow("view box 0 x 0") << svg("viewBox='0 0 0 0'", rect);
    QTest::newRow("view box over the pixel cap") << svg("viewBox='0 0 16385 12800'", rect);
    QTest::newRow("negative view box") << svg("viewBox='0 0 -10 -10'", rect);
    QTest::newRow("not XML") << QByteArray("this is no svg");
    QTest::newRow("truncated") << svg("viewBox='0 0 10 10'", rect).left(60);
    QTest::newRow("truncated svgz") << gzipped(svg("viewBox='0 0 10 10'", rect)).left(40);
    QTest::newRow("use references multiplying to millions") << useBomb(24);
    QTest::newRow("use referencing its own parent") << svg("viewBox='0 0 10 10'",
        "<g id='loop'><rect width='1' height='1'/>"
        "<use xlink:href='#loop'/></g>");
    QByteArray deep;
    for (int i = 0; i < 400; ++i)
        deep += "<g>";
    deep += rect;
    for (int i = 0; i < 400; ++i)
        deep += "</g>";
    QTest::newRow("nesting deeper than the renderer recurses") << svg("viewBox='0 0 10 10'", deep);
    QTest::newRow("picture read from another file")
        << svg("viewBox='0 0 10 10'", "<image width='10' height='10' xlink:href='/etc/hostname'/>");
    QTest::newRow("embedded picture over the pixel cap") << svg("viewBox='0 0 10 10'",
        "<image width='10' height='10' xlink:href='"
            + dataUri(CodecFixtures::pngClaimingSize(16385, 12800)) + "'/>");
    QTest::newRow("billion laughs") << QByteArray(
        "<?xml version='1.0'?><!DOCTYPE svg [<!ENTITY a 'aaaaaaaaaa'>"
        "<!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'><!ENTITY c '&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;'>"
        "<!ENTITY d '&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;'><!ENTITY e '&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;'>"
        "<!ENTITY f '&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;'><!ENTITY g '&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;'>"
        "]><svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 10 10'><text>&g;</text></svg>");
}

void tst_KImageSvgDecoder::refused()
{
    QFETCH(QByteArray, document);
    KImageWrapper wrapper;
    QVERIFY(!wrapper.load(write("bad.svg", document)));
    QCOMPARE(wrapper.frameCount(), 0);
    QVERIFY(wrapper.frameAt(0).isNull());
}

void tst_KImageSvgDecoder::workBudget_data()
{
    // One path zigzagging across the whole picture costs the renderer time
    // that grows with its segments times the rows they cross: 100,000 of
    // them took a minute of processor time.
    auto zigzag = [](int segments) {
        QByteArray d = "M0 0";
        for (int i = 0; i < segments; ++i)
            d += (i % 2) ? " L3 97" : " L97 3";
        return QByteArray("<path d='" + d + "'/>");
    };
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("reason"); // empty: it loads
    QTest::newRow("path within the budget") << svg("viewBox='0 0 100 100'", zigzag(2000)) << "";
    QTest::newRow("one path over the budget") << svg("viewBox='0 0 100 100'",
        zigzag(10001)) << "too complex to draw: a path of 10,002 segments, the limit is 10,000";
    QByteArray many = "<defs><path id='p' d='" + zigzag(9000).mid(9);
    many.chop(3);
    many += "'/></defs>";
    for (int i = 0; i < 50; ++i)
        many += "<use xlink:href='#p'/>";
    QTest::newRow("a path drawn fifty times") << svg("viewBox='0 0 100 100'",
        many) << "too complex to draw: 459,051 path segments, the limit is 400,000";
}

void tst_KImageSvgDecoder::workBudget()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, reason);
    KImageWrapper wrapper;
    QCOMPARE(wrapper.load(write("budget.svg", document)), reason.isEmpty());
    QVERIFY2(reason.isEmpty() ? wrapper.errorString().isEmpty()
                              : wrapper.errorString().startsWith(reason),
        qPrintable(wrapper.errorString()));
}

QTEST_MAIN(tst_KImageSvgDecoder)
#include "tst_KImageSvgDecoder.moc"
