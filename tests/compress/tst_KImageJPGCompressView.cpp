#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "TestFixtures.h"
#include "TestUtils.h"
#include "app/ui/KApplication.h"
#include "compress/ProcessCompressThread.h"
#include "compress/ui/KHighQualitySetting.h"
#include "compress/ui/KImageJPGCompressView.h"
#include "compress/ui/KNormalCompressSettig.h"
#include "compress/ui/KSourceLoader.h"
#include "widgets/KImageCompareWidget.h"
#include "widgets/KImageContentView.h"
#include "widgets/KImageLoadView.h"
#include "widgets/KImageShowLabel.h"
#include "widgets/KMessageTips.h"
#include "widgets/KPicResizeSlider.h"

class tst_KImageJPGCompressView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void presetsSelectTheirQuality_data();
    void presetsSelectTheirQuality();
    void panelsClearEachOther();
    void sliderAndField();
    void sizeLimitInKilobytes();
    void savingTwiceKeepsBoth();
    void heicSourceIsCompressed();
    void unreadableSourceIsExplained();
    void newSourceClearsTheResult();
    void failureNamesItsReason();
    void slowSourceOpensOffTheInterfaceThread();

private:
    bool compressWith(KImageJPGCompressView &view);
    QTemporaryDir m_dir;
    QString m_source;
};

// Opens path in the view and waits for its report: true when it is shown.
static bool openSource(KImageJPGCompressView &view, const QString &path)
{
    QSignalSpy loaded(&view, &KImageJPGCompressView::sourceLoaded);
    view.loadFile(path);
    return loaded.wait(30000) && loaded.last().value(0).toBool();
}

void tst_KImageJPGCompressView::initTestCase()
{
    KApplication::installFontSubstitutions();
    QImage image = TestUtils::quadrantImage(800, 600);
    // Some texture so that the size depends on the quality.
    for (int y = 0; y < 600; y += 3)
        for (int x = (y * 7) % 5; x < 800; x += 5)
            image.setPixel(x, y, qRgb((x * 13) % 256, (y * 7) % 256, (x + y) % 256));
    m_source = m_dir.filePath("holiday.png");
    QVERIFY(image.save(m_source));
}

bool tst_KImageJPGCompressView::compressWith(KImageJPGCompressView &view)
{
    QSignalSpy finished(&view, &KImageJPGCompressView::compressFinished);
    view.onStartCompress();
    return finished.wait(30000) && finished.last().value(0).toBool();
}

void tst_KImageJPGCompressView::presetsSelectTheirQuality_data()
{
    QTest::addColumn<int>("preset");
    QTest::addColumn<int>("quality");
    QTest::newRow("standard") << 1 << 65;
    QTest::newRow("quality priority") << 2 << 85;
    QTest::newRow("size priority") << 3 << 45;
}

void tst_KImageJPGCompressView::presetsSelectTheirQuality()
{
    QFETCH(int, preset);
    QFETCH(int, quality);
    KImageJPGCompressView view;
    QVERIFY(openSource(view, m_source));
    QVERIFY(view.startButton()->isEnabled());
    QVERIFY(!view.saveButton()->isEnabled()); // nothing to save yet
    view.normalPanel()->presetButton(preset)->click();
    QCOMPARE(view.mode(), KImageJPGCompressView::NormalMode);
    QVERIFY(compressWith(view));
    QCOMPARE(view.engine()->usedQuality(), quality);
    QVERIFY(view.saveButton()->isEnabled());
    // The result is shown on the right with its own size.
    QCOMPARE(view.contentView()->comparePage()->convertedLabel()->image().size(), QSize(800, 600));
    QVERIFY(view.contentView()->comparePage()->convertedLabel()->infoLine().contains(
        QString::number(view.resultBytes().size() / 1024.0, 'f', 1)));
}

