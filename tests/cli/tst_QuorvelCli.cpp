// Runs the quorvel-cli executable on small fixtures made here and checks what
// it wrote, printed and returned.

#include <csignal>
#include <memory>

#include <poppler-qt5.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include "PdfFixtures.h"
#include "TestFixtures.h"
#include "TestUtils.h"
#include "app/LargePages.h"

namespace {

struct CliResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

CliResult runCli(const QStringList &arguments, const QString &workingDir,
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDir);
    process.start(QStringLiteral(QUORVEL_CLI), arguments);
    CliResult result;
    if (!process.waitForFinished(180000)) {
        process.kill();
        process.waitForFinished();
        result.err = "quorvel-cli did not finish";
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// Every entry of a folder, hidden ones included, so that a leftover temporary
// or placeholder file shows up.
QStringList allEntries(const QString &dir)
{
    return QDir(dir).entryList(
        QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Checks one output against an expectation such as "photo.png 64x48", "doc.pdf pages=2",
// "anim.gif 30x20 frames=7" or "photo.jpg below=20480".
void checkOutput(const QString &dir, const QString &expected)
{
    const QStringList parts = expected.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString path = QDir(dir).filePath(parts.first());
    QVERIFY2(QFileInfo(path).size() > 0, qPrintable(expected));
    for (int i = 1; i < parts.size(); ++i) {
        const QString &check = parts[i];
        if (check.startsWith(QLatin1String("pages="))) {
            const auto document = PdfFixtures::openPdf(path);
            QVERIFY2(document, qPrintable(expected));
            QCOMPARE(document->numPages(), check.mid(6).toInt());
        } else if (check.startsWith(QLatin1String("frames="))) {
            QImageReader reader(path);
            QCOMPARE(reader.imageCount(), check.mid(7).toInt());
        } else if (check.startsWith(QLatin1String("below="))) {
            QVERIFY2(QFileInfo(path).size() < check.mid(6).toLongLong(), qPrintable(expected));
        } else {
            const QStringList wh = check.split(QLatin1Char('x'));
            QImageReader reader(path);
            QVERIFY2(reader.canRead(),
                qPrintable(expected + QLatin1String(": ") + reader.errorString()));
            QCOMPARE(reader.size(), QSize(wh.value(0).toInt(), wh.value(1).toInt()));
        }
    }
}

QStringList namesOf(const QStringList &expectations)
{
    QStringList names;
    for (const QString &expected : expectations)
        names.append(expected.section(QLatin1Char(' '), 0, 0));
    names.sort();
    return names;
}

} // namespace

class tst_QuorvelCli : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void happyPath_data();
    void happyPath();
    void corruptAmongGood_data();
    void corruptAmongGood();
    void usageErrors_data();
    void usageErrors();
    void neverOverwrites_data();
    void neverOverwrites();
    void defaultRunFolder_data();
    void defaultRunFolder();
    void jsonOutputParses();
    void foldersWalked();
    void helpForEveryCommand_data();
    void helpForEveryCommand();
    void convertFollowsTheFormatRules();
    void rotateTurnsThePixels();
    void passwordFile();
    void namesKeepInnerDots_data();
    void namesKeepInnerDots();
    void interruptLeavesCompleteFiles();
    void decoderCrashFailsAlone_data();
    void decoderCrashFailsAlone();
    void specialFilesFailAlone();
    void namesThatAreNotUtf8();
    void longNamesWork();
    void topDownBitmapReadsUpright();
    void outputOverThePixelCap();
    void fullDisk_data();
    void fullDisk();
    void killedRunLeavesNoFileAtTheFinalName();
    void reasonsReachTheJson_data();
    void reasonsReachTheJson();
    void librariesOpenForTheWorkThatNeedsThem_data();
    void librariesOpenForTheWorkThatNeedsThem();
    void bigWorkStartsAgainWithLargePages_data();
    void bigWorkStartsAgainWithLargePages();

private:
    QString fixture(const QString &name) const { return m_fixtures.filePath(name); }

    QTemporaryDir m_fixtures;
    QScopedPointer<QTemporaryDir> m_work;
    bool m_haveHeic = false;
};

void tst_QuorvelCli::initTestCase()
{
    QVERIFY(m_fixtures.isValid());
    QVERIFY(QFileInfo(QStringLiteral(QUORVEL_CLI)).isExecutable());
    const QString dir = m_fixtures.path();

    QVERIFY(TestUtils::quadrantImage(64, 48).save(fixture(QStringLiteral("photo.jpg")), "jpg", 95));
    QVERIFY(TestUtils::halfTransparentImage(40, 30).save(fixture(QStringLiteral("alpha.png"))));
    QVERIFY(TestUtils::quadrantImage(50, 40).save(fixture(QStringLiteral("scan.tif"))));
    QVERIFY(TestFixtures::writeAnimatedGif(fixture(QStringLiteral("anim.gif")), 60, 40,
        { Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta, Qt::gray, Qt::darkRed,
            Qt::darkGreen, Qt::darkBlue, Qt::darkYellow, Qt::black }));
    m_haveHeic = TestFixtures::writeHeic(
        fixture(QStringLiteral("shot.heic")), TestUtils::quadrantImage(48, 32));
    QVERIFY(PdfFixtures::writePdf(fixture(QStringLiteral("doc.pdf")), 3));
    QVERIFY(!TestUtils::writeFile(dir, QStringLiteral("drawing.svg"),
        "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 40 30\">"
        "<rect x=\"5\" y=\"5\" width=\"30\" height=\"20\" fill=\"teal\"/></svg>")
                 .isEmpty());

    // Noise does not compress: its JPEG at quality 90 is far above 20 KB.
    QImage noise(300, 300, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < noise.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x)
            line[x] = 0xff000000u | (random.generate() & 0xffffffu);
    }
    QVERIFY(noise.save(fixture(QStringLiteral("noise.png"))));

    // Damaged files with the names of good ones.
    QVERIFY(!TestUtils::writeFile(
        dir, QStringLiteral("broken.jpg"), QByteArray("\xff\xd8\xff\xe0 not really a JPEG"))
                 .isEmpty());
    QVERIFY(!TestUtils::writeFile(dir, QStringLiteral("broken.gif"), "GIF89a\x10\x00").isEmpty());
    QVERIFY(!TestUtils::writeFile(dir, QStringLiteral("broken.pdf"), PdfFixtures::brokenPdf())
                 .isEmpty());
    // 336 bytes of icon that overflowed FreeImage's ICO reader under a .tga name.
    QVERIFY(QFile::copy(TestUtils::dataDir()
            + QStringLiteral("/codec/ico-negative-height-named-tga-overflowed-freeimage-loads.tga"),
        fixture(QStringLiteral("crash.tga"))));
    QVERIFY(
        !TestUtils::writeFile(dir, QStringLiteral("nul-password.txt"), QByteArray("ab\0cd\n", 6))
             .isEmpty());
    QVERIFY(
        !TestUtils::writeFile(dir, QStringLiteral("latin1-password.txt"), "caf\xe9\n").isEmpty());
}

void tst_QuorvelCli::init()
{
    m_work.reset(new QTemporaryDir());
    QVERIFY(m_work->isValid());
}

void tst_QuorvelCli::happyPath_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("convert to png")
        << QStringList { "convert", "--to", "png" }
        << QStringList { "photo.jpg", "alpha.png", "anim.gif", "scan.tif" }
        << QStringList { "photo.png 64x48", "alpha.png 40x30", "anim.png 60x40", "scan.png 50x40" };
    QTest::newRow("convert heic to jpg")
        << QStringList { "convert", "--to", "JPEG" } << QStringList { "shot.heic" }
        << QStringList { "shot.jpg 48x32" };
    QTest::newRow("convert to webp, one job") << QStringList { "convert", "--to", "webp", "-j",
        "1" } << QStringList { "alpha.png" } << QStringList { "alpha.webp 40x30" };
    QTest::newRow("compress quality")
        << QStringList { "compress", "--quality", "40" } << QStringList { "photo.jpg", "alpha.png" }
        << QStringList { "photo.jpg 64x48", "alpha.jpg 40x30" };
    QTest::newRow("compress below 20K")
        << QStringList { "compress", "--max-size", "20K" } << QStringList { "noise.png" }
        << QStringList { "noise.jpg below=20480" };
    QTest::newRow("resize width keeps ratio") << QStringList { "resize", "--width",
        "32" } << QStringList { "photo.jpg" } << QStringList { "photo.jpg 32x24" };
    QTest::newRow("resize height keeps ratio") << QStringList { "resize", "--height", "24", "--to",
        "bmp" } << QStringList { "photo.jpg" } << QStringList { "photo.bmp 32x24" };
    QTest::newRow("resize stretched") << QStringList {
        "resize", "--width", "10", "--height", "20", "--no-keep-ratio", "--to", "png"
    } << QStringList { "photo.jpg" } << QStringList { "photo.png 10x20" };
    QTest::newRow("resize percent") << QStringList { "resize", "--percent", "50", "--to", "tif" }
                                    << QStringList { "photo.jpg", "alpha.png" }
                                    << QStringList { "photo.tif 32x24", "alpha.tif 20x15" };
    QTest::newRow("resize preset thumbnail") << QStringList { "resize", "--preset",
        "7" } << QStringList { "photo.jpg" } << QStringList { "photo.jpg 100x139" };
    QTest::newRow("rotate left") << QStringList { "rotate", "--left", "--to", "png" }
                                 << QStringList { "photo.jpg", "anim.gif" }
                                 << QStringList { "photo.png 48x64", "anim.png 40x60" };
    QTest::newRow("rotate flip") << QStringList { "rotate", "--flip-v" }
                                 << QStringList { "photo.jpg" }
                                 << QStringList { "photo.jpg 64x48" };
    QTest::newRow("rotate angle -90")
        << QStringList { "rotate", "--angle", "-90", "--to", "webp" } << QStringList { "photo.jpg" }
        << QStringList { "photo.webp 48x64" };
    QTest::newRow("gif half width, drop half")
        << QStringList { "gif", "--width", "30", "--drop", "5", "--colors-percent", "100" }
        << QStringList { "anim.gif" } << QStringList { "anim.gif 30x20 frames=7" };
    QTest::newRow("gif same size") << QStringList { "gif" } << QStringList { "anim.gif" }
                                   << QStringList { "anim.gif 60x40 frames=12" };
    QTest::newRow("topdf one each")
        << QStringList { "topdf", "-j", "2" }
        << QStringList { "photo.jpg", "alpha.png", "scan.tif" }
        << QStringList { "photo.pdf pages=1", "alpha.pdf pages=1", "scan.pdf pages=1" };
    QTest::newRow("topdf combined") << QStringList { "topdf", "--combined" }
                                    << QStringList { "photo.jpg", "alpha.png", "anim.gif" }
                                    << QStringList { "photo.pdf pages=3" };
    QTest::newRow("frompdf odd pages png")
        << QStringList { "frompdf", "--pages", "odd", "--to", "png" } << QStringList { "doc.pdf" }
        << QStringList { "doc-1.png", "doc-3.png" };
    QTest::newRow("frompdf all pages, split over two threads") << QStringList { "frompdf", "-j",
        "2" } << QStringList { "doc.pdf" } << QStringList { "doc-1.jpg", "doc-2.jpg", "doc-3.jpg" };
    QTest::newRow("frompdf list") << QStringList { "frompdf", "--pages", "3,1-2", "--to", "bmp" }
                                  << QStringList { "doc.pdf" }
                                  << QStringList { "doc-1.bmp", "doc-2.bmp", "doc-3.bmp" };
}

