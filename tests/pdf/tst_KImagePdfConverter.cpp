#include <poppler-qt5.h>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <QColorSpace>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "PdfFixtures.h"
#include "TestUtils.h"
#include "pdf/KImagePdfConverter.h"
#include "pdf/PdfImageDocument.h"

namespace {

struct Record
{
    int index;
    BatchResult::Status status;
    QString path;
    QString reason;
};

// Receives the converter's records in this (the test's) thread and keeps
// each row's last word, as the file list does: "processing" records are
// passed over, and a later final record of a row replaces its earlier one.
class RecordCollector : public QObject
{
    Q_OBJECT
public:
    QVector<Record> records;
public slots:
    void onStateChanged(BatchResult result)
    {
        if (result.status == BatchResult::Processing)
            return;
        const Record record { result.index, result.status, result.path, result.reason };
        for (Record &kept : records) {
            if (kept.index == result.index) {
                kept = record;
                return;
            }
        }
        records.append(record);
    }
};

QVector<Record> runConverter(
    int mode, const QStringList &files, const QString &folder, const QString &password = QString())
{
    KImagePdfConverter converter({ mode, password, folder, files });
    RecordCollector collector;
    QObject::connect(&converter, &KImagePdfConverter::stateChanged, &collector,
        &RecordCollector::onStateChanged);
    converter.start();
    if (!converter.wait(120000))
        qFatal("converter did not finish");
    QCoreApplication::sendPostedEvents(&collector);
    return collector.records;
}

// What qpdf reads back from one page of a written PDF.
struct PageImage
{
    QByteArray mediaBox;
    QByteArray content;
    QByteArray filter;
    QByteArray colourSpace; // unparsed
    QByteArray decodeArray; // unparsed, empty when absent
    int width = 0;
    int height = 0;
    int bitsPerComponent = 0;
    QByteArray raw; // stream bytes as stored (after decryption)
    QByteArray samples; // Flate data decoded; empty for DCT
    QByteArray iccProfile;
    QByteArray maskSamples; // soft mask samples, empty without one
};

QByteArray toQt(const std::shared_ptr<Buffer> &buffer)
{
    return QByteArray(reinterpret_cast<const char *>(buffer->getBuffer()), int(buffer->getSize()));
}

QByteArray toQt(const std::string &text) { return QByteArray(text.data(), int(text.size())); }

QVector<PageImage> inspectPdf(const QString &path, const QByteArray &password = {})
{
    QVector<PageImage> result;
    QPDF pdf;
    pdf.processFile(
        QFile::encodeName(path).constData(), password.isEmpty() ? nullptr : password.constData());
    for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        PageImage info;
        QPDFObjectHandle pageObject = page.getObjectHandle();
        info.mediaBox = toQt(pageObject.getKey("/MediaBox").unparse());
        info.content = toQt(pageObject.getKey("/Contents").getStreamData());
        const auto images = page.getImages();
        if (images.size() != 1)
            qFatal("expected one image per page");
        QPDFObjectHandle image = images.begin()->second;
        QPDFObjectHandle dict = image.getDict();
        info.filter = toQt(dict.getKey("/Filter").unparse());
        QPDFObjectHandle space = dict.getKey("/ColorSpace");
        info.colourSpace = toQt(space.unparse());
        if (space.isArray() && space.getArrayNItems() == 2 && space.getArrayItem(1).isStream())
            info.iccProfile = toQt(space.getArrayItem(1).getStreamData());
        if (dict.hasKey("/Decode"))
            info.decodeArray = toQt(dict.getKey("/Decode").unparse());
        info.width = dict.getKey("/Width").getIntValueAsInt();
        info.height = dict.getKey("/Height").getIntValueAsInt();
        info.bitsPerComponent = dict.getKey("/BitsPerComponent").getIntValueAsInt();
        info.raw = toQt(image.getRawStreamData());
        if (info.filter == "/FlateDecode")
            info.samples = toQt(image.getStreamData(qpdf_dl_generalized));
        if (dict.hasKey("/SMask"))
            info.maskSamples = toQt(dict.getKey("/SMask").getStreamData(qpdf_dl_generalized));
        result.append(info);
    }
    return result;
}

// The six numbers before "cm" in a page's content stream.
QVector<double> placementMatrix(const QByteArray &content)
{
    static const QRegularExpression cm(QStringLiteral(
        "q\\s+(\\S+)\\s+(\\S+)\\s+(\\S+)\\s+(\\S+)\\s+(\\S+)\\s+(\\S+)\\s+cm\\s+/Im0\\s+Do\\s+Q"));
    const QRegularExpressionMatch match = cm.match(QString::fromLatin1(content));
    QVector<double> numbers;
    if (!match.hasMatch())
        return numbers;
    for (int i = 1; i <= 6; ++i)
        numbers.append(match.captured(i).toDouble());
    return numbers;
}

