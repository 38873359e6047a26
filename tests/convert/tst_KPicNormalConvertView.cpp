#include <QButtonGroup>
#include <QDir>
#include <QImageReader>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>

#include "TestFixtures.h"
#include "TestUtils.h"
#include "app/ui/KApplication.h"
#include "codec/KImageWrapper.h"
#include "convert/ui/KPicNormalConvertView.h"
#include "widgets/KTableListItem.h"
#include "widgets/KTableListView.h"

// Drives the conversion view with real files of every common kind.
class tst_KPicNormalConvertView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void startFollowsTheList();
    void convertsEveryKind_data();
    void convertsEveryKind();
    void secondRunGetsItsOwnFolder();
    void sameBaseNameGetsDistinctOutputs();
    void fileThatCrashedTheDecoderFailsAlone();

private:
    bool runAndWait(KPicNormalConvertView &view, int *maxActive = nullptr);
    QTemporaryDir m_in;
    QStringList m_sources;
};

void tst_KPicNormalConvertView::initTestCase()
{
    KApplication::installFontSubstitutions();
    const QString d = m_in.path();
    QImage photo = TestUtils::quadrantImage(64, 48);
    QVERIFY(photo.save(d + "/photo.jpg", "JPG", 95));
    QVERIFY(TestUtils::halfTransparentImage(40, 30).save(d + "/alpha.png"));
    QVERIFY(
        TestFixtures::writeAnimatedGif(d + "/anim.gif", 20, 10, { Qt::red, Qt::green, Qt::blue }));
    QVERIFY(TestFixtures::writeHeic(d + "/phone.heic", TestUtils::quadrantImage(64, 48)));
    QVERIFY(photo.save(d + "/scan.tif", "TIF"));
    QVERIFY(photo.save(d + "/web.webp", "WEBP", 90));
    QVERIFY(!TestUtils::writeFile(d, "broken.png", "this is not a PNG").isEmpty());
    m_sources = QStringList { d + "/photo.jpg", d + "/alpha.png", d + "/anim.gif",
        d + "/phone.heic", d + "/scan.tif", d + "/web.webp", d + "/broken.png" };
}

bool tst_KPicNormalConvertView::runAndWait(KPicNormalConvertView &view, int *maxActive)
{
    QSignalSpy finished(&view, &KPicNormalConvertView::runFinished);
    view.startButton()->click();
    int most = 0;
    const bool done = TestUtils::waitUntil(
        [&]() {
            most = qMax(most, view.pool()->activeThreadCount());
            return finished.count() > 0;
        },
        60000);
    if (maxActive)
        *maxActive = most;
    return done;
}

void tst_KPicNormalConvertView::startFollowsTheList()
{
    KPicNormalConvertView view;
    QVERIFY(!view.startButton()->isEnabled());
    view.fileList()->appendFiles({ m_sources[0] });
    QVERIFY(view.startButton()->isEnabled());
    view.fileList()->onClearFile();
    QVERIFY(!view.startButton()->isEnabled());
}

void tst_KPicNormalConvertView::convertsEveryKind_data()
{
    QTest::addColumn<OutputFormat>("format");
    QTest::addColumn<QString>("ext");
    QTest::addColumn<bool>("keepsAlpha");
    QTest::newRow("JPG") << OutputFormat::Jpg << "jpg" << false;
    QTest::newRow("PNG") << OutputFormat::Png << "png" << true;
    QTest::newRow("BMP") << OutputFormat::Bmp << "bmp" << false;
    QTest::newRow("WEBP") << OutputFormat::Webp << "webp" << true;
    QTest::newRow("TIF") << OutputFormat::Tif << "tif" << true;
}