void tst_QuorvelCli::happyPath()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, inputs);
    QFETCH(QStringList, expected);
    if (inputs.contains(QStringLiteral("shot.heic")) && !m_haveHeic)
        QSKIP("libheif here has no HEVC encoder to make the fixture");

    const QString out = m_work->filePath(QStringLiteral("out"));
    QStringList args = arguments;
    args << QStringLiteral("-o") << out;
    for (const QString &input : inputs)
        args << fixture(input);
    const CliResult result = runCli(args, m_work->path());
    QVERIFY2(result.exitCode == 0, result.err.constData());
    QCOMPARE(allEntries(out), namesOf(expected));
    for (const QString &output : expected) {
        checkOutput(out, output);
        if (QTest::currentTestFailed())
            return;
    }
    // One line per input naming where it went, and no progress bar when
    // standard error is not a terminal.
    QCOMPARE(result.out.count('\n'), inputs.size());
    QVERIFY(!result.err.contains('\r'));
}

void tst_QuorvelCli::corruptAmongGood_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("broken");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("convert") << QStringList { "convert", "--to", "png" }
                             << QStringList { "photo.jpg", "broken.jpg", "alpha.png" }
                             << "broken.jpg" << QStringList { "photo.png", "alpha.png" };
    QTest::newRow("compress below a size")
        << QStringList { "compress", "--max-size", "50K" }
        << QStringList { "broken.jpg", "photo.jpg", "noise.png" } << "broken.jpg"
        << QStringList { "photo.jpg", "noise.jpg" };
    QTest::newRow("resize") << QStringList { "resize", "--percent", "50" }
                            << QStringList { "photo.jpg", "broken.jpg" } << "broken.jpg"
                            << QStringList { "photo.jpg" };
    QTest::newRow("rotate") << QStringList { "rotate", "--right" }
                            << QStringList { "broken.jpg", "photo.jpg" } << "broken.jpg"
                            << QStringList { "photo.jpg" };
    QTest::newRow("gif") << QStringList { "gif", "--width", "30" }
                         << QStringList { "anim.gif", "broken.gif" } << "broken.gif"
                         << QStringList { "anim.gif" };
    QTest::newRow("topdf one each")
        << QStringList { "topdf" } << QStringList { "photo.jpg", "broken.jpg", "alpha.png" }
        << "broken.jpg" << QStringList { "photo.pdf", "alpha.pdf" };
    QTest::newRow("topdf combined leaves it out")
        << QStringList { "topdf", "--combined" }
        << QStringList { "photo.jpg", "broken.jpg", "alpha.png" } << "broken.jpg"
        << QStringList { "photo.pdf" };
    QTest::newRow("frompdf") << QStringList { "frompdf", "--pages", "2" }
                             << QStringList { "broken.pdf", "doc.pdf" } << "broken.pdf"
                             << QStringList { "doc-2.jpg" };
}

void tst_QuorvelCli::corruptAmongGood()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, inputs);
    QFETCH(QString, broken);
    QFETCH(QStringList, expected);

    const QString out = m_work->filePath(QStringLiteral("out"));
    QStringList args = arguments;
    args << QStringLiteral("-o") << out;
    for (const QString &input : inputs)
        args << fixture(input);
    const CliResult result = runCli(args, m_work->path());
    QCOMPARE(result.exitCode, 1);
    expected.sort();
    // The others are written, and the broken one leaves nothing behind.
    QCOMPARE(allEntries(out), expected);
    // The error names the file and says why.
    const QString err = QString::fromLocal8Bit(result.err);
    const QString prefix = QStringLiteral("quorvel-cli: ") + fixture(broken) + QStringLiteral(": ");
    QVERIFY2(err.contains(prefix), qPrintable(err));
    const QString reason
        = err.mid(err.indexOf(prefix) + prefix.size()).section(QLatin1Char('\n'), 0, 0);
    QVERIFY2(reason.size() > 10, qPrintable(err));
    QCOMPARE(result.out.count('\n'), inputs.size() - 1);
}