QString saveImage(
    const QString &dir, const QString &name, const QImage &image, const char *format = nullptr)
{
    const QString path = QDir(dir).filePath(name);
    if (!image.save(path, format))
        return QString();
    return path;
}

QImage solidImage(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Four distinct quadrants so that every orientation looks different.
QImage fourColourImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 2, QColor(220, 30, 30));
    painter.fillRect(width / 2, 0, width - width / 2, height / 2, QColor(30, 180, 30));
    painter.fillRect(
        width / 2, height / 2, width - width / 2, height - height / 2, QColor(30, 30, 220));
    painter.fillRect(0, height / 2, width / 2, height - height / 2, QColor(230, 200, 20));
    return image;
}

QStringList hiddenEntries(const QString &dir)
{
    return QDir(dir)
        .entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)
        .filter(QRegularExpression(QStringLiteral("^\\.")));
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

} // namespace

class tst_KImagePdfConverter : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void singleOutputNames_data();
    void singleOutputNames();
    void combinedOutput_data();
    void combinedOutput();
    void jpegEmbeddedUnchanged_data();
    void jpegEmbeddedUnchanged();
    void jpegColourSpaces_data();
    void jpegColourSpaces();
    void iccProfileKept_data();
    void iccProfileKept();
    void pageGeometry_data();
    void pageGeometry();
    void exifOrientation_data();
    void exifOrientation();
    void losslessSamples_data();
    void losslessSamples();
    void passwordProtects_data();
    void passwordProtects();
    void ownerPasswordIsRandom();
    void creatorInfo();
    void unloadableImageCombined_data();
    void unloadableImageCombined();
    void unloadableImageSingle();
    void nothingLoadsCombined();
    void unusableOutputFolder_data();
    void unusableOutputFolder();
    void unknownModeDoesNothing();
    void destroyedWhileRunning_data();
    void destroyedWhileRunning();

private:
    QTemporaryDir m_inputs;
    QString m_jpeg; // 160 x 120 RGB photo-like JPEG
    QString m_png;
};

void tst_KImagePdfConverter::initTestCase()
{
    QVERIFY(m_inputs.isValid());
    QImage gradient(160, 120, QImage::Format_RGB32);
    for (int y = 0; y < gradient.height(); ++y)
        for (int x = 0; x < gradient.width(); ++x)
            gradient.setPixel(x, y, qRgb(x, y * 2, (x + y) % 256));
    m_jpeg = TestUtils::writeFile(
        m_inputs.path(), QStringLiteral("photo.jpg"), PdfFixtures::jpegBytes(gradient));
    m_png = saveImage(m_inputs.path(), QStringLiteral("drawing.png"), fourColourImage(64, 48));
    QVERIFY(!m_jpeg.isEmpty());
    QVERIFY(!m_png.isEmpty());
}

void tst_KImagePdfConverter::singleOutputNames_data()
{
    QTest::addColumn<bool>("aPdfExists");
    QTest::addColumn<QStringList>("expectedNames");
    QTest::newRow("fresh folder") << false << QStringList { "a.pdf", "a(1).pdf" };
    QTest::newRow("a.pdf already there") << true << QStringList { "a(1).pdf", "a(2).pdf" };
}

void tst_KImagePdfConverter::singleOutputNames()
{
    QFETCH(bool, aPdfExists);
    QFETCH(QStringList, expectedNames);

    QTemporaryDir in, out;
    const QString jpg = TestUtils::writeFile(in.path(), QStringLiteral("a.jpg"), readAll(m_jpeg));
    const QString png = saveImage(in.path(), QStringLiteral("a.png"), fourColourImage(40, 30));
    if (aPdfExists)
        TestUtils::writeFile(out.path(), QStringLiteral("a.pdf"), "keep me");

    const QVector<Record> records = runConverter(0, { jpg, png }, out.path());
    QCOMPARE(records.size(), 2);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(records[i].index, i);
        QCOMPARE(records[i].status, BatchResult::Succeeded);
        QCOMPARE(records[i].path, QDir(out.path()).filePath(expectedNames[i]));
        const auto document = PdfFixtures::openPdf(records[i].path);
        QVERIFY(document);
        QCOMPARE(document->numPages(), 1);
    }
    QCOMPARE(inspectPdf(records[0].path).first().filter, QByteArray("/DCTDecode"));
    QCOMPARE(inspectPdf(records[1].path).first().filter, QByteArray("/FlateDecode"));
    if (aPdfExists)
        QCOMPARE(readAll(QDir(out.path()).filePath("a.pdf")), QByteArray("keep me"));
    QVERIFY(hiddenEntries(out.path()).isEmpty());
}

