#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "TestFixtures.h"
#include "TestUtils.h"
#include "app/ui/KApplication.h"
#include "convert/KImageRawLoadThread.h"
#include "convert/ui/KImageRawConvertView.h"
#include "widgets/KImageCompareWidget.h"
#include "widgets/KImageContentView.h"
#include "widgets/KImageShowLabel.h"
#include "widgets/KPicResizeSlider.h"

class tst_KImageRawConvertView : public QObject
{
    Q_OBJECT
private slots:
    void workerReportsItsFailure();
    void typedNameGetsAnExtension_data();
    void typedNameGetsAnExtension();
    void initTestCase();
    void developAdjustAndSave();
    void undecodableFileIsExplained();
    void replacingAWorkerWhileItLoads();

private:
    QTemporaryDir m_dir;
    QString m_raw;
};

void tst_KImageRawConvertView::initTestCase()
{
    KApplication::installFontSubstitutions();
    m_raw = m_dir.filePath("camera.dng");
    QVERIFY(TestFixtures::writeDng(m_raw, 64, 48));
}

void tst_KImageRawConvertView::developAdjustAndSave()
{
    KImageRawConvertView view;
    QSignalSpy developed(&view, &KImageRawConvertView::developed);
    view.loadFile(m_raw);
    QVERIFY(!view.actionButton()->isEnabled());
    QVERIFY(developed.wait(30000));
    QCOMPARE(view.brightnessEdit()->text(), QString("50"));
    QCOMPARE(view.contrastEdit()->text(), QString("50"));
    QCOMPARE(view.actionButton()->text(), QString("save result"));
    QVERIFY(!view.isApplyMode());
    const QImage first = view.currentResult();
    QCOMPARE(first.size(), QSize(64, 48));
    auto *compare = view.contentView()->comparePage();
    QCOMPARE(compare->originalLabel()->infoLine(), QString("resolution:64*48"));
    QCOMPARE(compare->convertedLabel()->image(), first);

    // Contrast 80: apply mode, then the adjusted picture on the right only.
    view.contrastEdit()->setText("80");
    QCOMPARE(view.contrastSlider()->value(), 80);
    QVERIFY(view.isApplyMode());
    QCOMPARE(view.actionButton()->text(), QString("start convert"));
    QSignalSpy adjusted(&view, &KImageRawConvertView::adjusted);
    view.actionButton()->click();
    QVERIFY(adjusted.wait(30000));
    QCOMPARE(view.actionButton()->text(), QString("save result"));
    QVERIFY(view.currentResult() != first);
    QCOMPARE(compare->originalLabel()->image(), first);
    QCOMPARE(compare->convertedLabel()->image(), view.currentResult());
    // More contrast moves the darker half further from mid-grey.
    const int before = qAbs(qGray(first.pixel(58, 20)) - 128);
    const int after = qAbs(qGray(view.currentResult().pixel(58, 20)) - 128);
    QVERIFY2(after > before, qPrintable(QString("%1 %2").arg(before).arg(after)));

    // Saving proposes the source name as .jpg beside it, then (1).
    QCOMPARE(view.proposedSavePath(), m_dir.filePath("camera.jpg"));
    QVERIFY(view.saveTo(view.proposedSavePath()));
    QCOMPARE(view.proposedSavePath(), m_dir.filePath("camera(1).jpg"));
    QVERIFY(view.saveTo(m_dir.filePath("camera.png")));
    QImage png(m_dir.filePath("camera.png"));
    QCOMPARE(png.size(), QSize(64, 48));
    QCOMPARE(png.pixel(5, 20), view.currentResult().pixel(5, 20)); // lossless
}

void tst_KImageRawConvertView::undecodableFileIsExplained()
{
    KImageRawConvertView view;
    const QString fake = TestUtils::writeFile(m_dir.path(), "fake.nef", QByteArray(4096, 'x'));
    QSignalSpy developed(&view, &KImageRawConvertView::developed);
    view.loadFile(fake);
    QVERIFY(developed.wait(30000));
    QVERIFY(view.currentResult().isNull());
    QCOMPARE(view.contentView()->currentPage(), 0);
    QVERIFY(!view.actionButton()->isEnabled());
    QVERIFY(!view.saveTo(m_dir.filePath("nothing.jpg")));
    QVERIFY(!QFile::exists(m_dir.filePath("nothing.jpg")));
}

void tst_KImageRawConvertView::replacingAWorkerWhileItLoads()
{
    KImageRawConvertView view;
    QSignalSpy developed(&view, &KImageRawConvertView::developed);
    view.loadFile(m_raw);
    view.loadFile(m_raw); // the first worker finishes its job and is joined
    QVERIFY(developed.wait(30000));
    QTest::qWait(200);
    QCOMPARE(developed.count(), 1); // the replaced worker's report is not taken
    QCOMPARE(view.currentResult().size(), QSize(64, 48));
}

void tst_KImageRawConvertView::workerReportsItsFailure()
{
    // A file that cannot be developed is reported as failed, and so is an
    // adjustment with nothing developed.
    const QString fake = TestUtils::writeFile(m_dir.path(), "broken.nef", QByteArray(4096, 'x'));
    KImageRawLoadThread worker(fake);
    QSignalSpy loaded(&worker, &KImageRawLoadThread::loadStatus);
    QSignalSpy adjusted(&worker, &KImageRawLoadThread::ajustStatus);
    worker.start();
    // The reports may come before a wait would start: count them instead.
    QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, 30000);
    QCOMPARE(loaded.first().at(0).toBool(), false);
    QVERIFY(worker.result().isNull());
    worker.requestAdjust(60, 40);
    QTRY_COMPARE_WITH_TIMEOUT(adjusted.count(), 1, 30000);
    QCOMPARE(adjusted.first().at(0).toBool(), false);
}

void tst_KImageRawConvertView::typedNameGetsAnExtension_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no extension, JPEG chosen") << "shot"
                                               << "JPEG (*.jpg *.jpeg)"
                                               << "shot.jpg";
    QTest::newRow("no extension, PNG chosen") << "shot"
                                              << "PNG (*.png)"
                                              << "shot.png";
    QTest::newRow("own extension kept") << "shot.PNG"
                                        << "JPEG (*.jpg *.jpeg)"
                                        << "shot.PNG";
    QTest::newRow("dots inside the name") << "v1.2"
                                          << "JPEG (*.jpg)"
                                          << "v1.2.jpg";
    QTest::newRow("existing file passed by") << "taken"
                                             << "JPEG (*.jpg)"
                                             << "taken(1).jpg";
}

void tst_KImageRawConvertView::typedNameGetsAnExtension()
{
    QFETCH(QString, typed);
    QFETCH(QString, filter);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    TestUtils::writeFile(dir.path(), "taken.jpg", "x");
    const QString path = KImageRawConvertView::withImageSuffix(dir.filePath(typed), filter);
    QCOMPARE(path, dir.filePath(expected));
}

QTEST_MAIN(tst_KImageRawConvertView)
#include "tst_KImageRawConvertView.moc"