void tst_QuorvelCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown option") << QStringList { "convert", "--to", "png", "--bogus",
        "photo.jpg" } << "Unknown option 'bogus'";
    QTest::newRow("unknown command")
        << QStringList { "shrink", "photo.jpg" } << "unknown command 'shrink'";
    QTest::newRow("no command") << QStringList {} << "Usage: quorvel-cli";
    QTest::newRow("convert without --to")
        << QStringList { "convert", "photo.jpg" } << "--to is required";
    QTest::newRow("convert to gif")
        << QStringList { "convert", "--to", "gif", "photo.jpg" } << "unknown format 'gif'";
    QTest::newRow("no paths") << QStringList { "convert", "--to", "png" } << "no files or folders";
    QTest::newRow("compress both modes")
        << QStringList { "compress", "--quality", "50", "--max-size", "200K", "photo.jpg" }
        << "either --quality";
    QTest::newRow("compress bad size")
        << QStringList { "compress", "--max-size", "200X", "photo.jpg" } << "--max-size must be";
    QTest::newRow("compress zero size")
        << QStringList { "compress", "--max-size", "0K", "photo.jpg" } << "--max-size must be";
    QTest::newRow("compress quality 0")
        << QStringList { "compress", "--quality", "0", "photo.jpg" } << "--quality must be";
    QTest::newRow("resize two modes") << QStringList { "resize", "--width", "10", "--percent", "50",
        "photo.jpg" } << "give one of";
    QTest::newRow("resize both sides with ratio")
        << QStringList { "resize", "--width", "10", "--height", "10", "photo.jpg" } << "not both";
    QTest::newRow("resize stretch one side") << QStringList { "resize", "--width", "10",
        "--no-keep-ratio", "photo.jpg" } << "needs both";
    QTest::newRow("resize preset 9")
        << QStringList { "resize", "--preset", "9", "photo.jpg" } << "--preset must be";
    QTest::newRow("rotate two ways")
        << QStringList { "rotate", "--left", "--flip-h", "photo.jpg" } << "give one of";
    QTest::newRow("rotate angle text")
        << QStringList { "rotate", "--angle", "ten", "photo.jpg" } << "--angle must be";
    QTest::newRow("gif drop 6") << QStringList { "gif", "--drop", "6", "anim.gif" }
                                << "--drop must be";
    QTest::newRow("frompdf bad list")
        << QStringList { "frompdf", "--pages", "1;3", "doc.pdf" } << "is not all, odd, even";
    QTest::newRow("frompdf backwards range")
        << QStringList { "frompdf", "--pages", "5-3", "doc.pdf" } << "ends before it begins";
    QTest::newRow("frompdf page 0")
        << QStringList { "frompdf", "--pages", "0-3", "doc.pdf" } << "pages are numbered from 1";
    QTest::newRow("topdf NUL in the password") << QStringList { "topdf", "--password-file",
        "nul-password.txt", "photo.jpg" } << "contains a NUL byte";
    QTest::newRow("topdf password not UTF-8") << QStringList { "topdf", "--password-file",
        "latin1-password.txt", "photo.jpg" } << "is not UTF-8 text";
    QTest::newRow("topdf missing password file") << QStringList { "topdf", "--password-file",
        "no-such-file", "photo.jpg" } << "cannot read the password file";
    QTest::newRow("bad -j") << QStringList { "resize", "--percent", "50", "-j", "0", "photo.jpg" }
                            << "-j must be";
    QTest::newRow("value missing") << QStringList { "resize", "--percent" } << "Missing value";
}

void tst_QuorvelCli::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    QStringList args;
    for (const QString &argument : arguments)
        args << (QFileInfo::exists(fixture(argument)) ? fixture(argument) : argument);
    const CliResult result = runCli(args, m_work->path());
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(QString::fromLocal8Bit(result.err).contains(message), result.err.constData());
    // Nothing is started: no run folder appears.
    QCOMPARE(allEntries(m_work->path()), QStringList());
}

void tst_QuorvelCli::neverOverwrites_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("taken");
    QTest::addColumn<QString>("written");

    QTest::newRow("convert") << QStringList { "convert", "--to", "png" } << "photo.jpg"
                             << "photo.png"
                             << "photo(1).png";
    QTest::newRow("compress") << QStringList { "compress", "--quality", "70" } << "photo.jpg"
                              << "photo.jpg"
                              << "photo(1).jpg";
    QTest::newRow("resize") << QStringList { "resize", "--percent", "50" } << "photo.jpg"
                            << "photo.jpg"
                            << "photo(1).jpg";
    QTest::newRow("rotate") << QStringList { "rotate", "--left" } << "photo.jpg"
                            << "photo.jpg"
                            << "photo(1).jpg";
    QTest::newRow("gif") << QStringList { "gif" } << "anim.gif"
                         << "anim.gif"
                         << "anim(1).gif";
    QTest::newRow("topdf") << QStringList { "topdf" } << "photo.jpg"
                           << "photo.pdf"
                           << "photo(1).pdf";
    QTest::newRow("frompdf") << QStringList { "frompdf", "--pages", "2" } << "doc.pdf"
                             << "doc-2.jpg"
                             << "doc-2(1).jpg";
}

void tst_QuorvelCli::neverOverwrites()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, input);
    QFETCH(QString, taken);
    QFETCH(QString, written);

    const QString out = m_work->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(out));
    const QByteArray mine("somebody's file, not to be touched");
    QVERIFY(!TestUtils::writeFile(out, taken, mine).isEmpty());

    const CliResult result = runCli(
        arguments + QStringList { QStringLiteral("-o"), out, fixture(input) }, m_work->path());
    QVERIFY2(result.exitCode == 0, result.err.constData());
    QCOMPARE(readBytes(QDir(out).filePath(taken)), mine);
    QStringList both { taken, written };
    both.sort();
    QCOMPARE(allEntries(out), both);
    QVERIFY(QFileInfo(QDir(out).filePath(written)).size() > 0);
}

void tst_QuorvelCli::defaultRunFolder_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("folder");

    QTest::newRow("convert") << QStringList { "convert", "--to", "bmp" } << "photo.jpg"
                             << "format convert";
    QTest::newRow("compress") << QStringList { "compress", "--quality", "60" } << "photo.jpg"
                              << "AI toolbox batch compress";
    QTest::newRow("resize") << QStringList { "resize", "--preset", "0" } << "photo.jpg"
                            << "quorvel";
    QTest::newRow("rotate") << QStringList { "rotate", "--right" } << "photo.jpg"
                            << "quorvel";
    QTest::newRow("gif") << QStringList { "gif" } << "anim.gif"
                         << "Gif compress";
    QTest::newRow("topdf") << QStringList { "topdf" } << "photo.jpg"
                           << "Pdf Convert";
    QTest::newRow("frompdf") << QStringList { "frompdf" } << "doc.pdf"
                             << "Pdf2Image";
}

void tst_QuorvelCli::defaultRunFolder()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, input);
    QFETCH(QString, folder);

    // Two runs in the same folder: the second gets a folder of its own.
    for (int run = 0; run < 2; ++run) {
        const CliResult result = runCli(arguments + QStringList { fixture(input) }, m_work->path());
        QVERIFY2(result.exitCode == 0, result.err.constData());
    }
    QCOMPARE(allEntries(m_work->path()), (QStringList { folder, folder + QStringLiteral("(1)") }));
    QVERIFY(!allEntries(m_work->filePath(folder)).isEmpty());
    QVERIFY(!allEntries(m_work->filePath(folder + QStringLiteral("(1)"))).isEmpty());
}