void tst_KImagePdfConverter::combinedOutput_data()
{
    QTest::addColumn<bool>("xPdfExists");
    QTest::addColumn<QString>("expectedName");
    QTest::newRow("fresh folder") << false << "x.pdf";
    QTest::newRow("x.pdf already there") << true << "x(1).pdf";
}

void tst_KImagePdfConverter::combinedOutput()
{
    QFETCH(bool, xPdfExists);
    QFETCH(QString, expectedName);

    QTemporaryDir in, out;
    const QString png = saveImage(in.path(), QStringLiteral("x.png"), fourColourImage(40, 30));
    const QString jpg = TestUtils::writeFile(in.path(), QStringLiteral("y.jpg"), readAll(m_jpeg));
    if (xPdfExists)
        TestUtils::writeFile(out.path(), QStringLiteral("x.pdf"), "keep me");

    const QVector<Record> records = runConverter(1, { png, jpg }, out.path());
    const QString expected = QDir(out.path()).filePath(expectedName);
    QCOMPARE(records.size(), 2);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(records[i].index, i);
        QCOMPARE(records[i].status, BatchResult::Succeeded);
        QCOMPARE(records[i].path, expected);
    }
    const QVector<PageImage> pages = inspectPdf(expected);
    QCOMPARE(pages.size(), 2);
    QCOMPARE(pages[0].filter, QByteArray("/FlateDecode")); // list order: x.png first
    QCOMPARE(pages[1].filter, QByteArray("/DCTDecode"));
    QCOMPARE(TestUtils::fileNames(out.path()).size(), xPdfExists ? 2 : 1);
    if (xPdfExists)
        QCOMPARE(readAll(QDir(out.path()).filePath("x.pdf")), QByteArray("keep me"));
}

void tst_KImagePdfConverter::jpegEmbeddedUnchanged_data()
{
    QTest::addColumn<QByteArray>("jpeg");
    QTest::addColumn<int>("mode");

    QImage photo(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb((x * 7) % 256, (y * 3) % 256, (x * y) % 256));
    const QByteArray baseline = PdfFixtures::jpegBytes(photo, 85);

    QByteArray progressive;
    {
        QBuffer buffer(&progressive);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpg");
        writer.setProgressiveScanWrite(true);
        writer.write(photo);
    }
    QTest::newRow("baseline, single output") << baseline << 0;
    QTest::newRow("baseline, combined output") << baseline << 1;
    QTest::newRow("progressive") << progressive << 0;
    QTest::newRow("bytes after the end marker") << baseline + QByteArray(100, 'x') << 0;
    QTest::newRow("named .png but a JPEG inside") << baseline << 0;
}

void tst_KImagePdfConverter::jpegEmbeddedUnchanged()
{
    QFETCH(QByteArray, jpeg);
    QFETCH(int, mode);

    QTemporaryDir in, out;
    const bool misnamed = QByteArray(QTest::currentDataTag()).contains(".png");
    const QString file = TestUtils::writeFile(in.path(), misnamed ? "p.png" : "p.jpg", jpeg);
    const QVector<Record> records = runConverter(mode, { file }, out.path());
    QCOMPARE(records.size(), 1);
    QCOMPARE(records[0].status, BatchResult::Succeeded);

    // The whole file appears byte for byte inside the PDF.
    QVERIFY(readAll(records[0].path).contains(jpeg));
    const QVector<PageImage> pages = inspectPdf(records[0].path);
    QCOMPARE(pages.size(), 1);
    QCOMPARE(pages[0].filter, QByteArray("/DCTDecode"));
    QCOMPARE(pages[0].raw, jpeg);
    QCOMPARE(pages[0].width, 300);
    QCOMPARE(pages[0].height, 200);
}

