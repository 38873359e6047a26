#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QImageWriter>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "TestFixtures.h"
#include "TestUtils.h"
#include "app/ui/KApplication.h"
#include "batch/KBatchProcessRotateTask.h"
#include "batch/ui/KPicBatchProcessRotate.h"
#include "codec/KImageWrapper.h"
#include "widgets/KPicResizeSlider.h"
#include "widgets/KTableListItem.h"
#include "widgets/KTableListView.h"

class tst_KPicBatchProcessRotate : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void fixedOperationsMovePixels_data();
    void fixedOperationsMovePixels();
    void minusNinetyEqualsRightNinety();
    void controlsFollowEachOther();
    void freeAngleCorners_data();
    void freeAngleCorners();
    void zeroRewritesUnchanged();
    void animatedGifGivesOneFile();
    void jpegToJpgTurnsLosslessly_data();
    void jpegToJpgTurnsLosslessly();

private:
    QString runPage(const QStringList &files, int type, int angle, OutputFormat format,
        QTemporaryDir &out, int *failed = nullptr);
};

void tst_KPicBatchProcessRotate::initTestCase() { KApplication::installFontSubstitutions(); }

void tst_KPicBatchProcessRotate::fixedOperationsMovePixels_data()
{
    // quadrantImage: red top-left, green top-right, blue bottom-right, white bottom-left.
    QTest::addColumn<int>("type");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRgb>("topLeft");
    QTest::addColumn<QRgb>("bottomLeft");
    QTest::newRow("left 90: the top edge on the left")
        << 0 << QSize(300, 400) << qRgb(0, 255, 0) << qRgb(255, 0, 0);
    QTest::newRow("right 90") << 1 << QSize(300, 400) << qRgb(255, 255, 255) << qRgb(0, 0, 255);
    QTest::newRow("mirror left-right")
        << 2 << QSize(400, 300) << qRgb(0, 255, 0) << qRgb(0, 0, 255);
    QTest::newRow("mirror top-bottom")
        << 3 << QSize(400, 300) << qRgb(255, 255, 255) << qRgb(255, 0, 0);
}

void tst_KPicBatchProcessRotate::fixedOperationsMovePixels()
{
    QFETCH(int, type);
    QFETCH(QSize, size);
    QFETCH(QRgb, topLeft);
    QFETCH(QRgb, bottomLeft);
    const QImage out
        = KBatchProcessRotateTask::transform(TestUtils::quadrantImage(400, 300), type, 0);
    QCOMPARE(out.size(), size);
    QVERIFY(TestUtils::colourNear(out.pixel(10, 10), topLeft, 0));
    QVERIFY(TestUtils::colourNear(out.pixel(10, out.height() - 10), bottomLeft, 0));
}

void tst_KPicBatchProcessRotate::minusNinetyEqualsRightNinety()
{
    const QImage source = TestUtils::quadrantImage(40, 30);
    QCOMPARE(KBatchProcessRotateTask::transform(source, 4, -90),
        KBatchProcessRotateTask::transform(source, 1, 0));
}

void tst_KPicBatchProcessRotate::controlsFollowEachOther()
{
    KPicBatchProcessRotate page;
    QCOMPARE(page.rotationType(), 0);
    page.slider()->setValue(150);
    QCOMPARE(page.angleEdit()->text(), QString("150"));
    QCOMPARE(page.rotationType(), 4);
    QCOMPARE(page.typeGroup()->checkedId(), 4); // no visible radio stays checked
    page.typeGroup()->button(2)->click();
    QCOMPARE(page.rotationType(), 2);
    QCOMPARE(page.slider()->value(), 0);
    QCOMPARE(page.angleEdit()->text(), QString("0"));
    page.angleEdit()->setText("45");
    QCOMPARE(page.slider()->value(), 45);
    QCOMPARE(page.rotationType(), 4);
    QCOMPARE(page.angle(), 45);
}

QString tst_KPicBatchProcessRotate::runPage(const QStringList &files, int type, int angle,
    OutputFormat format, QTemporaryDir &out, int *failed)
{
    KPicBatchProcessRotate page;
    page.setOutputFolder(out.path());
    page.fileList()->appendFiles(files);
    if (type == 4) {
        page.slider()->setValue(angle == 0 ? 1 : 0); // make sure the slider moves
        page.slider()->setValue(angle);
    } else
        page.typeGroup()->button(type)->click();
    page.formatCombo()->setCurrentIndex(int(format));
    QSignalSpy finished(&page, &KPicBatchProcessRotate::runFinished);
    page.startButton()->click();
    if (!finished.wait(60000))
        return QString();
    int failures = 0;
    for (int i = 0; i < files.size(); ++i)
        failures += page.fileList()->row(i)->state() == BatchResult::Failed;
    if (failed)
        *failed = failures;
    return page.fileList()->result(0).path;
}

void tst_KPicBatchProcessRotate::freeAngleCorners_data()
{
    QTest::addColumn<OutputFormat>("format");
    QTest::addColumn<bool>("transparentCorners");
    QTest::newRow("PNG keeps alpha-0 corners") << OutputFormat::Png << true;
    QTest::newRow("JPG is flattened first: white corners") << OutputFormat::Jpg << false;
}