void tst_KImageJPGCompressView::panelsClearEachOther()
{
    KImageJPGCompressView view;
    QCOMPARE(view.normalPanel()->checkedButtonId(), 1);
    view.customPanel()->clarityButton()->click();
    QCOMPARE(view.mode(), KImageJPGCompressView::CustomMode);
    QCOMPARE(view.normalPanel()->checkedButtonId(), 0); // no preset shows as selected
    QVERIFY(view.customPanel()->slider()->isEnabled());
    view.normalPanel()->presetButton(3)->click();
    QCOMPARE(view.mode(), KImageJPGCompressView::NormalMode);
    QVERIFY(!view.customPanel()->clarityButton()->isChecked());
    QVERIFY(!view.customPanel()->slider()->isEnabled());
    QCOMPARE(view.normalPanel()->presetId(), 3);
}

void tst_KImageJPGCompressView::sliderAndField()
{
    KImageJPGCompressView view;
    view.customPanel()->clarityButton()->click();
    view.customPanel()->slider()->setValue(30);
    QCOMPARE(view.customPanel()->qualityEdit()->text(), QString("30"));
    // Typing moves the slider but does not make a panel active.
    view.normalPanel()->presetButton(2)->click();
    QCOMPARE(view.mode(), KImageJPGCompressView::NormalMode);
    view.customPanel()->qualityEdit()->setText("70");
    QCOMPARE(view.customPanel()->slider()->value(), 70);
    QCOMPARE(view.mode(), KImageJPGCompressView::NormalMode);
}

void tst_KImageJPGCompressView::sizeLimitInKilobytes()
{
    KImageJPGCompressView view;
    QVERIFY(openSource(view, m_source));
    view.customPanel()->sizeButton()->click();
    view.customPanel()->sizeEdit()->setText("20");
    view.customPanel()->unitCombo()->setCurrentIndex(1); // KB
    const KHighQualitySetting::Settings s = view.customPanel()->settings();
    QCOMPARE(s.quality, 0);
    QCOMPARE(s.sizeValue, 20);
    QCOMPARE(s.sizeUnit, 1);
    QCOMPARE(view.normalPanel()->checkedButtonId(), 0);
    QVERIFY(compressWith(view));
    QVERIFY(view.resultBytes().size() < 20 * 1024);
}

void tst_KImageJPGCompressView::savingTwiceKeepsBoth()
{
    KImageJPGCompressView view;
    QTemporaryDir out;
    QVERIFY(openSource(view, m_source));
    QCOMPARE(view.saveResultTo(out.path()), QString()); // nothing compressed yet: nothing written
    QVERIFY(TestUtils::fileNames(out.path()).isEmpty());
    QVERIFY(compressWith(view));
    QCOMPARE(view.saveResultTo(out.path()), out.filePath("holiday.jpg"));
    QCOMPARE(view.saveResultTo(out.path()), out.filePath("holiday(1).jpg"));
    QCOMPARE(TestUtils::fileNames(out.path()), (QStringList { "holiday(1).jpg", "holiday.jpg" }));
    QFile saved(out.filePath("holiday(1).jpg"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), view.resultBytes());
}

void tst_KImageJPGCompressView::heicSourceIsCompressed()
{
    const QString heic = m_dir.filePath("phone.heic");
    QVERIFY(TestFixtures::writeHeic(heic, TestUtils::quadrantImage(120, 80)));
    KImageJPGCompressView view;
    QVERIFY(openSource(view, heic));
    QVERIFY(compressWith(view));
    QImage result;
    QVERIFY(result.loadFromData(view.resultBytes(), "JPG"));
    QCOMPARE(result.size(), QSize(120, 80));
}

void tst_KImageJPGCompressView::unreadableSourceIsExplained()
{
    KImageJPGCompressView view;
    const QString broken = TestUtils::writeFile(m_dir.path(), "broken.jpg", "not a jpeg at all");
    QVERIFY(!openSource(view, broken));
    QVERIFY(!view.startButton()->isEnabled());
    QCOMPARE(view.contentView()->currentPage(), 0);
}