void tst_KImagePdfConverter::jpegColourSpaces_data()
{
    QTest::addColumn<QByteArray>("jpeg");
    QTest::addColumn<QByteArray>("colourSpace");
    QTest::addColumn<QByteArray>("decodeArray");
    QTest::addColumn<QColor>("topColour");
    QTest::addColumn<QColor>("bottomColour");

    QImage gray(80, 80, QImage::Format_Grayscale8);
    gray.fill(0);
    for (int y = 40; y < 80; ++y)
        memset(gray.scanLine(y), 255, 80);
    QImage rgb(80, 80, QImage::Format_RGB32);
    rgb.fill(QColor(200, 20, 20));
    for (int y = 40; y < 80; ++y)
        for (int x = 0; x < 80; ++x)
            rgb.setPixel(x, y, qRgb(20, 20, 200));

    QTest::newRow("gray") << PdfFixtures::jpegBytes(gray, 95) << QByteArray("/DeviceGray")
                          << QByteArray() << QColor(0, 0, 0) << QColor(255, 255, 255);
    QTest::newRow("RGB") << PdfFixtures::jpegBytes(rgb, 95) << QByteArray("/DeviceRGB")
                         << QByteArray() << QColor(200, 20, 20) << QColor(20, 20, 200);
    // Without the inverted decode array the cyan half would come out white
    // and the no-ink half black. Cyan ink shows as about #00acef.
    QTest::newRow("Adobe CMYK") << PdfFixtures::invertedCmykJpeg(80, 80)
                                << QByteArray("/DeviceCMYK") << QByteArray("[ 1 0 1 0 1 0 1 0 ]")
                                << QColor(0, 172, 239) << QColor(255, 255, 255);
}

void tst_KImagePdfConverter::jpegColourSpaces()
{
    QFETCH(QByteArray, jpeg);
    QFETCH(QByteArray, colourSpace);
    QFETCH(QByteArray, decodeArray);
    QFETCH(QColor, topColour);
    QFETCH(QColor, bottomColour);

    QTemporaryDir in, out;
    const QString file = TestUtils::writeFile(in.path(), "c.jpg", jpeg);
    const QVector<Record> records = runConverter(0, { file }, out.path());
    QCOMPARE(records.size(), 1);
    QCOMPARE(records[0].status, BatchResult::Succeeded);
    const PageImage page = inspectPdf(records[0].path).first();
    QCOMPARE(page.colourSpace, colourSpace);
    QCOMPARE(page.decodeArray, decodeArray);
    QCOMPARE(page.raw, jpeg);

    // 80 px at 96 dpi = 60 pt, centred: x 267.5..327.5, y from the top 391..451.
    const QImage shown = PdfFixtures::renderPdfPage(records[0].path, 0, 72);
    QVERIFY(!shown.isNull());
    const QRgb top = shown.pixel(297, 405);
    const QRgb bottom = shown.pixel(297, 437);
    // CMYK to RGB goes through poppler's own conversion; loose tolerance.
    QVERIFY2(TestUtils::colourNear(top, topColour.rgb(), 60),
        qPrintable(QColor(top).name() + " vs " + topColour.name()));
    QVERIFY2(TestUtils::colourNear(bottom, bottomColour.rgb(), 60),
        qPrintable(QColor(bottom).name() + " vs " + bottomColour.name()));
}

void tst_KImagePdfConverter::iccProfileKept_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("JPEG with a profile in two chunks") << "jpg";
    QTest::newRow("PNG with a profile") << "png";
}

void tst_KImagePdfConverter::iccProfileKept()
{
    QFETCH(QString, kind);
    QTemporaryDir in, out;
    const QByteArray profile = QColorSpace(QColorSpace::DisplayP3).iccProfile();
    QVERIFY(profile.size() > 128);

    QImage image = fourColourImage(40, 30);
    QString file;
    QByteArray expectedProfile = profile;
    if (kind == "jpg") {
        file = TestUtils::writeFile(in.path(), "icc.jpg",
            PdfFixtures::withIccProfile(PdfFixtures::jpegBytes(image), profile));
    } else {
        image.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
        file = saveImage(in.path(), "icc.png", image);
        expectedProfile = QImageReader(file).read().colorSpace().iccProfile();
        QVERIFY(!expectedProfile.isEmpty());
    }
    const QVector<Record> records = runConverter(0, { file }, out.path());
    QCOMPARE(records.size(), 1);
    QCOMPARE(records[0].status, BatchResult::Succeeded);
    const PageImage page = inspectPdf(records[0].path).first();
    QVERIFY2(page.colourSpace.startsWith("[ /ICCBased"), page.colourSpace.constData());
    QCOMPARE(page.iccProfile, expectedProfile);
}

void tst_KImagePdfConverter::pageGeometry_data()
{
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<QRectF>("area"); // PDF points, y upwards

    // Natural size at 96 dpi when it fits: pixels x 0.75 points.
    QTest::newRow("small, natural size") << QSize(200, 100) << QRectF(222.5, 383.5, 150, 75);
    QTest::newRow("just fits") << QSize(713, 1016) << QRectF(30.125, 40, 534.75, 762);
    // Too large: scaled down keeping the aspect ratio, centred.
    QTest::newRow("wide, limited by width")
        << QSize(4000, 1000) << QRectF(30, 354.125, 535, 133.75);
    QTest::newRow("tall, limited by height") << QSize(1000, 4000) << QRectF(202.25, 40, 190.5, 762);
    QTest::newRow("one pixel") << QSize(1, 1) << QRectF(297.125, 420.625, 0.75, 0.75);
}

