#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "TestUtils.h"
#include "app/ui/KApplication.h"
#include "batch/ResizeParams.h"
#include "batch/ui/KPicBatchProcessResize.h"
#include "batch/ui/KPicResizeOutput.h"
#include "batch/ui/KPicResizeParams.h"
#include "codec/KImageWrapper.h"
#include "widgets/KIntValidator.h"
#include "widgets/KPicResizeSlider.h"
#include "widgets/KTableListItem.h"
#include "widgets/KTableListView.h"

class tst_KPicBatchProcessResize : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void targetSize_data();
    void targetSize();
    void panelReadsWhatTheUserSees();
    void referenceSizeComesFromTheFirstImage();
    void runWritesEveryFormat_data();
    void runWritesEveryFormat();

private:
    bool runAndWait(KPicBatchProcessResize &page);
};

void tst_KPicBatchProcessResize::initTestCase() { KApplication::installFontSubstitutions(); }

void tst_KPicBatchProcessResize::targetSize_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("lock");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("target");
    QTest::newRow("100% keeps the size")
        << 1 << 0 << 0 << true << 1.0 << QSize(333, 217) << QSize(333, 217);
    QTest::newRow("10% of 15x15 is 2x2")
        << 1 << 0 << 0 << true << 0.1 << QSize(15, 15) << QSize(2, 2);
    QTest::newRow("10% of 4x4 is empty")
        << 1 << 0 << 0 << true << 0.1 << QSize(4, 4) << QSize(0, 0);
    QTest::newRow("200%") << 1 << 0 << 0 << true << 2.0 << QSize(10, 7) << QSize(20, 14);
    QTest::newRow("lock: width 800 of 1600x1200")
        << 0 << 800 << 0 << true << 1.0 << QSize(1600, 1200) << QSize(800, 600);
    QTest::newRow("lock: height 600 of 1200x1600")
        << 0 << 0 << 600 << true << 1.0 << QSize(1200, 1600) << QSize(450, 600);
    QTest::newRow("lock, nothing typed: own size")
        << 0 << 0 << 0 << true << 1.0 << QSize(640, 480) << QSize(640, 480);
    QTest::newRow("unlocked: as typed")
        << 0 << 300 << 100 << false << 1.0 << QSize(640, 480) << QSize(300, 100);
    QTest::newRow("thumbnail preset stretches")
        << 2 << 100 << 139 << false << 1.0 << QSize(640, 480) << QSize(100, 139);
}

void tst_KPicBatchProcessResize::targetSize()
{
    QFETCH(int, mode);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, lock);
    QFETCH(double, scale);
    QFETCH(QSize, source);
    QFETCH(QSize, target);
    ResizeParams p;
    p.mode = mode;
    p.width = width;
    p.height = height;
    p.lockRatio = lock;
    p.scale = scale;
    QCOMPARE(p.targetFor(source), target);
}

void tst_KPicBatchProcessResize::panelReadsWhatTheUserSees()
{
    KPicResizeParams panel;
    QCOMPARE(panel.params().mode, 1);
    QCOMPARE(panel.params().scale, 1.0);
    panel.scaleEdit()->setText("25");
    QCOMPARE(panel.slider()->value(), 25);
    QCOMPARE(panel.params().scale, 0.25);

    panel.modeButton(0)->click();
    QVERIFY(panel.widthEdit()->isEnabled());
    QVERIFY(!panel.scaleEdit()->isEnabled());
    panel.widthEdit()->clear();
    QTest::keyClicks(panel.widthEdit(), "800");
    QCOMPARE(panel.heightEdit()->text(), KIntValidator::keyword());
    ResizeParams p = panel.params();
    QCOMPARE(p.width, 800);
    QCOMPARE(p.height, 0);
    QVERIFY(p.lockRatio);

    panel.lockBox()->click(); // off
    panel.heightEdit()->setText("90");
    p = panel.params();
    QVERIFY(!p.lockRatio);
    QCOMPARE(p.height, 90);

    panel.modeButton(2)->click();
    panel.presetCombo()->setCurrentIndex(7);
    QCOMPARE(panel.presetCombo()->currentText(), QString("Thumbnail (100*139)"));
    p = panel.params();
    QCOMPARE(QSize(p.width, p.height), QSize(100, 139));
    QVERIFY(!p.lockRatio);
}

void tst_KPicBatchProcessResize::referenceSizeComesFromTheFirstImage()
{
    QTemporaryDir dir;
    QVERIFY(TestUtils::quadrantImage(1600, 1200).save(dir.filePath("big.png")));
    KPicBatchProcessResize page;
    page.fileList()->appendFiles({ dir.filePath("big.png") });
    // Read on a worker: the answer arrives through the event loop.
    QTRY_COMPARE(page.paramsPanel()->imageSize(), QSize(1600, 1200));
    page.paramsPanel()->modeButton(0)->click();
    page.paramsPanel()->lockBox()->click(); // off: real numbers, not "-1"
    QCOMPARE(page.paramsPanel()->widthEdit()->text(), QString("1600"));
    QCOMPARE(page.paramsPanel()->heightEdit()->text(), QString("1200"));
    page.paramsPanel()->lockBox()->click(); // on: the height follows
    QCOMPARE(page.paramsPanel()->heightEdit()->text(), KIntValidator::keyword());
    QCOMPARE(page.paramsPanel()->params().width, 1600);
}

bool tst_KPicBatchProcessResize::runAndWait(KPicBatchProcessResize &page)
{
    QSignalSpy finished(&page, &KPicBatchProcessResize::runFinished);
    page.outputPanel()->startButton()->click();
    return finished.wait(60000);
}

void tst_KPicBatchProcessResize::runWritesEveryFormat_data()
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

void tst_KPicBatchProcessResize::runWritesEveryFormat()
{
    QFETCH(OutputFormat, format);
    QFETCH(QString, ext);
    QFETCH(bool, keepsAlpha);
    QTemporaryDir in, out;
    QVERIFY(TestUtils::halfTransparentImage(80, 40).save(in.filePath("a.png")));
    QVERIFY(TestUtils::quadrantImage(80, 40).save(in.filePath("a.jpg")));
    QVERIFY(!TestUtils::writeFile(in.path(), "broken.jpg", "nope").isEmpty());
    KPicBatchProcessResize page;
    page.setOutputFolder(out.path());
    page.fileList()->appendFiles(
        { in.filePath("a.png"), in.filePath("a.jpg"), in.filePath("broken.jpg") });
    page.paramsPanel()->scaleEdit()->setText("50");
    page.outputPanel()->formatCombo()->setCurrentIndex(int(format));
    QVERIFY(runAndWait(page));
    QCOMPARE(page.lastRunFolder(), out.path() + "/quorvel");
    // One task per base name, in list order: a.png first, then a.jpg.
    QCOMPARE(page.fileList()->result(0).path, out.path() + "/quorvel/a." + ext);
    QCOMPARE(page.fileList()->result(1).path, out.path() + "/quorvel/a(1)." + ext);
    QCOMPARE(page.fileList()->row(2)->state(), BatchResult::Failed);
    QCOMPARE(QDir(page.lastRunFolder()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    KImageWrapper result;
    QVERIFY(result.load(page.fileList()->result(0).path));
    const QImage image = result.frameAt(0).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(40, 20));
    if (keepsAlpha)
        QCOMPARE(qAlpha(image.pixel(35, 10)), 0);
    else
        QVERIFY(TestUtils::colourNear(image.pixel(35, 10), qRgb(255, 255, 255), 4));
}

QTEST_MAIN(tst_KPicBatchProcessResize)
#include "tst_KPicBatchProcessResize.moc"