void tst_KPicBatchProcessRotate::freeAngleCorners()
{
    QFETCH(OutputFormat, format);
    QFETCH(bool, transparentCorners);
    QTemporaryDir in, out;
    QImage source(120, 80, QImage::Format_ARGB32);
    source.fill(QColor(20, 120, 200));
    QVERIFY(source.save(in.filePath("tilted.png")));
    const QString broken = TestUtils::writeFile(in.path(), "broken.png", "not a picture");
    int failed = -1;
    const QString written
        = runPage({ in.filePath("tilted.png"), broken }, 4, 30, format, out, &failed);
    QVERIFY(!written.isEmpty());
    QCOMPARE(failed, 1);
    // The failed file leaves nothing behind.
    QCOMPARE(
        QDir(QFileInfo(written).absolutePath()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    KImageWrapper wrapper;
    QVERIFY(wrapper.load(written));
    const QImage image = wrapper.frameAt(0).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(image.width() > 120 && image.height() > 80);
    const QRgb corner = image.pixel(1, 1);
    if (transparentCorners)
        QCOMPARE(qAlpha(corner), 0);
    else
        QVERIFY(TestUtils::colourNear(corner, qRgb(255, 255, 255), 6));
    QVERIFY(TestUtils::colourNear(
        image.pixel(image.width() / 2, image.height() / 2), qRgb(20, 120, 200), 10));
}

void tst_KPicBatchProcessRotate::zeroRewritesUnchanged()
{
    QTemporaryDir in, out;
    const QImage source = TestUtils::quadrantImage(50, 40);
    QVERIFY(source.save(in.filePath("same.bmp")));
    const QString written = runPage({ in.filePath("same.bmp") }, 4, 0, OutputFormat::Png, out);
    QVERIFY(written.endsWith("/same.png"));
    QImage png(written);
    QCOMPARE(
        png.convertToFormat(QImage::Format_RGB32), source.convertToFormat(QImage::Format_RGB32));
}

void tst_KPicBatchProcessRotate::animatedGifGivesOneFile()
{
    QTemporaryDir in, out;
    QVERIFY(TestFixtures::writeAnimatedGif(
        in.filePath("anim.gif"), 40, 20, { Qt::red, Qt::green, Qt::blue }));
    const QString written = runPage({ in.filePath("anim.gif") }, 0, 0, OutputFormat::Png, out);
    QVERIFY(!written.isEmpty());
    QCOMPARE(QDir(QFileInfo(written).absolutePath()).entryList(QDir::Files).size(), 1);
    const QImage image(written);
    QCOMPARE(image.size(), QSize(20, 40));
    QVERIFY(TestUtils::colourNear(image.pixel(10, 20), qRgb(255, 0, 0), 6));
}

void tst_KPicBatchProcessRotate::jpegToJpgTurnsLosslessly_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("angle");
    QTest::addColumn<bool>("lossless");
    // 4:2:0 blocks are 16 x 16; a turn that would move a partial block
    // across an edge is decoded and turned as before.
    QTest::newRow("96x64 right: blocks moved") << QSize(96, 64) << 1 << 0 << true;
    QTest::newRow("96x64 angle 180: blocks moved") << QSize(96, 64) << 4 << 180 << true;
    QTest::newRow("100x70 right: decoded") << QSize(100, 70) << 1 << 0 << false;
    QTest::newRow("100x64 mirror left-right: decoded") << QSize(100, 64) << 2 << 0 << false;
}

void tst_KPicBatchProcessRotate::jpegToJpgTurnsLosslessly()
{
    QFETCH(QSize, size);
    QFETCH(int, type);
    QFETCH(int, angle);
    QFETCH(bool, lossless);
    QTemporaryDir in, out;
    // Quadrants with grain, so that the quality shows in the bytes.
    QImage picture = TestUtils::quadrantImage(size.width(), size.height())
                         .convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb p = picture.pixel(x, y);
            const int grain = ((x * 7 + y * 13) % 9) * 3;
            picture.setPixel(x, y,
                qRgb(qBound(0, qRed(p) - grain, 255), qBound(0, qGreen(p) - grain, 255),
                    qBound(0, qBlue(p) + grain, 255)));
        }
    const QString source = in.filePath("photo.jpg");
    {
        QImageWriter writer(source, "jpg");
        writer.setQuality(60);
        QVERIFY(writer.write(picture));
    }
    const QString written = runPage({ source }, type, angle, OutputFormat::Jpg, out);
    QVERIFY(written.endsWith("/photo.jpg"));
    const QImage expected = KBatchProcessRotateTask::transform(QImage(source), type, angle)
                                .convertToFormat(QImage::Format_RGB32);
    const QImage actual = QImage(written).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(actual.size(), expected.size());
    // Away from the quadrants' borders, where a re-encode's chroma
    // subsampling smears the colours.
    for (int y = 0; y < actual.height(); y += 3)
        for (int x = 0; x < actual.width(); x += 3)
            if (qAbs(x - actual.width() / 2) > 8 && qAbs(y - actual.height() / 2) > 8)
                QVERIFY2(TestUtils::colourNear(actual.pixel(x, y), expected.pixel(x, y), 12),
                    qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
    // The moved blocks keep the source's quality-60 tables; the decoding path
    // writes quality 100, several times the bytes.
    const qint64 sourceBytes = QFileInfo(source).size();
    const double ratio = double(QFileInfo(written).size()) / sourceBytes;
    QVERIFY2(lossless ? ratio < 1.2 : ratio > 1.5, qPrintable(QString::number(ratio)));
}

QTEST_MAIN(tst_KPicBatchProcessRotate)
#include "tst_KPicBatchProcessRotate.moc"