void tst_QuorvelCli::jsonOutputParses()
{
    const QString out = m_work->filePath(QStringLiteral("out"));
    const QString missing = m_work->filePath(QStringLiteral("missing.png"));
    const CliResult result
        = runCli({ QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("png"),
                     QStringLiteral("--json"), QStringLiteral("-o"), out,
                     fixture(QStringLiteral("photo.jpg")), fixture(QStringLiteral("broken.jpg")),
                     missing, fixture(QStringLiteral("alpha.png")) },
            m_work->path());
    QCOMPARE(result.exitCode, 1);

    QMap<QString, QJsonObject> byInput;
    const QList<QByteArray> lines = result.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 4);
    for (const QByteArray &line : lines) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        QVERIFY2(error.error == QJsonParseError::NoError, line.constData());
        QVERIFY(document.isObject());
        const QJsonObject object = document.object();
        for (const char *key : { "input", "status", "output", "bytes", "error" })
            QVERIFY2(object.contains(QLatin1String(key)), line.constData());
        byInput.insert(object.value(QStringLiteral("input")).toString(), object);
    }

    for (const QString &good : { QStringLiteral("photo.jpg"), QStringLiteral("alpha.png") }) {
        const QJsonObject object = byInput.value(fixture(good));
        QCOMPARE(object.value(QStringLiteral("status")).toString(), QStringLiteral("ok"));
        const QString output = object.value(QStringLiteral("output")).toString();
        QCOMPARE(QFileInfo(output).absolutePath(), out);
        QCOMPARE(
            qint64(object.value(QStringLiteral("bytes")).toDouble()), QFileInfo(output).size());
        QVERIFY(object.value(QStringLiteral("error")).isNull());
    }
    for (const QString &bad : { fixture(QStringLiteral("broken.jpg")), missing }) {
        const QJsonObject object = byInput.value(bad);
        QCOMPARE(object.value(QStringLiteral("status")).toString(), QStringLiteral("failed"));
        QVERIFY(object.value(QStringLiteral("output")).isNull());
        QCOMPARE(object.value(QStringLiteral("bytes")).toDouble(), 0.0);
        QVERIFY(!object.value(QStringLiteral("error")).toString().isEmpty());
    }
    QCOMPARE(byInput.value(missing).value(QStringLiteral("error")).toString(),
        QStringLiteral("no such file or folder"));
}

void tst_QuorvelCli::foldersWalked()
{
    // album/ holds two images, a text file and a nested folder with one more.
    const QString album = m_work->filePath(QStringLiteral("album"));
    QVERIFY(QDir().mkpath(album + QStringLiteral("/nested")));
    QVERIFY(QFile::copy(fixture(QStringLiteral("photo.jpg")), album + QStringLiteral("/a.jpg")));
    QVERIFY(QFile::copy(fixture(QStringLiteral("alpha.png")), album + QStringLiteral("/b.png")));
    QVERIFY(
        QFile::copy(fixture(QStringLiteral("photo.jpg")), album + QStringLiteral("/nested/c.jpg")));
    QVERIFY(!TestUtils::writeFile(album, QStringLiteral("notes.txt"), "not an image").isEmpty());

    const QString flat = m_work->filePath(QStringLiteral("flat"));
    CliResult result = runCli({ QStringLiteral("resize"), QStringLiteral("--percent"),
                                  QStringLiteral("50"), QStringLiteral("-o"), flat, album },
        m_work->path());
    QVERIFY2(result.exitCode == 0, result.err.constData());
    QCOMPARE(allEntries(flat), (QStringList { QStringLiteral("a.jpg"), QStringLiteral("b.jpg") }));

    // Recursively, with the output folder inside the walked folder: it is
    // not walked into.
    const QString deep = album + QStringLiteral("/out");
    result = runCli({ QStringLiteral("resize"), QStringLiteral("--percent"), QStringLiteral("50"),
                        QStringLiteral("-r"), QStringLiteral("-o"), deep, album },
        m_work->path());
    QVERIFY2(result.exitCode == 0, result.err.constData());
    QCOMPARE(allEntries(deep),
        (QStringList {
            QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg") }));

    // A folder with nothing the command takes is a failed input.
    const QString empty = m_work->filePath(QStringLiteral("empty"));
    QVERIFY(QDir().mkpath(empty));
    result = runCli({ QStringLiteral("gif"), QStringLiteral("-o"), flat, empty }, m_work->path());
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains("holds no file"), result.err.constData());
}

void tst_QuorvelCli::helpForEveryCommand_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("option");
    QTest::newRow("convert") << "convert"
                             << "--to <format>";
    QTest::newRow("compress") << "compress"
                              << "--max-size <SIZE>";
    QTest::newRow("resize") << "resize"
                            << "--preset <N>";
    QTest::newRow("rotate") << "rotate"
                            << "--angle <A>";
    QTest::newRow("gif") << "gif"
                         << "--colors-percent <P>";
    QTest::newRow("topdf") << "topdf"
                           << "--password-file <FILE>";
    QTest::newRow("frompdf") << "frompdf"
                             << "--pages <pages>";
    QTest::newRow("ocr") << "ocr"
                         << "--combine";
    QTest::newRow("enhance") << "enhance"
                             << "--mode <mode>";
}

void tst_QuorvelCli::helpForEveryCommand()
{
    QFETCH(QString, command);
    QFETCH(QString, option);
    for (const QStringList &args : { QStringList { command, QStringLiteral("--help") },
             QStringList { QStringLiteral("help"), command } }) {
        const CliResult result = runCli(args, m_work->path());
        QCOMPARE(result.exitCode, 0);
        const QString text = QString::fromLocal8Bit(result.out);
        QVERIFY2(
            text.startsWith(QStringLiteral("Usage: quorvel-cli ") + command), qPrintable(text));
        for (const QString &common :
            { QStringLiteral("-o, --output <DIR>"), QStringLiteral("-j, --jobs <N>"),
                QStringLiteral("--json"), QStringLiteral("-r, --recursive"), option })
            QVERIFY2(text.contains(common), qPrintable(common));
    }
    const CliResult general = runCli({ QStringLiteral("--help") }, m_work->path());
    QCOMPARE(general.exitCode, 0);
    QVERIFY(QString::fromLocal8Bit(general.out).contains(QStringLiteral("  ") + command));
}

void tst_QuorvelCli::convertFollowsTheFormatRules()
{
    // The conversion task's rules: white under JPG and BMP, alpha kept in PNG.
    const QString out = m_work->filePath(QStringLiteral("out"));
    for (const char *format : { "jpg", "bmp", "png" }) {
        const CliResult result
            = runCli({ QStringLiteral("convert"), QStringLiteral("--to"), QLatin1String(format),
                         QStringLiteral("-o"), out, fixture(QStringLiteral("alpha.png")) },
                m_work->path());
        QVERIFY2(result.exitCode == 0, result.err.constData());
    }
    const QImage jpg(QDir(out).filePath(QStringLiteral("alpha.jpg")));
    const QImage bmp(QDir(out).filePath(QStringLiteral("alpha.bmp")));
    const QImage png(QDir(out).filePath(QStringLiteral("alpha.png")));
    QVERIFY(TestUtils::colourNear(jpg.pixel(35, 15), qRgb(255, 255, 255), 8));
    QVERIFY(TestUtils::colourNear(bmp.pixel(35, 15), qRgb(255, 255, 255), 0));
    QCOMPARE(qAlpha(png.pixel(35, 15)), 0);
    QVERIFY(TestUtils::colourNear(png.pixel(5, 15), qRgb(200, 30, 30), 0));
}

void tst_QuorvelCli::rotateTurnsThePixels()
{
    // Quadrants red, green, blue, white from the top left clockwise; turned
    // left, green comes to the top left and red to the bottom left.
    const QString out = m_work->filePath(QStringLiteral("out"));
    const CliResult result
        = runCli({ QStringLiteral("rotate"), QStringLiteral("--left"), QStringLiteral("--to"),
                     QStringLiteral("png"), QStringLiteral("-o"), out,
                     fixture(QStringLiteral("photo.jpg")) },
            m_work->path());
    QVERIFY2(result.exitCode == 0, result.err.constData());
    const QImage turned(QDir(out).filePath(QStringLiteral("photo.png")));
    QCOMPARE(turned.size(), QSize(48, 64));
    QVERIFY(TestUtils::colourNear(turned.pixel(10, 10), qRgb(0, 255, 0), 24));
    QVERIFY(TestUtils::colourNear(turned.pixel(10, 54), qRgb(255, 0, 0), 24));
    QVERIFY(TestUtils::colourNear(turned.pixel(38, 54), qRgb(255, 255, 255), 24));
}

void tst_QuorvelCli::passwordFile()
{
    const QString out = m_work->filePath(QStringLiteral("out"));
    const QString secret
        = TestUtils::writeFile(m_work->path(), QStringLiteral("pw.txt"), "open sesame\n");
    CliResult result = runCli({ QStringLiteral("topdf"), QStringLiteral("--password-file"), secret,
                                  QStringLiteral("-o"), out, fixture(QStringLiteral("photo.jpg")) },
        m_work->path());
    QVERIFY2(result.exitCode == 0, result.err.constData());
    const QString pdf = QDir(out).filePath(QStringLiteral("photo.pdf"));
    const auto locked = PdfFixtures::openPdf(pdf);
    QVERIFY(!locked || locked->isLocked());
    const auto opened = PdfFixtures::openPdf(pdf, QByteArrayLiteral("open sesame"));
    QVERIFY(opened && !opened->isLocked());
    QCOMPARE(opened->numPages(), 1);

    // An empty password would silently write an open document: refused.
    const QString blank = TestUtils::writeFile(m_work->path(), QStringLiteral("blank.txt"), "\n");
    result = runCli(
        { QStringLiteral("topdf"), QStringLiteral("--password-file"), blank, QStringLiteral("-o"),
            m_work->filePath(QStringLiteral("other")), fixture(QStringLiteral("photo.jpg")) },
        m_work->path());
    QCOMPARE(result.exitCode, 2);
    QVERIFY(!QFileInfo::exists(m_work->filePath(QStringLiteral("other"))));
}

void tst_QuorvelCli::namesKeepInnerDots_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("written");

    // The output is named after the whole source name without its last extension.
    QTest::newRow("convert") << QStringList { "convert", "--to", "png" } << "holiday.v2.png";
    QTest::newRow("compress") << QStringList { "compress", "--quality", "70" } << "holiday.v2.jpg";
    QTest::newRow("resize") << QStringList { "resize", "--percent", "50" } << "holiday.v2.jpg";
    QTest::newRow("rotate") << QStringList { "rotate", "--left" } << "holiday.v2.jpg";
    QTest::newRow("topdf") << QStringList { "topdf" } << "holiday.v2.pdf";
}

