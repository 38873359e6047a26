#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "TestFixtures.h"
#include "TestUtils.h"
#include "app/ui/KApplication.h"
#include "compress/ui/KHighQualitySetting.h"
#include "compress/ui/KNormalCompressSettig.h"
#include "compress/ui/KPicBatchCompressProcess.h"
#include "widgets/KTableListItem.h"
#include "widgets/KTableListView.h"

namespace {

QImage noisyPhoto(int w, int h, quint32 seed)
{
    QImage image(w, h, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int n = int(rng.bounded(60));
            line[x] = qRgb((x / 4 + n) % 256, (y / 3 + n) % 256, (x + y + n) % 256);
        }
    }
    return image;
}

} // namespace

class tst_KPicBatchCompressProcess : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void presetsUseBatchQualities_data();
    void presetsUseBatchQualities();
    void sameBaseNameSharesOneTask();
    void sizeLimitIsMetByEveryOutput();

private:
    bool runAndWait(KPicBatchCompressProcess &view, const QString &into);
    QTemporaryDir m_in;
};

void tst_KPicBatchCompressProcess::initTestCase() { KApplication::installFontSubstitutions(); }

bool tst_KPicBatchCompressProcess::runAndWait(KPicBatchCompressProcess &view, const QString &into)
{
    QSignalSpy finished(&view, &KPicBatchCompressProcess::runFinished);
    if (!view.startInto(into))
        return false;
    // A second start while the run is active is refused.
    if (view.startInto(into) || view.startButton()->isEnabled())
        return false;
    return finished.wait(120000);
}

void tst_KPicBatchCompressProcess::presetsUseBatchQualities_data()
{
    QTest::addColumn<int>("preset");
    QTest::addColumn<int>("quality");
    QTest::newRow("standard") << 1 << 60;
    QTest::newRow("quality priority") << 2 << 80;
    QTest::newRow("size priority") << 3 << 40;
}

void tst_KPicBatchCompressProcess::presetsUseBatchQualities()
{
    QFETCH(int, preset);
    QFETCH(int, quality);
    QTemporaryDir out;
    const QString source = m_in.filePath("q.png");
    QVERIFY(noisyPhoto(200, 150, 3).save(source));
    KPicBatchCompressProcess view;
    view.fileList()->appendFiles({ source });
    view.normalPanel()->presetButton(preset)->click();
    QVERIFY(runAndWait(view, out.path()));
    QCOMPARE(view.lastParams().quality, quality);
    QCOMPARE(view.lastRunFolder(), out.path() + "/AI toolbox batch compress");
    QImage written(view.fileList()->result(0).path);
    QCOMPARE(written.size(), QSize(200, 150));
}

void tst_KPicBatchCompressProcess::sameBaseNameSharesOneTask()
{
    QTemporaryDir in, out;
    QVERIFY(!TestUtils::writeFile(in.path(), "photo.gif", "GIF89a but truncated").isEmpty());
    QVERIFY(TestUtils::halfTransparentImage(64, 32).save(in.filePath("photo.png")));
    QVERIFY(TestFixtures::writeHeic(in.filePath("photo.heic"), TestUtils::quadrantImage(64, 32)));
    QVERIFY(TestUtils::quadrantImage(16, 16).save(in.filePath("other.png")));
    KPicBatchCompressProcess view;
    view.fileList()->appendFiles({ in.filePath("photo.gif"), in.filePath("photo.png"),
        in.filePath("photo.heic"), in.filePath("other.png") });
    QVERIFY(runAndWait(view, out.path()));
    QCOMPARE(view.tasksStarted(), 2);
    // The corrupt first file of the group fails only its own row.
    QCOMPARE(view.fileList()->row(0)->state(), BatchResult::Failed);
    const QString folder = view.lastRunFolder();
    QCOMPARE(view.fileList()->result(1).path, folder + "/photo.jpg");
    QCOMPARE(view.fileList()->result(2).path, folder + "/photo(1).jpg");
    QCOMPARE(view.fileList()->result(3).path, folder + "/other.jpg");
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 3);
    // JPEG has no alpha: what was transparent is white, not black.
    const QImage flattened(folder + "/photo.jpg");
    QVERIFY(TestUtils::colourNear(flattened.pixel(50, 16), qRgb(255, 255, 255), 8));
}

void tst_KPicBatchCompressProcess::sizeLimitIsMetByEveryOutput()
{
    QTemporaryDir in, out;
    QStringList files;
    for (int i = 0; i < 3; ++i) {
        files << in.filePath(QStringLiteral("big%1.png").arg(i));
        QVERIFY(noisyPhoto(1600 + 100 * i, 1200, quint32(10 + i)).save(files.last()));
    }
    KPicBatchCompressProcess view;
    view.fileList()->appendFiles(files);
    view.customPanel()->sizeButton()->click();
    view.customPanel()->sizeEdit()->setText("200");
    view.customPanel()->unitCombo()->setCurrentIndex(1); // KB
    QVERIFY(runAndWait(view, out.path()));
    for (int i = 0; i < files.size(); ++i) {
        QCOMPARE(view.fileList()->row(i)->state(), BatchResult::Succeeded);
        const QFileInfo written(view.fileList()->result(i).path);
        QVERIFY2(written.size() > 0 && written.size() < 204800,
            qPrintable(QString::number(written.size())));
    }
}

QTEST_MAIN(tst_KPicBatchCompressProcess)
#include "tst_KPicBatchCompressProcess.moc"
