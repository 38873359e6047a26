#include <atomic>
#include <thread>
#include <vector>

#include <unistd.h>

#include <QImageReader>
#include <QLibrary>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "PdfFixtures.h"
#include "TestUtils.h"
#include "qvpdfrender.h"

class tst_qvpdfrender : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void exportsOnlyTheTwoCalls();
    void needsNoModuleOfTheProgram();
    void pageCount_data();
    void pageCount();
    void rendersEachFormat_data();
    void rendersEachFormat();
    void rendersTheRequestedPage();
    void antialiased();
    void refusedCalls_data();
    void refusedCalls();
    void existingFileKept();
    void existingEmptyFileKept();
    void hugePageRenderedSmaller();
    void concurrentCalls();
    void fullDeviceLeavesWholePagesOnly_data();
    void fullDeviceLeavesWholePagesOnly();

private:
    int count(const QString &path, const char *password = "") const
    {
        return m_pageCount(path.isNull() ? nullptr : path.toUtf8().constData(), password);
    }
    int convert(const QString &path, int page, const QString &out, const char *password = "") const
    {
        return m_convert(path.toUtf8().constData(), password, page,
            out.isNull() ? nullptr : out.toUtf8().constData());
    }

    QLibrary m_library { QStringLiteral(QVPDFRENDER_PATH) };
    QvGetPdfPageCountFn m_pageCount = nullptr;
    QvConvert2ImageByPageFn m_convert = nullptr;
    QTemporaryDir m_dir;
    QString m_fivePages;
    QString m_encrypted;
};

void tst_qvpdfrender::initTestCase()
{
    QVERIFY2(m_library.load(), qPrintable(m_library.errorString()));
    m_pageCount = reinterpret_cast<QvGetPdfPageCountFn>(m_library.resolve("GetPdfPageCount"));
    m_convert = reinterpret_cast<QvConvert2ImageByPageFn>(m_library.resolve("Convert2ImageByPage"));
    QVERIFY(m_pageCount);
    QVERIFY(m_convert);
    QVERIFY(m_dir.isValid());
    m_fivePages = QDir(m_dir.path()).filePath("five.pdf");
    m_encrypted = QDir(m_dir.path()).filePath("locked.pdf");
    QVERIFY(PdfFixtures::writePdf(m_fivePages, 5));
    QVERIFY(PdfFixtures::writePdf(m_encrypted, 2, QStringLiteral("open sesame")));
}

// The library links the project's file helpers statically; none of them may
// leak out and clash with the program's own copies.
void tst_qvpdfrender::exportsOnlyTheTwoCalls()
{
    for (const char *internal : { "_Z14siblingTempPathRK7QString", "_Z11replaceFileRK7QStringS1_",
             "_ZN15PageImageWriter10writeImageERK6QImageNS_6FormatERK7QString" }) {
        QVERIFY2(!m_library.resolve(internal), internal);
    }
}

// The library stands alone: it links no Qt module beyond Core and Gui (the
// program's file helpers used to pull in DBus), so it loads wherever
// poppler does.
void tst_qvpdfrender::needsNoModuleOfTheProgram()
{
    QProcess readelf;
    readelf.start(QStringLiteral("readelf"), { QStringLiteral("-d"), m_library.fileName() });
    if (!readelf.waitForFinished(30000) || readelf.exitCode() != 0)
        QSKIP("readelf is not available");
    const QByteArray dynamic = readelf.readAllStandardOutput();
    QVERIFY(dynamic.contains("libpoppler-qt5"));
    for (const char *unwanted : { "libQt5DBus", "libQt5Widgets", "libQt5Network", "libQt5Svg" })
        QVERIFY2(!dynamic.contains(unwanted), unwanted);
}

void tst_qvpdfrender::pageCount_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: the file does not exist
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<int>("expected"); // page count, or the failure code

    QTest::newRow("broken") << PdfFixtures::brokenPdf() << "broken.pdf" << QByteArray()
                            << int(QVPDF_ERR_OPEN);
    QTest::newRow("not a PDF") << QByteArray("plain text") << "text.pdf" << QByteArray()
                               << int(QVPDF_ERR_OPEN);
    QTest::newRow("missing") << QByteArray() << "missing.pdf" << QByteArray()
                             << int(QVPDF_ERR_OPEN);
    // A password document is told apart from a broken one.
    QTest::newRow("encrypted, no password")
        << QByteArray("locked") << "" << QByteArray() << int(QVPDF_ERR_PASSWORD);
    QTest::newRow("encrypted, wrong password")
        << QByteArray("locked") << "" << QByteArray("sesame") << int(QVPDF_ERR_PASSWORD);
    QTest::newRow("encrypted, password given")
        << QByteArray("locked") << "" << QByteArray("open sesame") << 2;
    QTest::newRow("five pages") << QByteArray("five") << "" << QByteArray() << 5;
    QTest::newRow("no pages") << QByteArray("zero") << "" << QByteArray() << 0;
    QTest::newRow("non-ASCII name")
        << QByteArray("copy") << QString::fromUtf8("d\xc3\xb6k \xe6\x96\x87.pdf") << QByteArray()
        << 5;
}