void tst_KImagePdfConverter::pageGeometry()
{
    QFETCH(QSize, pixels);
    QFETCH(QRectF, area);

    QTemporaryDir in, out;
    const QString file = saveImage(
        in.path(), "g.png", solidImage(pixels.width(), pixels.height(), QColor(20, 40, 160)));
    const QVector<Record> records = runConverter(0, { file }, out.path());
    QCOMPARE(records.size(), 1);
    QCOMPARE(records[0].status, BatchResult::Succeeded);

    const PageImage page = inspectPdf(records[0].path).first();
    QCOMPARE(page.mediaBox, QByteArray("[ 0 0 595 842 ]"));
    const QVector<double> m = placementMatrix(page.content);
    QCOMPARE(m.size(), 6);
    QVERIFY(qAbs(m[0] - area.width()) < 0.01);
    QCOMPARE(m[1], 0.0);
    QCOMPARE(m[2], 0.0);
    QVERIFY(qAbs(m[3] - area.height()) < 0.01);
    QVERIFY(qAbs(m[4] - area.x()) < 0.01);
    QVERIFY(qAbs(m[5] - area.y()) < 0.01);

    // Seen by a reader: the coloured pixels lie inside the 535 x 762 box at (30, 40).
    if (area.width() < 2)
        return;
    const QImage shown = PdfFixtures::renderPdfPage(records[0].path, 0, 72);
    QCOMPARE(shown.size(), QSize(595, 842));
    QRect painted;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (qBlue(shown.pixel(x, y)) > 100 && qRed(shown.pixel(x, y)) < 100)
                painted |= QRect(x, y, 1, 1);
    const QRect expected(qRound(area.x()), qRound(842 - area.y() - area.height()),
        qRound(area.width()), qRound(area.height()));
    QVERIFY2(qAbs(painted.left() - expected.left()) <= 1
            && qAbs(painted.top() - expected.top()) <= 1
            && qAbs(painted.right() - expected.right()) <= 1
            && qAbs(painted.bottom() - expected.bottom()) <= 1,
        qPrintable(QStringLiteral("painted %1,%2 %3x%4")
                       .arg(painted.x())
                       .arg(painted.y())
                       .arg(painted.width())
                       .arg(painted.height())));
    // One pixel of slack for antialiased edges on fractional coordinates.
    QVERIFY(QRect(30, 842 - 40 - 762, 535, 762).adjusted(-1, -1, 1, 1).contains(painted));
}

void tst_KImagePdfConverter::exifOrientation_data()
{
    QTest::addColumn<int>("orientation");
    for (int o = 1; o <= 8; ++o)
        QTest::addRow("orientation %d", o) << o;
}

// The page must show what a viewer honouring the EXIF tag shows; Qt's reader
// with auto-transform is the oracle.
void tst_KImagePdfConverter::exifOrientation()
{
    QFETCH(int, orientation);
    QTemporaryDir in, out;
    const QByteArray jpeg = PdfFixtures::withExifOrientation(
        PdfFixtures::jpegBytes(fourColourImage(120, 80), 95), orientation);
    const QString file = TestUtils::writeFile(in.path(), "o.jpg", jpeg);
    QImageReader oracleReader(file);
    oracleReader.setAutoTransform(true);
    const QImage upright = oracleReader.read();
    QCOMPARE(upright.size(), orientation >= 5 ? QSize(80, 120) : QSize(120, 80));

    const QVector<Record> records = runConverter(0, { file }, out.path());
    QCOMPARE(records.size(), 1);
    QCOMPARE(records[0].status, BatchResult::Succeeded);
    QCOMPARE(inspectPdf(records[0].path).first().raw, jpeg); // not re-encoded

    // Rendered at 96 dpi, one page pixel per image pixel.
    const QImage shown = PdfFixtures::renderPdfPage(records[0].path, 0, 96);
    const double scale = 96.0 / 72.0;
    const QSizeF areaPoints(upright.width() * 0.75, upright.height() * 0.75);
    const QPointF topLeft((30 + (535 - areaPoints.width()) / 2) * scale,
        (842 - 40 - 762 + (762 - areaPoints.height()) / 2) * scale);
    for (const QPointF &relative :
        { QPointF(0.25, 0.25), QPointF(0.75, 0.25), QPointF(0.25, 0.75), QPointF(0.75, 0.75) }) {
        const QPoint inImage(
            int(relative.x() * upright.width()), int(relative.y() * upright.height()));
        const QPoint onPage = (topLeft + QPointF(inImage)).toPoint();
        const QRgb want = upright.pixel(inImage);
        const QRgb got = shown.pixel(onPage);
        QVERIFY2(TestUtils::colourNear(got, want, 40),
            qPrintable(QStringLiteral("at %1,%2: %3 vs %4")
                           .arg(relative.x())
                           .arg(relative.y())
                           .arg(QColor(got).name(), QColor(want).name())));
    }
}

