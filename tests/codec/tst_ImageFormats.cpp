#include <QtTest>

#include "codec/ImageFormats.h"

class tst_ImageFormats : public QObject
{
    Q_OBJECT
private slots:
    void lookup_data();
    void lookup();
    void filters();
    void outputExtensions_data();
    void outputExtensions();
};

void tst_ImageFormats::lookup_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("known");
    QTest::newRow("jpg") << "a.jpg" << 1 << true;
    QTest::newRow("JPG") << "a.JPG" << 1 << true;
    QTest::newRow("Jpg") << "a.Jpg" << 1 << true;
    QTest::newRow("jpeg2 is unknown") << "a.jpeg2" << -1 << false;
    QTest::newRow("no dot: whole name") << "README" << -1 << false;
    QTest::newRow("no dot named like a format") << "png" << 3 << true;
    QTest::newRow("double extension uses the last") << "photo.tar.heic" << 17 << true;
    QTest::newRow("raw dng") << "x.DNG" << 10 << true;
    QTest::newRow("svgz") << "x.svgz" << 13 << true;
    QTest::newRow("dds") << "x.dds" << 22 << true;
    QTest::newRow("pdf is no image") << "x.pdf" << -1 << false;
}

void tst_ImageFormats::lookup()
{
    QFETCH(QString, fileName);
    QFETCH(int, type);
    QFETCH(bool, known);
    const ImageFormats &formats = ImageFormats::global();
    const QString ext = ImageFormats::extensionOf(fileName);
    const ImageFormatRecord *record = formats.formatForExtension(ext);
    QVERIFY(record);
    QCOMPARE(record->type, type);
    QCOMPARE(formats.isKnownExtension(ext), known);
    if (type == -1) {
        QVERIFY(record->extensions.isEmpty());
        QVERIFY(!record->animated);
    }
}

void tst_ImageFormats::filters()
{
    const ImageFormats &formats = ImageFormats::global();
    const QString open = formats.openFilter();
    QVERIFY(open.startsWith("All Pictures(*.bmp;*.dib;*.jpg;*.jpeg;*.jpe;*.jfif;*.gif;"));
    QVERIFY(open.endsWith("DDS File Format(*.dds)"));
    QVERIFY(open.contains(";*.mng;*.jng;*.cut;*.hdr;*.dds);;Bitmap(*.bmp;*.dib);;"));
    QVERIFY(!open.contains(";;;;"));
    QVERIFY(!open.contains(";;("));
    QVERIFY(open.contains(";;MNG File Format(*.mng;*.jng);;Dr. Halo CUT file format(*.cut);;"));
    QCOMPARE(formats.rawOpenFilter(),
        QString("RAW(*.nef;*.crw;*.cr2;*.mrw;*.raf;*.3fr;*.dcr;*.raw;*.dng;*.pef;*.arw;*.sr2;"
                "*.mef;*.orf;*.x3f;*.rw2);;"));
    QCOMPARE(formats.jpegPngFilter(),
        QString("JPEG File Interchange Format(*.jpg;*.jpeg;*.jpe;*.jfif);;"
                "Portable Network Graphics(*.png);;"));
    QVERIFY(formats.record(2)->animated);
    QVERIFY(formats.record(7)->animated);
    QCOMPARE(formats.record(19)->type, -1);
}

void tst_ImageFormats::outputExtensions_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("ext");
    QTest::addColumn<int>("type");
    QTest::newRow("0") << 0 << "jpg" << 1;
    QTest::newRow("1") << 1 << "png" << 3;
    QTest::newRow("2") << 2 << "bmp" << 0;
    QTest::newRow("3") << 3 << "webp" << 7;
    QTest::newRow("4") << 4 << "tif" << 5;
    QTest::newRow("5") << 5 << "" << -1;
    QTest::newRow("-1") << -1 << "" << -1;
}

void tst_ImageFormats::outputExtensions()
{
    QFETCH(int, index);
    QFETCH(QString, ext);
    QFETCH(int, type);
    QCOMPARE(outputExtension(index), ext);
    QCOMPARE(ImageFormats::global().formatForExtension(outputExtension(index))->type, type);
}

QTEST_GUILESS_MAIN(tst_ImageFormats)
#include "tst_ImageFormats.moc"