void tst_qvpdfrender::pageCount()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, name);
    QFETCH(QByteArray, password);
    QFETCH(int, expected);

    QString path;
    if (content == "locked") {
        path = m_encrypted;
    } else if (content == "five") {
        path = m_fivePages;
    } else if (content == "zero") {
        path = QDir(m_dir.path()).filePath("zero.pdf");
        QVERIFY(PdfFixtures::writeZeroPagePdf(path));
    } else if (content == "copy") {
        path = QDir(m_dir.path()).filePath(name);
        QFile::remove(path);
        QVERIFY(QFile::copy(m_fivePages, path));
    } else if (content.isEmpty()) {
        path = QDir(m_dir.path()).filePath(name);
    } else {
        path = TestUtils::writeFile(m_dir.path(), name, content);
    }
    QCOMPARE(count(path, password.constData()), expected);
}

void tst_qvpdfrender::rendersEachFormat_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QByteArray>("format"); // as QImageReader detects it from content
    QTest::newRow("png") << "png" << QByteArray("png");
    QTest::newRow("PNG upper case") << "PNG" << QByteArray("png");
    QTest::newRow("jpg") << "jpg" << QByteArray("jpeg");
    QTest::newRow("jpeg") << "jpeg" << QByteArray("jpeg");
    QTest::newRow("bmp") << "bmp" << QByteArray("bmp");
    QTest::newRow("webp") << "webp" << QByteArray("webp");
    QTest::newRow("tif") << "tif" << QByteArray("tiff");
    QTest::newRow("tiff") << "tiff" << QByteArray("tiff");
}

void tst_qvpdfrender::rendersEachFormat()
{
    QFETCH(QString, suffix);
    QFETCH(QByteArray, format);
    QTemporaryDir out;
    const QString target = QDir(out.path()).filePath("page." + suffix);
    QCOMPARE(convert(m_fivePages, 2, target), 0);

    QImageReader reader(target);
    reader.setDecideFormatFromContent(true);
    QCOMPARE(reader.format(), format);
    const QImage image = reader.read();
    // A4 at 150 dpi.
    QVERIFY2(qAbs(image.width() - 1240) <= 1 && qAbs(image.height() - 1754) <= 1,
        qPrintable(QStringLiteral("%1x%2").arg(image.width()).arg(image.height())));
    // Nothing but the image itself is left in the folder.
    QCOMPARE(
        QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "page." + suffix });
}

void tst_qvpdfrender::rendersTheRequestedPage()
{
    QTemporaryDir out;
    const QPointF probe = PdfFixtures::pageColourProbe() * (150.0 / 72.0);
    for (int page = 1; page <= 5; ++page) {
        const QString target = QDir(out.path()).filePath(QStringLiteral("p%1.png").arg(page));
        QCOMPARE(convert(m_fivePages, page, target), 0);
        const QImage image(target);
        const QRgb got = image.pixel(probe.toPoint());
        QVERIFY2(TestUtils::colourNear(got, PdfFixtures::pageColour(page).rgb(), 3),
            qPrintable(QColor(got).name() + " vs " + PdfFixtures::pageColour(page).name()));
    }
}

// A thin diagonal line drawn with antialiasing leaves pixels between black
// and white; without it there would be none.
void tst_qvpdfrender::antialiased()
{
    QTemporaryDir out;
    const QString target = QDir(out.path()).filePath("aa.png");
    QCOMPARE(convert(m_fivePages, 1, target), 0);
    const QImage image(target);
    int intermediate = 0;
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int g = qGray(image.pixel(x, image.height() - 1 - y));
            if (g > 20 && g < 235)
                ++intermediate;
        }
    }
    QVERIFY2(intermediate > 50, qPrintable(QString::number(intermediate)));
}