void tst_QuorvelCli::namesKeepInnerDots()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, written);

    const QString source = m_work->filePath(QStringLiteral("holiday.v2.jpg"));
    QVERIFY(QFile::copy(fixture(QStringLiteral("photo.jpg")), source));
    const QString out = m_work->filePath(QStringLiteral("out"));
    const CliResult result
        = runCli(arguments + QStringList { QStringLiteral("-o"), out, source }, m_work->path());
    QVERIFY2(result.exitCode == 0, result.err.constData());
    QCOMPARE(allEntries(out), QStringList { written });
}

void tst_QuorvelCli::interruptLeavesCompleteFiles()
{
    // Thirty slow conversions (lossless WebP of noise) one at a time; Ctrl-C
    // once the first is written. The file in progress is finished, the
    // queued ones are dropped and reported, and nothing half-written stays.
    const QString in = m_work->filePath(QStringLiteral("in"));
    QVERIFY(QDir().mkpath(in));
    QImage noise(700, 700, QImage::Format_RGB32);
    QRandomGenerator random(3);
    for (int y = 0; y < noise.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x)
            line[x] = 0xff000000u | (random.generate() & 0xffffffu);
    }
    QVERIFY(noise.save(QDir(in).filePath(QStringLiteral("n00.png"))));
    for (int i = 1; i < 30; ++i)
        QVERIFY(QFile::copy(QDir(in).filePath(QStringLiteral("n00.png")),
            QDir(in).filePath(QStringLiteral("n%1.png").arg(i, 2, 10, QLatin1Char('0')))));

    const QString out = m_work->filePath(QStringLiteral("out"));
    QProcess process;
    process.setWorkingDirectory(m_work->path());
    process.start(QStringLiteral(QUORVEL_CLI),
        { QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("webp"),
            QStringLiteral("-j"), QStringLiteral("1"), QStringLiteral("--json"),
            QStringLiteral("-o"), out, in });
    QVERIFY(process.waitForStarted());
    QVERIFY(TestUtils::waitUntil(
        [out]() {
            return !QDir(out).entryList({ QStringLiteral("*.webp") }, QDir::Files).isEmpty();
        },
        120000));
    ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(process.exitCode(), 130);

    const QStringList written = allEntries(out);
    QVERIFY2(written.size() < 30, qPrintable(written.join(QLatin1Char(' '))));
    for (const QString &name : written) {
        QVERIFY2(name.endsWith(QLatin1String(".webp")) && !name.startsWith(QLatin1Char('.')),
            qPrintable(name));
        QCOMPARE(QImageReader(QDir(out).filePath(name)).size(), QSize(700, 700));
    }
    // Every input has its line: the written ones ok, the rest interrupted.
    const QList<QByteArray> lines = process.readAllStandardOutput().trimmed().split('\n');
    QCOMPARE(lines.size(), 30);
    int ok = 0;
    for (const QByteArray &line : lines) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        if (object.value(QStringLiteral("status")).toString() == QLatin1String("ok"))
            ++ok;
        else
            QCOMPARE(object.value(QStringLiteral("error")).toString(),
                QStringLiteral("not processed: interrupted"));
    }
    QCOMPARE(ok, written.size());
}

void tst_QuorvelCli::decoderCrashFailsAlone_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("convert") << QStringList { "convert", "--to", "png" }
                             << QStringList { "alpha.png", "icon.png", "photo.png" };
    QTest::newRow("resize") << QStringList { "resize", "--percent", "50", "--to", "png" }
                            << QStringList { "alpha.png", "icon.png", "photo.png" };
    QTest::newRow("rotate") << QStringList { "rotate", "--left", "--to", "png" }
                            << QStringList { "alpha.png", "icon.png", "photo.png" };
    QTest::newRow("topdf") << QStringList { "topdf" }
                           << QStringList { "alpha.pdf", "icon.pdf", "photo.pdf" };
    QTest::newRow("topdf combined")
        << QStringList { "topdf", "--combined" } << QStringList { "photo.pdf" };
}

// A decoder that crashes takes down only its helper: with a helper that
// crashes on everything, the TGA fails with the reason and the others,
// the 336-byte icon named .tga included (read by the toolkit), are written.
void tst_QuorvelCli::decoderCrashFailsAlone()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, expected);
    const QString crasher = TestUtils::writeFile(
        m_work->path(), QStringLiteral("crasher.sh"), "#!/bin/sh\nkill -SEGV $$\n");
    QFile::setPermissions(crasher, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUORVEL_DECODE_HELPER"), crasher);
    const QString tga = m_work->filePath(QStringLiteral("shot.tga"));
    QVERIFY(QFile::copy(
        fixture(QStringLiteral("crash.tga")), m_work->filePath(QStringLiteral("icon.tga"))));
    QVERIFY(TestUtils::writeFile(m_work->path(), QStringLiteral("shot.tga"),
                QByteArray("\0\0\2\0\0\0\0\0\0\0\0\0\1\0\1\0\x18\0\0\0\xff", 21))
                .size()
        > 0);
    const QString out = m_work->filePath(QStringLiteral("out"));
    const CliResult result = runCli(arguments
            + QStringList { QStringLiteral("-o"), out, fixture(QStringLiteral("photo.jpg")), tga,
                m_work->filePath(QStringLiteral("icon.tga")),
                fixture(QStringLiteral("alpha.png")) },
        m_work->path(), environment);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(allEntries(out), expected);
    QVERIFY2(result.err.contains(QFile::encodeName(tga) + ": the decoder crashed on this file"),
        result.err.constData());
}