void tst_KImagePdfConverter::losslessSamples_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QByteArray>("colourSpace");
    QTest::addColumn<int>("bitsPerComponent");

    QImage noisy(37, 23, QImage::Format_RGB32);
    for (int y = 0; y < noisy.height(); ++y)
        for (int x = 0; x < noisy.width(); ++x)
            noisy.setPixel(
                x, y, qRgb((x * 97 + y * 13) % 256, (x * y * 31) % 256, (x ^ y) * 5 % 256));
    QImage ramp(33, 9, QImage::Format_Grayscale8);
    for (int y = 0; y < ramp.height(); ++y)
        for (int x = 0; x < ramp.width(); ++x)
            ramp.scanLine(y)[x] = uchar(x * 7 + y);
    QImage scan(21, 7, QImage::Format_RGB32); // width not a multiple of 8
    for (int y = 0; y < scan.height(); ++y)
        for (int x = 0; x < scan.width(); ++x)
            scan.setPixel(x, y, (x + y) % 3 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    QImage alpha = TestUtils::halfTransparentImage(30, 10);
    for (int x = 0; x < 30; ++x)
        alpha.setPixel(x, 5, qRgba(10, 200, 30, x * 8));

    QTest::newRow("RGB noise") << noisy << QByteArray("/DeviceRGB") << 8;
    QTest::newRow("gray ramp") << ramp << QByteArray("/DeviceGray") << 8;
    QTest::newRow("black and white scan") << scan << QByteArray("/DeviceGray") << 1;
    QTest::newRow("partly transparent") << alpha << QByteArray("/DeviceRGB") << 8;
}

void tst_KImagePdfConverter::losslessSamples()
{
    QFETCH(QImage, image);
    QFETCH(QByteArray, colourSpace);
    QFETCH(int, bitsPerComponent);

    QTemporaryDir in, out;
    const QString file = saveImage(in.path(), "l.png", image);
    const QVector<Record> records = runConverter(0, { file }, out.path());
    QCOMPARE(records.size(), 1);
    QCOMPARE(records[0].status, BatchResult::Succeeded);
    const PageImage page = inspectPdf(records[0].path).first();
    QCOMPARE(page.filter, QByteArray("/FlateDecode"));
    QCOMPARE(page.colourSpace, colourSpace);
    QCOMPARE(page.bitsPerComponent, bitsPerComponent);
    QCOMPARE(page.width, image.width());
    QCOMPARE(page.height, image.height());

    const QImage source = QImageReader(file).read().convertToFormat(QImage::Format_ARGB32);
    if (bitsPerComponent == 1) {
        QByteArray expected;
        for (int y = 0; y < source.height(); ++y) {
            uchar bits = 0;
            for (int x = 0; x < source.width(); ++x) {
                if (qRed(source.pixel(x, y)))
                    bits |= uchar(0x80 >> (x % 8));
                if (x % 8 == 7 || x == source.width() - 1) {
                    expected.append(char(bits));
                    bits = 0;
                }
            }
        }
        QCOMPARE(page.samples, expected);
        QVERIFY(page.maskSamples.isEmpty());
        return;
    }

    // Opaque pixels exactly; the alpha plane exactly; where partly
    // transparent, the colour as it shows (decoders hand over premultiplied
    // pixels, so the stored colour is only as exact as colour x alpha).
    const int channels = colourSpace == "/DeviceGray" ? 1 : 3;
    QCOMPARE(page.samples.size(), source.width() * source.height() * channels);
    bool anyTransparent = false;
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            const QRgb want = source.pixel(x, y);
            const int at = y * source.width() + x;
            const auto *got
                = reinterpret_cast<const uchar *>(page.samples.constData()) + at * channels;
            const int alpha = qAlpha(want);
            anyTransparent |= alpha != 255;
            if (alpha != 255)
                QCOMPARE(int(uchar(page.maskSamples.at(at))), alpha);
            const int wanted[3] = { qRed(want), qGreen(want), qBlue(want) };
            for (int c = 0; c < channels; ++c) {
                if (alpha == 255)
                    QCOMPARE(int(got[c]), wanted[c]);
                else
                    QVERIFY(qAbs(got[c] * alpha / 255 - wanted[c] * alpha / 255) <= 1);
            }
        }
    }
    QCOMPARE(page.maskSamples.isEmpty(), !anyTransparent);
}