void tst_qvpdfrender::refusedCalls_data()
{
    QTest::addColumn<QString>("document"); // "five", "broken", "zero", "locked", "missing"
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("outputName"); // null: no output path at all
    QTest::addColumn<int>("expected");

    QTest::newRow("page 0") << "five" << 0 << "p.png" << int(QVPDF_ERR_ARGUMENT);
    QTest::newRow("negative page") << "five" << -1 << "p.png" << int(QVPDF_ERR_ARGUMENT);
    QTest::newRow("page after the last") << "five" << 6 << "p.png" << int(QVPDF_ERR_ARGUMENT);
    QTest::newRow("unsupported suffix") << "five" << 1 << "p.gif" << int(QVPDF_ERR_ARGUMENT);
    QTest::newRow("no suffix") << "five" << 1 << "page" << int(QVPDF_ERR_ARGUMENT);
    QTest::newRow("no output path") << "five" << 1 << QString() << int(QVPDF_ERR_ARGUMENT);
    QTest::newRow("folder missing") << "five" << 1 << "missing/p.png" << int(QVPDF_ERR_WRITE);
    QTest::newRow("broken document") << "broken" << 1 << "p.png" << int(QVPDF_ERR_OPEN);
    QTest::newRow("document of 0 pages") << "zero" << 1 << "p.png" << int(QVPDF_ERR_ARGUMENT);
    QTest::newRow("locked document") << "locked" << 1 << "p.png" << int(QVPDF_ERR_PASSWORD);
    QTest::newRow("missing document") << "missing" << 1 << "p.png" << int(QVPDF_ERR_OPEN);
}

void tst_qvpdfrender::refusedCalls()
{
    QFETCH(QString, document);
    QFETCH(int, page);
    QFETCH(QString, outputName);
    QFETCH(int, expected);

    QTemporaryDir out;
    QString path = m_fivePages;
    if (document == "broken") {
        path = TestUtils::writeFile(out.path(), "in.pdf", PdfFixtures::brokenPdf());
    } else if (document == "zero") {
        path = QDir(out.path()).filePath("in.pdf");
        QVERIFY(PdfFixtures::writeZeroPagePdf(path));
    } else if (document == "locked") {
        path = m_encrypted;
    } else if (document == "missing") {
        path = QDir(out.path()).filePath("in.pdf");
    }
    const QString target = outputName.isNull() ? QString() : QDir(out.path()).filePath(outputName);
    QCOMPARE(convert(path, page, target), expected);
    // Nothing written, no temporary left behind.
    QStringList left = QDir(out.path()).entryList(QDir::Files | QDir::Hidden);
    left.removeAll("in.pdf");
    QVERIFY2(left.isEmpty(), qPrintable(left.join(',')));
}

void tst_qvpdfrender::existingFileKept()
{
    QTemporaryDir out;
    const QString target = TestUtils::writeFile(out.path(), "taken.png", "somebody's file");
    QCOMPARE(convert(m_fivePages, 1, target), int(QVPDF_ERR_EXISTS));
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("somebody's file"));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "taken.png" });
}

// Reservations leave nothing at the final name, so even an empty file there
// is somebody else's and is kept.
void tst_qvpdfrender::existingEmptyFileKept()
{
    QTemporaryDir out;
    const QString target = TestUtils::writeFile(out.path(), "reserved.jpg", QByteArray());
    QCOMPARE(convert(m_fivePages, 3, target), int(QVPDF_ERR_EXISTS));
    QCOMPARE(QFileInfo(target).size(), 0);
    QCOMPARE(
        QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "reserved.jpg" });
}

// A poster-sized page would need gigabytes at 150 dpi; it comes out at a
// lower resolution instead.
void tst_qvpdfrender::hugePageRenderedSmaller()
{
    QTemporaryDir out;
    const QString poster = QDir(out.path()).filePath("poster.pdf");
    QVERIFY(PdfFixtures::writePdf(poster, 1, QString(), QSizeF(5000, 5000)));
    const QString target = QDir(out.path()).filePath("poster.bmp");
    QCOMPARE(convert(poster, 1, target), 0);
    QImageReader reader(target);
    const QSize size = reader.size();
    QVERIFY(size.isValid());
    QVERIFY(qint64(size.width()) * size.height() <= 64LL * 1024 * 1024);
    QVERIFY(size.width() > 4000); // still far more than screen size
}