void tst_QuorvelCli::specialFilesFailAlone()
{
    // A FIFO named directly and one behind a link in a folder would block
    // the first open for ever; a link to /dev/zero would be read without end.
    const QString in = m_work->filePath(QStringLiteral("in"));
    QVERIFY(QDir().mkpath(in));
    const QString fifo = m_work->filePath(QStringLiteral("pipe.jpg"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString otherFifo = m_work->filePath(QStringLiteral("other-pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(otherFifo).constData(), 0600), 0);
    QVERIFY(QFile::link(otherFifo, QDir(in).filePath(QStringLiteral("linked-pipe.jpg"))));
    QVERIFY(
        QFile::link(QStringLiteral("/dev/zero"), QDir(in).filePath(QStringLiteral("zero.jpg"))));
    QVERIFY(QFile::copy(
        fixture(QStringLiteral("photo.jpg")), QDir(in).filePath(QStringLiteral("photo.jpg"))));

    QElapsedTimer timer;
    timer.start();
    const QString out = m_work->filePath(QStringLiteral("out"));
    const CliResult result
        = runCli({ QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("png"),
                     QStringLiteral("-o"), out, fifo, in },
            m_work->path());
    QVERIFY2(timer.elapsed() < 30000, "a special file stalled the run");
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(allEntries(out), QStringList { "photo.png" });
    const QString err = QString::fromLocal8Bit(result.err);
    QVERIFY2(err.contains(fifo + QStringLiteral(": not a regular file (a FIFO)")), qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral("linked-pipe.jpg: not a regular file (a FIFO)")),
        qPrintable(err));
    QVERIFY2(
        err.contains(QStringLiteral("zero.jpg: not a regular file (a device)")), qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral("1 of 4 done, 3 failed")), qPrintable(err));
}

void tst_QuorvelCli::namesThatAreNotUtf8()
{
    // Latin-1 "é" in a folder walked by the run: it is converted and
    // counted like any other file, its output keeps the name's bytes, and
    // the terminal is shown U+FFFD in its place.
    const QString in = m_work->filePath(QStringLiteral("in"));
    QVERIFY(QDir().mkpath(in));
    const QByteArray rawIn = QFile::encodeName(in);
    QVERIFY(QFile::copy(
        fixture(QStringLiteral("photo.jpg")), QDir(in).filePath(QStringLiteral("x.jpg"))));
    QCOMPARE(::rename(QByteArray(rawIn + "/x.jpg").constData(),
                 QByteArray(rawIn + "/caf\xe9.jpg").constData()),
        0);
    QVERIFY(QFile::copy(
        fixture(QStringLiteral("alpha.png")), QDir(in).filePath(QStringLiteral("plain.png"))));

    const QString out = m_work->filePath(QStringLiteral("out"));
    const CliResult result = runCli({ QStringLiteral("convert"), QStringLiteral("--to"),
                                        QStringLiteral("png"), QStringLiteral("-o"), out, in },
        m_work->path());
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.err.contains("2 of 2 done"), result.err.constData());
    struct stat st;
    QCOMPARE(::stat(QByteArray(QFile::encodeName(out) + "/caf\xe9.png").constData(), &st), 0);
    QVERIFY(st.st_size > 0);
    QVERIFY2(result.out.contains("caf\xef\xbf\xbd.jpg"), result.out.constData());
}

void tst_QuorvelCli::longNamesWork()
{
    // 250 bytes: the longest names most file systems take; the temporary
    // file beside the output must not be longer.
    const QString name = QString(246, QLatin1Char('n')) + QStringLiteral(".jpg");
    const QString in = m_work->filePath(QStringLiteral("in"));
    QVERIFY(QDir().mkpath(in));
    QVERIFY(QFile::copy(fixture(QStringLiteral("photo.jpg")), QDir(in).filePath(name)));
    const QString out = m_work->filePath(QStringLiteral("out"));
    for (const char *format : { "png", "webp", "bmp" }) {
        const CliResult result = runCli({ QStringLiteral("convert"), QStringLiteral("--to"),
                                            QLatin1String(format), QStringLiteral("-o"), out, in },
            m_work->path());
        QVERIFY2(result.exitCode == 0, result.err.constData());
    }
    QCOMPARE(allEntries(out).size(), 3);
}

void tst_QuorvelCli::topDownBitmapReadsUpright()
{
    // A BMP whose header gives a negative height stores its rows top first.
    QByteArray bmp("BM");
    auto le32 = [&bmp](quint32 v) {
        for (int i = 0; i < 4; ++i)
            bmp.append(char((v >> (8 * i)) & 0xFF));
    };
    auto le16 = [&bmp](quint16 v) {
        bmp.append(char(v & 0xFF));
        bmp.append(char(v >> 8));
    };
    const int width = 4, height = 3, stride = 12;
    le32(54 + stride * height);
    le32(0);
    le32(54);
    le32(40);
    le32(width);
    le32(quint32(-height));
    le16(1);
    le16(24);
    le32(0);
    le32(stride * height);
    le32(2835);
    le32(2835);
    le32(0);
    le32(0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bmp.append(y == 0 ? QByteArray("\x00\x00\xff", 3) : QByteArray("\xff\x00\x00", 3));
    const QString path = TestUtils::writeFile(m_work->path(), QStringLiteral("topdown.bmp"), bmp);
    const QString out = m_work->filePath(QStringLiteral("out"));
    const CliResult result = runCli({ QStringLiteral("convert"), QStringLiteral("--to"),
                                        QStringLiteral("png"), QStringLiteral("-o"), out, path },
        m_work->path());
    QVERIFY2(result.exitCode == 0, result.err.constData());
    const QImage image(QDir(out).filePath(QStringLiteral("topdown.png")));
    QCOMPARE(image.size(), QSize(4, 3));
    QCOMPARE(image.pixel(0, 0), qRgb(255, 0, 0));
    QCOMPARE(image.pixel(0, 2), qRgb(0, 0, 255));
}

void tst_QuorvelCli::outputOverThePixelCap()
{
    // 65535 pixels wide from 64 x 48: 65535 x 49151, refused before the
    // scaler allocates 12 GB.
    const QString out = m_work->filePath(QStringLiteral("out"));
    const CliResult result
        = runCli({ QStringLiteral("resize"), QStringLiteral("--width"), QStringLiteral("65535"),
                     QStringLiteral("-o"), out, fixture(QStringLiteral("photo.jpg")) },
            m_work->path());
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(
        result.err.contains("too large: 65535 x 49151 pixels, the limit is 209,715,200 pixels"),
        result.err.constData());
    QCOMPARE(allEntries(out), QStringList());
}

void tst_QuorvelCli::fullDisk_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("input");
    for (const char *format : { "jpg", "png", "bmp", "webp", "tif" }) {
        QTest::addRow("convert to %s", format)
            << QStringList { "convert", "--to", format } << "noise.png";
        QTest::addRow("frompdf to %s", format)
            << QStringList { "frompdf", "--to", format } << "big.pdf";
    }
    QTest::newRow("resize") << QStringList { "resize", "--percent", "100", "--to", "png" }
                            << "noise.png";
    QTest::newRow("rotate") << QStringList { "rotate", "--right", "--to", "png" } << "noise.png";
    QTest::newRow("compress") << QStringList { "compress", "--quality", "95" } << "noise.png";
    QTest::newRow("gif") << QStringList { "gif", "--colors-percent", "100" } << "noise.gif";
    QTest::newRow("topdf") << QStringList { "topdf" } << "noise.png";
    QTest::newRow("topdf combined") << QStringList { "topdf", "--combined" } << "noise.png";
}

// Every command and output format on a file system with room for two pages
// of memory: the file fails with the reason, and nothing it began is left.
void tst_QuorvelCli::fullDisk()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, input);
    if (::geteuid() != 0)
        QSKIP("a tiny file system needs mounting, which needs root");
    const QString mount = m_work->filePath(QStringLiteral("small"));
    QVERIFY(QDir().mkpath(mount));
    const QByteArray native = QFile::encodeName(mount);
    const QString mountCommand = QStringLiteral("mount -t tmpfs -o size=8k tmpfs '%1'").arg(mount);
    if (QProcess::execute(QStringLiteral("sh"), { QStringLiteral("-c"), mountCommand }) != 0)
        QSKIP("mounting a tmpfs failed here (no permission in this container)");
    auto unmount
        = qScopeGuard([mount]() { QProcess::execute(QStringLiteral("umount"), { mount }); });

    QString source = fixture(input);
    if (input == QLatin1String("noise.gif") && !QFileInfo::exists(source)) {
        QVector<QColor> colours;
        for (int i = 0; i < 60; ++i)
            colours.append(QColor::fromHsv(i * 6, 255, 128 + i));
        QVERIFY(TestFixtures::writeAnimatedGif(source, 300, 300, colours));
    }
    if (input == QLatin1String("big.pdf") && !QFileInfo::exists(source))
        QVERIFY(PdfFixtures::writePdf(source, 4));
    const CliResult result
        = runCli(arguments + QStringList { QStringLiteral("-o"), mount, source }, m_work->path());
    QVERIFY2(result.exitCode == 1, result.err.constData());
    QVERIFY2(result.err.contains("no space left on the device"), result.err.constData());
    // Complete files may remain (a page that fitted); nothing partial or temporary.
    for (const QString &name : allEntries(mount)) {
        QVERIFY2(!name.startsWith(QLatin1Char('.')), qPrintable(name));
        QImageReader reader(QDir(mount).filePath(name));
        QVERIFY2(name.endsWith(QLatin1String(".pdf")) || !reader.read().isNull(), qPrintable(name));
    }
}