void tst_KPicNormalConvertView::convertsEveryKind()
{
    QFETCH(OutputFormat, format);
    QFETCH(QString, ext);
    QFETCH(bool, keepsAlpha);
    QTemporaryDir out;
    KPicNormalConvertView view;
    // The desktop folder need not exist: missing parents are created.
    view.setOutputDirectory(out.path() + "/home/Desktop");
    view.fileList()->appendFiles(m_sources);
    view.formatGroup()->button(int(format))->click();
    int maxActive = 0;
    QVERIFY(runAndWait(view, &maxActive));
    QVERIFY(maxActive <= 2);
    QCOMPARE(view.lastRunFolder(), out.path() + "/home/Desktop/format convert");
    QVERIFY(view.startButton()->isEnabled());
    QVERIFY(view.fileList()->addButton()->isEnabled());

    const QStringList bases { "photo", "alpha", "anim", "phone", "scan", "web" };
    for (int row = 0; row < bases.size(); ++row) {
        QCOMPARE(view.fileList()->row(row)->state(), BatchResult::Succeeded);
        const QString expected = view.lastRunFolder() + "/" + bases[row] + "." + ext;
        QCOMPARE(view.fileList()->result(row).path, expected);
        KImageWrapper check;
        QVERIFY2(check.load(expected), qPrintable(expected));
        QVERIFY(!check.frameAt(0).isNull());
    }
    QCOMPARE(view.fileList()->row(6)->state(), BatchResult::Failed);
    QVERIFY(view.fileList()->result(6).path.isEmpty());
    // Only the six outputs, nothing half-written.
    QCOMPARE(QDir(view.lastRunFolder()).entryList(QDir::Files | QDir::Hidden).size(), 6);

    // Transparency: white where the format has no alpha, kept otherwise.
    KImageWrapper alpha;
    QVERIFY(alpha.load(view.lastRunFolder() + "/alpha." + ext));
    const QImage a = alpha.frameAt(0).convertToFormat(QImage::Format_ARGB32);
    if (keepsAlpha)
        QCOMPARE(qAlpha(a.pixel(35, 15)), 0);
    else
        QVERIFY(TestUtils::colourNear(a.pixel(35, 15), qRgb(255, 255, 255), 3));
    QVERIFY(TestUtils::colourNear(a.pixel(5, 15), qRgb(200, 30, 30), 12));

    // The GIF gives one file of its first frame (white border, red inside).
    KImageWrapper gif;
    QVERIFY(gif.load(view.lastRunFolder() + "/anim." + ext));
    QCOMPARE(gif.frameCount(), 1);
    QVERIFY(TestUtils::colourNear(gif.frameAt(0).pixel(10, 5), qRgb(255, 0, 0), 12));
    QVERIFY(TestUtils::colourNear(gif.frameAt(0).pixel(0, 0), qRgb(255, 255, 255), 12));
}

void tst_KPicNormalConvertView::secondRunGetsItsOwnFolder()
{
    QTemporaryDir out;
    KPicNormalConvertView view;
    view.setOutputDirectory(out.path());
    view.fileList()->appendFiles({ m_sources[0], m_sources[6] });
    QVERIFY(runAndWait(view));
    QCOMPARE(view.lastRunFolder(), out.path() + "/format convert");
    QVERIFY(runAndWait(view));
    QCOMPARE(view.lastRunFolder(), out.path() + "/format convert(1)");
    QVERIFY(QFileInfo(out.path() + "/format convert(1)/photo.jpg").isFile());
}

void tst_KPicNormalConvertView::sameBaseNameGetsDistinctOutputs()
{
    QTemporaryDir in, out;
    QVERIFY(TestUtils::quadrantImage(32, 32).save(in.path() + "/a.png"));
    QVERIFY(TestFixtures::writeHeic(in.path() + "/a.heic", TestUtils::quadrantImage(32, 32)));
    KPicNormalConvertView view;
    view.setOutputDirectory(out.path());
    view.fileList()->appendFiles({ in.path() + "/a.heic", in.path() + "/a.png" });
    QVERIFY(runAndWait(view));
    QStringList written { view.fileList()->result(0).path, view.fileList()->result(1).path };
    written.sort();
    QCOMPARE(written,
        (QStringList { view.lastRunFolder() + "/a(1).jpg", view.lastRunFolder() + "/a.jpg" }));
}

// A decoder crash stays in the decode helper: with a helper that crashes
// on everything, the TGA row fails and the rest of the batch is written,
// the 336-byte icon named .tga (which used to abort the window) included.
void tst_KPicNormalConvertView::fileThatCrashedTheDecoderFailsAlone()
{
    const QString icon = m_in.path() + "/icon.tga";
    QFile::remove(icon);
    QVERIFY(QFile::copy(TestUtils::dataDir()
            + "/codec/ico-negative-height-named-tga-overflowed-freeimage-loads.tga",
        icon));
    const QString shot = TestUtils::writeFile(
        m_in.path(), "shot.tga", QByteArray("\0\0\2\0\0\0\0\0\0\0\0\0\1\0\1\0\x18\0\0\0\xff", 21));
    const QString crasher
        = TestUtils::writeFile(m_in.path(), "crasher.sh", "#!/bin/sh\nkill -SEGV $$\n");
    QFile::setPermissions(crasher, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("QUORVEL_DECODE_HELPER", QFile::encodeName(crasher));
    auto restore = qScopeGuard([]() { qunsetenv("QUORVEL_DECODE_HELPER"); });

    QTemporaryDir out;
    KPicNormalConvertView view;
    view.setOutputDirectory(out.path());
    view.fileList()->appendFiles({ m_sources[0], shot, icon, m_sources[1] });
    view.formatGroup()->button(int(OutputFormat::Png))->click();
    QVERIFY(runAndWait(view, nullptr));
    QCOMPARE(view.fileList()->row(0)->state(), BatchResult::Succeeded);
    QCOMPARE(view.fileList()->row(1)->state(), BatchResult::Failed);
    QCOMPARE(view.fileList()->row(2)->state(), BatchResult::Succeeded);
    QCOMPARE(view.fileList()->row(3)->state(), BatchResult::Succeeded);
    QCOMPARE(QDir(view.lastRunFolder()).entryList(QDir::Files | QDir::Hidden),
        QStringList({ "alpha.png", "icon.png", "photo.png" }));
}

QTEST_MAIN(tst_KPicNormalConvertView)
#include "tst_KPicNormalConvertView.moc"