void tst_KImagePdfConverter::passwordProtects_data()
{
    QTest::addColumn<QString>("password");
    QTest::newRow("plain") << "s3cret";
    QTest::newRow("blank inside") << "two words";
    QTest::newRow("braces and option syntax") << "} masterpassword={x";
    QTest::newRow("non-ASCII") << QString::fromUtf8("p\xc3\xa4ss\xe2\x82\xac");
}

void tst_KImagePdfConverter::passwordProtects()
{
    QFETCH(QString, password);
    QTemporaryDir out;
    const QVector<Record> records = runConverter(1, { m_jpeg, m_png }, out.path(), password);
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[1].status, BatchResult::Succeeded);
    const QString pdf = records[0].path;

    for (const QByteArray &wrong :
        { QByteArray(), QByteArray("closedvaults"), QByteArray("s3cret!"), QByteArray("x") }) {
        const auto locked = PdfFixtures::openPdf(pdf, wrong);
        QVERIFY2(!locked || locked->isLocked(), wrong.constData());
    }
    const QByteArray right = password.toUtf8();
    const auto open = PdfFixtures::openPdf(pdf, right);
    QVERIFY(open);
    QVERIFY(!open->isLocked());
    QCOMPARE(open->numPages(), 2);
    QCOMPARE(open->info(QStringLiteral("Creator")), QStringLiteral("PDF Converter"));
    QVERIFY(!PdfFixtures::renderPdfPage(pdf, 1, 36, right).isNull());

    // AES-256 (revision 6); the JPEG is still the same bytes once decrypted.
    QPDF check;
    check.processFile(QFile::encodeName(pdf).constData(), right.constData());
    int revision = 0, permissions = 0;
    QVERIFY(check.isEncrypted(revision, permissions));
    QCOMPARE(revision, 6);
    QCOMPARE(inspectPdf(pdf, right).first().raw, readAll(m_jpeg));
    // ... and not readable as plain bytes in the file.
    QVERIFY(!readAll(pdf).contains(readAll(m_jpeg).mid(200, 64)));
}

void tst_KImagePdfConverter::ownerPasswordIsRandom()
{
    QSet<QByteArray> seen;
    for (int i = 0; i < 200; ++i) {
        const QByteArray owner = PdfImageDocument::randomOwnerPassword();
        QCOMPARE(owner.size(), 64); // 256 bits as hex
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{64}$"))
                    .match(QString::fromLatin1(owner))
                    .hasMatch());
        seen.insert(owner);
    }
    QCOMPARE(seen.size(), 200);
}

void tst_KImagePdfConverter::creatorInfo()
{
    QTemporaryDir out;
    const QVector<Record> records = runConverter(0, { m_png }, out.path());
    QCOMPARE(records.size(), 1);
    const auto document = PdfFixtures::openPdf(records[0].path);
    QVERIFY(document);
    QCOMPARE(document->info(QStringLiteral("Creator")), QStringLiteral("PDF Converter"));
}

void tst_KImagePdfConverter::unloadableImageCombined_data()
{
    QTest::addColumn<int>("badRow");
    QTest::newRow("bad first") << 0;
    QTest::newRow("bad in the middle") << 1;
    QTest::newRow("bad last") << 2;
}

void tst_KImagePdfConverter::unloadableImageCombined()
{
    QFETCH(int, badRow);
    QTemporaryDir in, out;
    QStringList files { m_jpeg, m_png, m_jpeg };
    files[badRow] = TestUtils::writeFile(in.path(), "broken.png", "not an image at all");

    const QVector<Record> records = runConverter(1, files, out.path());
    QCOMPARE(records.size(), 3);
    // Named after the first image that went in, not after one that failed.
    const QString expected = QDir(out.path()).filePath(badRow == 0 ? "drawing.pdf" : "photo.pdf");
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(records[i].index, i); // in row order: the last row's record ends the run
        QCOMPARE(
            records[i].status, int(i == badRow ? BatchResult::Failed : BatchResult::Succeeded));
        QCOMPARE(records[i].path, expected);
    }
    QCOMPARE(inspectPdf(expected).size(), 2);
    QCOMPARE(TestUtils::fileNames(out.path()), QStringList { QFileInfo(expected).fileName() });
}