void tst_KImageJPGCompressView::newSourceClearsTheResult()
{
    // Compress A, add B: saving must not write A's bytes under B's name.
    QTemporaryDir out;
    QImage other = TestUtils::quadrantImage(300, 200);
    const QString b = m_dir.filePath("beach.png");
    QVERIFY(other.save(b));
    KImageJPGCompressView view;
    QVERIFY(openSource(view, m_source));
    QVERIFY(compressWith(view));
    const QByteArray first = view.resultBytes();
    QVERIFY(view.saveButton()->isEnabled());

    QVERIFY(openSource(view, b));
    QVERIFY(!view.saveButton()->isEnabled());
    QVERIFY(view.resultBytes().isEmpty());
    QCOMPARE(view.saveResultTo(out.path()), QString());
    QVERIFY(TestUtils::fileNames(out.path()).isEmpty());

    // Once B is compressed, B's own result is saved under B's name.
    QVERIFY(compressWith(view));
    QVERIFY(view.resultBytes() != first);
    QCOMPARE(view.saveResultTo(out.path()), out.filePath("beach.jpg"));
    QImage saved(out.filePath("beach.jpg"));
    QCOMPARE(saved.size(), QSize(300, 200));
}

void tst_KImageJPGCompressView::failureNamesItsReason()
{
    // An empty size field: one message with the reason, not a silent close.
    KImageJPGCompressView view;
    QVERIFY(openSource(view, m_source));
    view.customPanel()->sizeButton()->click();
    view.customPanel()->sizeEdit()->setText(QString());
    QSignalSpy finished(&view, &KImageJPGCompressView::compressFinished);
    view.onStartCompress();
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.last().value(0).toBool(), false);
    QVERIFY2(view.lastError().contains("size"), qPrintable(view.lastError()));
    const QList<KMessageTips *> notices = view.findChildren<KMessageTips *>();
    QCOMPARE(notices.size(), 1);
    QCOMPARE(notices.first()->message(), view.lastError());
    QVERIFY(view.startButton()->isEnabled());
}

// A source that takes long (a TGA read by a decoder helper that waits for
// a release file) opens on a worker: the view answers at once, the progress
// dialog comes up after a moment, closing it gives the source up, and a
// source replaced while it opens never reports.
void tst_KImageJPGCompressView::slowSourceOpensOffTheInterfaceThread()
{
    QTemporaryDir dir;
    const QString release = dir.filePath("release");
    const QString helper = TestUtils::writeFile(dir.path(), "helper.sh",
        QByteArray("#!/bin/sh\nwhile [ ! -e '") + QFile::encodeName(release)
            + "' ]; do sleep 0.02; done\nexit 3\n");
    QFile::setPermissions(helper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("QUORVEL_DECODE_HELPER", QFile::encodeName(helper));
    auto restore = qScopeGuard([&] {
        TestUtils::writeFile(dir.path(), "release", "go");
        qunsetenv("QUORVEL_DECODE_HELPER");
    });
    const QString slow = TestUtils::writeFile(
        dir.path(), "slow.tga", QByteArray("\0\0\2\0\0\0\0\0\0\0\0\0\1\0\1\0\x18\0\0\0\xff", 21));

    KImageJPGCompressView view;
    KSourceLoader *loader = view.findChild<KSourceLoader *>();
    QVERIFY(loader);
    QSignalSpy loaded(&view, &KImageJPGCompressView::sourceLoaded);
    view.loadFile(slow);
    QVERIFY(view.isLoading());
    QVERIFY(!view.startButton()->isEnabled());
    QVERIFY(TestUtils::waitUntil([loader] { return loader->dialog() != nullptr; }, 5000));
    QVERIFY(loaded.isEmpty());
    loader->dialog()->closeButton()->click();
    QCOMPARE(loaded.count(), 1);
    QCOMPARE(loaded.last().value(0).toBool(), false);
    QVERIFY(!view.isLoading());

    // Replaced while it opens: only the second source is reported and shown.
    view.loadFile(slow);
    QVERIFY(openSource(view, m_source));
    QVERIFY(view.startButton()->isEnabled());
    TestUtils::writeFile(dir.path(), "release", "go");
    QTest::qWait(200);
    QCOMPARE(view.contentView()->currentPage(), 1);
    QVERIFY(view.startButton()->isEnabled());
}

QTEST_MAIN(tst_KImageJPGCompressView)
#include "tst_KImageJPGCompressView.moc"