void tst_QuorvelCli::killedRunLeavesNoFileAtTheFinalName()
{
    // Killed without warning in the middle of a write: only the hidden
    // temporary file can remain, and the next run into the folder clears it.
    const QString in = m_work->filePath(QStringLiteral("in"));
    QVERIFY(QDir().mkpath(in));
    QImage noise(900, 900, QImage::Format_RGB32);
    QRandomGenerator random(5);
    for (int y = 0; y < noise.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x)
            line[x] = 0xff000000u | (random.generate() & 0xffffffu);
    }
    for (int i = 0; i < 12; ++i)
        QVERIFY(noise.save(
            QDir(in).filePath(QStringLiteral("n%1.png").arg(i, 2, 10, QLatin1Char('0')))));
    const QString out = m_work->filePath(QStringLiteral("out"));
    for (int attempt = 0; attempt < 3; ++attempt) {
        QProcess process;
        process.start(QStringLiteral(QUORVEL_CLI),
            { QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("webp"),
                QStringLiteral("-j"), QStringLiteral("2"), QStringLiteral("-o"), out, in });
        QVERIFY(process.waitForStarted());
        // Once a temporary file exists, a write is in progress.
        const bool writing = TestUtils::waitUntil(
            [out]() {
                return !QDir(out)
                            .entryList({ QStringLiteral(".qv-*") }, QDir::Files | QDir::Hidden)
                            .isEmpty();
            },
            60000);
        ::kill(pid_t(process.processId()), SIGKILL);
        process.waitForFinished();
        if (!writing)
            continue;
        for (const QString &name : allEntries(out)) {
            if (name.startsWith(QLatin1Char('.')))
                continue;
            QVERIFY2(QFileInfo(QDir(out).filePath(name)).size() > 0, qPrintable(name));
            QCOMPARE(QImageReader(QDir(out).filePath(name)).size(), QSize(900, 900));
        }
    }
    // The next run removes what the killed ones left.
    const CliResult result
        = runCli({ QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("png"),
                     QStringLiteral("-o"), out, fixture(QStringLiteral("photo.jpg")) },
            m_work->path());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(
        QDir(out).entryList({ QStringLiteral(".*") }, QDir::Files | QDir::Hidden), QStringList());
}

namespace {

// A small file system mounted for one test (root only), unmounted on exit.
struct ScratchMount
{
    QString path;
    bool mounted = false;
    ScratchMount(const QString &dir, const QString &options)
        : path(dir)
    {
        QDir().mkpath(dir);
        mounted = TestUtils::isRoot()
            && QProcess::execute(QStringLiteral("mount"),
                   { QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"), options,
                       QStringLiteral("tmpfs"), dir })
                == 0;
    }
    ~ScratchMount()
    {
        if (mounted)
            QProcess::execute(QStringLiteral("umount"), { path });
    }
};

} // namespace

void tst_QuorvelCli::reasonsReachTheJson_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("input"); // a fixture name, or made here
    QTest::addColumn<QString>("output"); // "", "RO" read-only disk, "FULL" full disk
    QTest::addColumn<QString>("reason"); // part of the "error" member

    QTest::newRow("corrupt") << "convert"
                             << "corrupt.jpg"
                             << ""
                             << "not an image";
    QTest::newRow("truncated") << "convert"
                               << "truncated.jpg"
                               << ""
                               << "truncated";
    QTest::newRow("GIF pixels that do not decompress") << "gif"
                                                       << "damaged.gif"
                                                       << ""
                                                       << "damaged";
    QTest::newRow("too large") << "compress"
                               << "huge.png"
                               << ""
                               << "too large: 40000 x 40000";
    QTest::newRow("password PDF") << "frompdf"
                                  << "locked.pdf"
                                  << ""
                                  << "password";
    QTest::newRow("read-only output folder") << "convert"
                                             << "photo.jpg"
                                             << "RO"
                                             << "read-only";
    QTest::newRow("full disk") << "convert"
                               << "noise.png"
                               << "FULL"
                               << "no space left on the device";
}

void tst_QuorvelCli::reasonsReachTheJson()
{
    QFETCH(QString, command);
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(QString, reason);
    const QString dir = m_work->path();
    QString path = fixture(input);
    if (input == "corrupt.jpg")
        path = TestUtils::writeFile(dir, input, "plain words, no picture");
    else if (input == "truncated.jpg")
        path = TestUtils::writeFile(dir, input, readBytes(fixture("photo.jpg")).left(400));
    else if (input == "damaged.gif")
        path = TestUtils::writeFile(
            dir, input, TestFixtures::withDamagedLastFrame(readBytes(fixture("anim.gif"))));
    else if (input == "huge.png")
        path = TestUtils::writeFile(dir, input, TestUtils::pngHeaderOnly(40000, 40000));
    else if (input == "locked.pdf")
        QVERIFY(PdfFixtures::writePdf(path = QDir(dir).filePath(input), 2, "secret"));

    QString out = QDir(dir).filePath("out");
    std::unique_ptr<ScratchMount> mount;
    if (!output.isEmpty()) {
        mount.reset(new ScratchMount(out, output == "RO" ? "size=64k,ro" : "size=64k"));
        if (!mount->mounted) {
            if (output == "FULL")
                QSKIP("a full disk needs a small tmpfs, which only root can mount");
            // Not root: a folder without write permission does as well.
            QFile::setPermissions(out, QFile::ReadOwner | QFile::ExeOwner);
            reason = "no permission";
        }
    }
    QStringList args { command, "--json", "-o", out, path };
    if (command == "compress")
        args << "--quality"
             << "80";
    else if (command != "gif")
        args << "--to"
             << "png";
    const CliResult result = runCli(args, dir);
    QCOMPARE(result.exitCode, 1);
    const QJsonObject object = QJsonDocument::fromJson(result.out.trimmed()).object();
    QCOMPARE(object.value("status").toString(), QString("failed"));
    const QString error = object.value("error").toString();
    QVERIFY2(error.contains(reason), qPrintable(error));
    // The same words on standard error.
    QVERIFY2(result.err.contains(error.toLocal8Bit()), result.err.constData());
    // Nothing partial left behind.
    if (QFileInfo(out).isDir())
        QVERIFY2(allEntries(out).isEmpty(), qPrintable(allEntries(out).join(',')));
}