void tst_KImagePdfConverter::unloadableImageSingle()
{
    QTemporaryDir in, out;
    const QByteArray jpeg = readAll(m_jpeg);
    const QString garbage = TestUtils::writeFile(in.path(), "garbage.png", "not an image at all");
    const QString truncated
        = TestUtils::writeFile(in.path(), "truncated.jpg", jpeg.left(jpeg.size() / 2));
    const QString empty = TestUtils::writeFile(in.path(), "empty.jpg", QByteArray());
    const QString missing = QDir(in.path()).filePath("missing.png");

    const QVector<Record> records
        = runConverter(0, { garbage, truncated, empty, missing, m_png }, out.path());
    QCOMPARE(records.size(), 5);
    const QStringList reasons { "not an image", "truncated", "empty", "no such file" };
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(records[i].index, i);
        QCOMPARE(records[i].status, BatchResult::Failed);
        QVERIFY(records[i].path.isEmpty()); // nothing was written for it
        QVERIFY2(records[i].reason.contains(reasons[i]), qPrintable(records[i].reason));
    }
    QCOMPARE(records[4].status, BatchResult::Succeeded);
    // No half-made or empty documents for the failed files.
    QCOMPARE(TestUtils::fileNames(out.path()), QStringList { "drawing.pdf" });
    QVERIFY(hiddenEntries(out.path()).isEmpty());
}

void tst_KImagePdfConverter::nothingLoadsCombined()
{
    QTemporaryDir in, out;
    const QString a = TestUtils::writeFile(in.path(), "a.png", "junk");
    const QString b = TestUtils::writeFile(in.path(), "b.jpg", QByteArray("\xFF\xD8\xFF\xE0", 4));
    const QVector<Record> records = runConverter(1, { a, b }, out.path());
    QCOMPARE(records.size(), 2);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(records[i].index, i);
        QCOMPARE(records[i].status, BatchResult::Failed);
        QVERIFY(records[i].path.isEmpty());
    }
    QVERIFY(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void tst_KImagePdfConverter::unusableOutputFolder_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("folder");
    QTest::newRow("single, missing folder") << 0 << "missing/deeper";
    QTest::newRow("combined, missing folder") << 1 << "missing/deeper";
    QTest::newRow("single, no folder given") << 0 << "";
    QTest::newRow("combined, a file instead of a folder") << 1 << "file";
}

void tst_KImagePdfConverter::unusableOutputFolder()
{
    QFETCH(int, mode);
    QFETCH(QString, folder);
    QTemporaryDir base;
    TestUtils::writeFile(base.path(), "file", "x");
    const QString target = folder.isEmpty() ? QString() : QDir(base.path()).filePath(folder);

    const QVector<Record> records = runConverter(mode, { m_jpeg, m_png }, target);
    QCOMPARE(records.size(), 2);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(records[i].index, i);
        QCOMPARE(records[i].status, BatchResult::Failed);
    }
    QCOMPARE(TestUtils::fileNames(base.path()), QStringList { "file" });
}

void tst_KImagePdfConverter::unknownModeDoesNothing()
{
    QTemporaryDir out;
    QVERIFY(runConverter(2, { m_jpeg }, out.path()).isEmpty());
    QVERIFY(runConverter(-1, { m_jpeg }, out.path()).isEmpty());
    QVERIFY(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void tst_KImagePdfConverter::destroyedWhileRunning_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("single output") << 0;
    QTest::newRow("combined output") << 1;
}

// The view may go away mid-run (program exit): the thread stops, and what is
// on disk is either a complete document or nothing.
void tst_KImagePdfConverter::destroyedWhileRunning()
{
    QFETCH(int, mode);
    QTemporaryDir in, out;
    QImage big(900, 700, QImage::Format_RGB32);
    for (int y = 0; y < big.height(); ++y)
        for (int x = 0; x < big.width(); ++x)
            big.setPixel(x, y, qRgb((x * y) % 251, (x * 3) % 256, (y * 5) % 256));
    const QString png = saveImage(in.path(), "big.png", big);
    QStringList files;
    for (int i = 0; i < 40; ++i)
        files.append(png);
    {
        KImagePdfConverter converter({ mode, QString(), out.path(), files });
        converter.start();
        QThread::msleep(50);
    }
    QVERIFY(hiddenEntries(out.path()).isEmpty());
    for (const QString &name : TestUtils::fileNames(out.path())) {
        const auto document = PdfFixtures::openPdf(QDir(out.path()).filePath(name));
        QVERIFY2(document && document->numPages() > 0, qPrintable(name));
    }
}

QTEST_GUILESS_MAIN(tst_KImagePdfConverter)
#include "tst_KImagePdfConverter.moc"