// The interface thread counts pages of documents being added while the
// converter thread renders.
void tst_qvpdfrender::concurrentCalls()
{
    QTemporaryDir out;
    const std::string five = m_fivePages.toStdString();
    const std::string locked = m_encrypted.toStdString();
    const std::string outDir = out.path().toStdString();
    auto countFn = m_pageCount;
    auto convertFn = m_convert;
    std::atomic<int> wrongCounts { 0 };
    std::atomic<int> failedRenders { 0 };
    std::atomic<bool> rendering { true };

    std::thread renderer([convertFn, five, outDir, &failedRenders, &rendering]() {
        for (int round = 0; round < 3; ++round) {
            for (int page = 1; page <= 5; ++page) {
                const std::string target = outDir + "/r" + std::to_string(round) + "-"
                    + std::to_string(page) + (page % 2 ? ".png" : ".jpg");
                if (convertFn(five.c_str(), "", page, target.c_str()) != 0)
                    ++failedRenders;
            }
        }
        rendering = false;
    });
    std::thread second([convertFn, five, outDir, &failedRenders]() {
        for (int page = 5; page >= 1; --page) {
            const std::string target = outDir + "/s-" + std::to_string(page) + ".webp";
            if (convertFn(five.c_str(), "", page, target.c_str()) != 0)
                ++failedRenders;
        }
    });
    int counts = 0;
    while (rendering || counts < 50) {
        if (countFn(five.c_str(), "") != 5 || countFn(locked.c_str(), "") >= 0
            || countFn(locked.c_str(), "open sesame") != 2)
            ++wrongCounts;
        ++counts;
    }
    renderer.join();
    second.join();
    QCOMPARE(wrongCounts.load(), 0);
    QCOMPARE(failedRenders.load(), 0);

    // Every image shows its own page.
    const QPointF probe = PdfFixtures::pageColourProbe() * (150.0 / 72.0);
    const QStringList written = QDir(out.path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(written.size(), 20);
    for (const QString &name : written) {
        const int page = name.section('-', 1).section('.', 0, 0).toInt();
        const QImage image(QDir(out.path()).filePath(name));
        QVERIFY2(TestUtils::colourNear(
                     image.pixel(probe.toPoint()), PdfFixtures::pageColour(page).rgb(), 12),
            qPrintable(name));
    }
}

void tst_qvpdfrender::fullDeviceLeavesWholePagesOnly_data()
{
    QTest::addColumn<QString>("suffix");
    for (const char *suffix : { "tif", "png", "jpg", "bmp", "webp" })
        QTest::newRow(suffix) << QString::fromLatin1(suffix);
}

// Devices from nearly empty to roomy in steps of a page of memory: every
// call either writes a page that reads back whole or fails with "no space"
// and leaves nothing. The room runs out at every point of the writing on the
// way, the TIFF writer's seeks back to its header among them.
void tst_qvpdfrender::fullDeviceLeavesWholePagesOnly()
{
    QFETCH(QString, suffix);
    if (::geteuid() != 0)
        QSKIP("a tiny file system needs mounting, which needs root");
    QTemporaryDir out;
    const QString mount = QDir(out.path()).filePath("small");
    QVERIFY(QDir().mkpath(mount));
    const QString target = QDir(mount).filePath("page." + suffix);
    int written = 0;
    int refused = 0;
    for (int kb = 4; kb <= 160 && written < 2; kb += 4) {
        const QString mountCommand
            = QStringLiteral("mount -t tmpfs -o size=%1k tmpfs '%2'").arg(kb).arg(mount);
        if (QProcess::execute(QStringLiteral("sh"), { QStringLiteral("-c"), mountCommand }) != 0)
            QSKIP("mounting a tmpfs failed here (no permission in this container)");
        auto unmount
            = qScopeGuard([mount]() { QProcess::execute(QStringLiteral("umount"), { mount }); });
        const int result = convert(m_fivePages, 4, target);
        const QStringList left = QDir(mount).entryList(QDir::Files | QDir::Hidden);
        if (result == 0) {
            ++written;
            QImageReader reader(target);
            const QImage image = reader.read();
            QVERIFY2(qAbs(image.width() - 1240) <= 1 && qAbs(image.height() - 1754) <= 1,
                qPrintable(QStringLiteral("%1 KB: %2 unreadable: %3")
                               .arg(kb)
                               .arg(target, reader.errorString())));
            QCOMPARE(left, QStringList { "page." + suffix });
        } else {
            ++refused;
            QVERIFY2(left.isEmpty(),
                qPrintable(QStringLiteral("%1 KB: %2").arg(kb).arg(left.join(','))));
        }
    }
    QVERIFY(refused > 0);
}

QTEST_GUILESS_MAIN(tst_qvpdfrender)
#include "tst_qvpdfrender.moc"