void tst_QuorvelCli::librariesOpenForTheWorkThatNeedsThem_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("opened");
    QTest::addColumn<QStringList>("notOpened");

    const QString heif = QStringLiteral("libheif.so");
    const QString freeImage = QStringLiteral("libfreeimage");
    const QString svg = QStringLiteral("libqvsvgrender");
    const QString widgets = QStringLiteral("libQt5Widgets");
    const QString pdf = QStringLiteral("libqpdf");
    QTest::newRow("JPEG to JPG") << QStringList { "convert", "--to", "jpg", "photo.jpg" }
                                 << QStringList() << QStringList { heif, freeImage, svg, widgets };
    QTest::newRow("HEIC to JPG") << QStringList { "convert", "--to", "jpg", "shot.heic" }
                                 << QStringList { heif } << QStringList { freeImage, svg };
    QTest::newRow("turn by 30 degrees")
        << QStringList { "rotate", "--angle", "30", "--to", "png", "photo.jpg" }
        << QStringList { freeImage } << QStringList { heif, svg };
    QTest::newRow("SVG to PNG") << QStringList { "convert", "--to", "png", "drawing.svg" }
                                << QStringList { svg, QStringLiteral("libQt5Svg") }
                                << QStringList { heif, freeImage, pdf };
    QTest::newRow("images to PDF") << QStringList { "topdf", "photo.jpg" }
                                   << QStringList { QStringLiteral("libqvpdfwrite"), pdf }
                                   << QStringList { heif, freeImage, svg };
    // The toolkit's image plug-ins: read by their format, not offered every file.
    const QStringList otherPlugIns = { QStringLiteral("libqsvg"), QStringLiteral("libqgif"),
        QStringLiteral("libqicns"), widgets };
    QTest::newRow("PNG to JPG") << QStringList { "convert", "--to", "jpg", "alpha.png" }
                                << QStringList() << otherPlugIns + QStringList { "libqjpeg" };
    QTest::newRow("JPEG resized") << QStringList { "resize", "--width", "32", "photo.jpg" }
                                  << QStringList() << otherPlugIns + QStringList { "libqjpeg" };
    QTest::newRow("TIFF to JPG") << QStringList { "convert", "--to", "jpg", "scan.tif" }
                                 << QStringList { "libqtiff" } << otherPlugIns;
    // PNG and BMP are written by our own writers.
    QTest::newRow("JPEG to PNG") << QStringList { "convert", "--to", "png", "photo.jpg" }
                                 << QStringList() << otherPlugIns + QStringList { "libqjpeg" };
    QTest::newRow("PNG to BMP") << QStringList { "convert", "--to", "bmp", "alpha.png" }
                                << QStringList() << otherPlugIns + QStringList { "libqjpeg" };
}

// The heavy codec libraries are opened by the work that needs them, not at
// start-up: the dynamic loader's own record of the files it opened for the
// command's process (the decode helper, a process of its own, is not looked at).
void tst_QuorvelCli::librariesOpenForTheWorkThatNeedsThem()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, opened);
    QFETCH(QStringList, notOpened);
    if (arguments.last().endsWith(QLatin1String(".heic")) && !m_haveHeic)
        QSKIP("this libheif cannot write HEIC files");

    const QString out = m_work->filePath(QStringLiteral("out"));
    const QString log = m_work->filePath(QStringLiteral("loader"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
    environment.insert(QStringLiteral("LD_DEBUG_OUTPUT"), log);
    arguments.last() = fixture(arguments.last());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(QUORVEL_CLI), arguments << QStringLiteral("-o") << out);
    QVERIFY(process.waitForStarted());
    const qint64 pid = process.processId();
    QVERIFY(process.waitForFinished(60000));
    QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
        process.readAllStandardError().constData());
    QCOMPARE(allEntries(out).size(), 1);

    // One file per process: LD_DEBUG_OUTPUT.<pid>.
    const QByteArray record = readBytes(log + QLatin1Char('.') + QString::number(pid));
    QVERIFY2(!record.isEmpty(), "the dynamic loader kept no record");
    QStringList files;
    const QRegularExpression fileLine(QStringLiteral("file=(\\S+) \\["));
    for (auto match = fileLine.globalMatch(QString::fromLocal8Bit(record)); match.hasNext();)
        files.append(QFileInfo(match.next().captured(1)).fileName());
    for (const QString &library : opened) {
        QVERIFY2(std::any_of(files.cbegin(), files.cend(),
                     [library](const QString &file) { return file.startsWith(library); }),
            qPrintable(library + QLatin1String(" was not opened")));
    }
    for (const QString &library : notOpened) {
        for (const QString &file : qAsConst(files))
            QVERIFY2(!file.startsWith(library), qPrintable(file + QLatin1String(" was opened")));
    }
}

void tst_QuorvelCli::bigWorkStartsAgainWithLargePages_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("starts");
    QTest::newRow("small photo: one start") << "photo.jpg" << 1;
    QTest::newRow("big picture: started again") << "big.bmp" << 2;
}

// A run on pictures big enough starts the program again with the
// allocator's large-page setting (the loader's record of the process shows
// the libraries loaded twice), once, and does its work as usual.
void tst_QuorvelCli::bigWorkStartsAgainWithLargePages()
{
    QFETCH(QString, input);
    QFETCH(int, starts);
    if (!LargePages::askingHelps())
        QSKIP("this system gives large pages to all memory or to none, or the allocator is a "
              "sanitizer's: the program never starts again");
    if (!QFileInfo::exists(fixture(QStringLiteral("big.bmp")))) {
        // 4.3 MB of pixels, above the size that is worth a second start.
        QImage big(1200, 1200, QImage::Format_RGB888);
        big.fill(QColor(40, 90, 160));
        QVERIFY(big.save(fixture(QStringLiteral("big.bmp"))));
        QVERIFY(QFileInfo(fixture(QStringLiteral("big.bmp"))).size() >= LargePages::kWorthBytes);
    }
    const QString out = m_work->filePath(QStringLiteral("out"));
    const QString log = m_work->filePath(QStringLiteral("loader"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("GLIBC_TUNABLES"));
    environment.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
    environment.insert(QStringLiteral("LD_DEBUG_OUTPUT"), log);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(QUORVEL_CLI),
        { QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("png"), fixture(input),
            QStringLiteral("-o"), out });
    QVERIFY(process.waitForStarted());
    const qint64 pid = process.processId();
    QVERIFY(process.waitForFinished(60000));
    QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
        process.readAllStandardError().constData());
    checkOutput(out, QFileInfo(input).completeBaseName() + QLatin1String(".png"));
    // Both starts keep the process number, so both write to one record.
    const QByteArray record = readBytes(log + QLatin1Char('.') + QString::number(pid));
    QCOMPARE(record.count("file=libQt5Core.so.5 [0];  needed by"), starts);
}

QTEST_GUILESS_MAIN(tst_QuorvelCli)
#include "tst_QuorvelCli.moc"
