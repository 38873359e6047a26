#include <QtTest>

#include "codec/ImageFormats.h"
#include "codec/OutputFormat.h"

class tst_ImageFormats : public QObject
{
    Q_OBJECT
private slots:
    void lookup_data();
    void lookup();
    void filters();
    void outputExtensions_data();
    void outputExtensions();
    void outputFormatsOutOfRange_data();
    void outputFormatsOutOfRange();
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
    QTest::addColumn<int>("index"); // of the interface's format buttons and lists
    QTest::addColumn<OutputFormat>("format");
    QTest::addColumn<QString>("ext");
    QTest::addColumn<int>("type");
    QTest::newRow("JPG") << 0 << OutputFormat::Jpg << "jpg" << 1;
    QTest::newRow("PNG") << 1 << OutputFormat::Png << "png" << 3;
    QTest::newRow("BMP") << 2 << OutputFormat::Bmp << "bmp" << 0;
    QTest::newRow("WEBP") << 3 << OutputFormat::Webp << "webp" << 7;
    QTest::newRow("TIF") << 4 << OutputFormat::Tif << "tif" << 5;
}

void tst_ImageFormats::outputExtensions()
{
    QFETCH(int, index);
    QFETCH(OutputFormat, format);
    QFETCH(QString, ext);
    QFETCH(int, type);
    QCOMPARE(outputFormatAt(index), std::optional<OutputFormat>(format));
    QCOMPARE(outputExtension(format), ext);
    QCOMPARE(ImageFormats::global().formatForExtension(outputExtension(format))->type, type);
    // Names given on the command line, whatever their case.
    QCOMPARE(outputFormatNamed(ext), std::optional<OutputFormat>(format));
    QCOMPARE(
        outputFormatNamed(QLatin1Char(' ') + ext.toUpper()), std::optional<OutputFormat>(format));
}

void tst_ImageFormats::outputFormatsOutOfRange_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("named"); // whether the name is one of the formats
    QTest::newRow("past the last entry, long spelling of JPG") << 5 << "JPEG" << true;
    QTest::newRow("no entry (cleared list), long spelling of TIF") << -1 << "tiff" << true;
    QTest::newRow("readable but never written") << 6 << "gif" << false;
    QTest::newRow("empty") << 100 << "" << false;
    QTest::newRow("extension with its dot") << 7 << ".png" << false;
}

void tst_ImageFormats::outputFormatsOutOfRange()
{
    QFETCH(int, index);
    QFETCH(QString, name);
    QFETCH(bool, named);
    QVERIFY(!outputFormatAt(index).has_value());
    QCOMPARE(outputFormatNamed(name).has_value(), named);
}

QTEST_GUILESS_MAIN(tst_ImageFormats)
#include "tst_ImageFormats.moc"
