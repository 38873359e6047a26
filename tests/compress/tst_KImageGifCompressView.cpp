#include <QComboBox>
#include <QDir>
#include <QImageReader>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "TestFixtures.h"
#include "TestUtils.h"
#include "app/ui/KApplication.h"
#include "compress/ui/KImageGifCompressView.h"
#include "compress/ui/KQualityGifCompressSettig.h"
#include "compress/ui/KResizeGifCompressSettig.h"
#include "widgets/KImageCompareWidget.h"
#include "widgets/KImageContentView.h"
#include "widgets/KImageLoadView.h"
#include "widgets/KImageShowLabel.h"
#include "widgets/KMessageTips.h"
#include "widgets/KPicResizeSlider.h"

class tst_KImageGifCompressView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void sizePresets_data();
    void sizePresets();
    void ratioFieldAndSlider();
    void compressesAndSavesTwice();
    void savingReplacesOnlyWhatTheUserChose();
    void progressStopsAtEighty();
    void closedProgressDialogIsForgotten();
    void missingLibraryIsExplained();
    void replacedSourceIgnoresTheOldReport();
    void onlyGifsAreAccepted_data();
    void onlyGifsAreAccepted();
    void destroyedWhileCompressing();
    void screenshot();

private:
    bool compress(KImageGifCompressView &view);
    QTemporaryDir m_dir;
    QString m_source;
};

// Opens path in the view and waits for its report: true when it is shown.
static bool openSource(KImageGifCompressView &view, const QString &path)
{
    QSignalSpy loaded(&view, &KImageGifCompressView::sourceLoaded);
    view.loadFile(path);
    return loaded.wait(30000) && loaded.last().value(0).toBool();
}

void tst_KImageGifCompressView::initTestCase()
{
    KApplication::installFontSubstitutions();
    QVERIFY(m_dir.isValid());
    QVector<QColor> colours;
    for (int i = 0; i < 25; ++i)
        colours << QColor::fromHsv((i * 41) % 360, 170, 235);
    m_source = m_dir.filePath("clip.gif");
    QVERIFY(TestFixtures::writeAnimatedGif(m_source, 400, 300, colours));
}

bool tst_KImageGifCompressView::compress(KImageGifCompressView &view)
{
    view.setConverterLibraryPath(QStringLiteral(QVGIFCONV_PATH));
    QSignalSpy finished(&view, &KImageGifCompressView::compressFinished);
    view.onStartCompress();
    return finished.wait(60000) && finished.last().value(0).toBool();
}

void tst_KImageGifCompressView::sizePresets_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::newRow("keep the original size") << 0 << ""
                                            << "";
    QTest::newRow("suitable computer size") << 1 << "1024"
                                            << "";
    QTest::newRow("suitable phone size") << 2 << "480"
                                         << "";
    QTest::newRow("WeChat large") << 3 << "200"
                                  << "";
    QTest::newRow("WeChat small") << 4 << "140"
                                  << "";
    QTest::newRow("one inch photo") << 5 << "295"
                                    << "413";
    QTest::newRow("two inch photo") << 6 << "413"
                                    << "626";
    QTest::newRow("self defined") << 7 << ""
                                  << "";
}

void tst_KImageGifCompressView::sizePresets()
{
    QFETCH(int, index);
    QFETCH(QString, width);
    QFETCH(QString, height);
    KResizeGifCompressSettig panel;
    QCOMPARE(panel.presetCombo()->count(), 8);
    QCOMPARE(panel.sizeSetting(), QSize(0, 0));
    // Start from other values, so that emptied fields are seen.
    panel.widthEdit()->setText("77");
    panel.heightEdit()->setText("88");
    panel.presetCombo()->setCurrentIndex(index == 0 ? 7 : 0);
    panel.presetCombo()->setCurrentIndex(index);
    QCOMPARE(panel.widthEdit()->text(), width);
    QCOMPARE(panel.heightEdit()->text(), height);
    QCOMPARE(panel.sizeSetting(), QSize(width.toInt(), height.toInt()));
}

void tst_KImageGifCompressView::ratioFieldAndSlider()
{
    KQualityGifCompressSettig panel;
    QCOMPARE(panel.colorPercent(), 50);
    QCOMPARE(panel.ratioEdit()->text(), QString("50"));
    QCOMPARE(panel.frameOption(), 0);

    // Typed values move the slider; above 90 it stops at 90, and once typing
    // is done the field shows the value that is used.
    panel.show();
    panel.ratioEdit()->setFocus();
    panel.ratioEdit()->clear();
    QTest::keyClicks(panel.ratioEdit(), "95");
    QCOMPARE(panel.slider()->value(), 90);
    QCOMPARE(panel.colorPercent(), 90);
    QTest::keyClick(panel.ratioEdit(), Qt::Key_Return);
    QCOMPARE(panel.ratioEdit()->text(), QString("90"));

    // Retyping passes through an empty field without moving the slider.
    panel.ratioEdit()->clear();
    QCOMPARE(panel.slider()->value(), 90);
    QTest::keyClicks(panel.ratioEdit(), "7");
    QCOMPARE(panel.slider()->value(), 7);

    // A click on the slider writes its value into the field.
    panel.slider()->setValue(30);
    emit panel.slider()->valueChangedFinished();
    QCOMPARE(panel.ratioEdit()->text(), QString("30"));
    // So does the wheel or the keyboard, which end no gesture.
    panel.slider()->setFocus();
    QTest::keyClick(panel.slider(), Qt::Key_Right);
    QCOMPARE(panel.slider()->value(), 31);
    QCOMPARE(panel.ratioEdit()->text(), QString("31"));

    panel.frameCombo()->setCurrentIndex(4);
    QCOMPARE(panel.frameOption(), 4);
    QCOMPARE(panel.frameCombo()->currentText(), QString("remove 40%"));
}

void tst_KImageGifCompressView::compressesAndSavesTwice()
{
    KImageGifCompressView view;
    QVERIFY(!view.startButton()->isEnabled());
    QVERIFY(!view.saveButton()->isEnabled());
    QVERIFY(openSource(view, m_source));
    QCOMPARE(view.contentView()->currentPage(), 1);
    QVERIFY(view.startButton()->isEnabled());
    QVERIFY(!view.saveButton()->isEnabled());
    const qint64 sourceBytes = QFileInfo(m_source).size();

    view.resizePanel()->widthEdit()->setText("200");
    view.qualityPanel()->frameCombo()->setCurrentIndex(2); // remove 20%
    QVERIFY(compress(view));
    QVERIFY(view.startButton()->isEnabled());
    QVERIFY(view.saveButton()->isEnabled());
    QVERIFY(!view.progressDialog());
    QCOMPARE(view.result().frameCount, 21);
    QVERIFY(view.result().bytes.size() < sourceBytes);

    // The result side shows the first frame at its new size with the result's byte count.
    KImageShowLabel *right = view.contentView()->comparePage()->convertedLabel();
    QCOMPARE(right->image().size(), QSize(200, 150));
    QCOMPARE(right->infoLine(),
        KImageShowLabel::infoText(QSize(200, 150), quint32(view.result().bytes.size())));

    // The save dialog proposes a free name beside the source.
    QCOMPARE(view.proposedSavePath(), m_dir.filePath("clip(1).gif"));

    QTemporaryDir out;
    QCOMPARE(view.saveResultTo(out.path()), out.filePath("clip.gif"));
    QCOMPARE(view.saveResultTo(out.path()), out.filePath("clip(1).gif"));
    QCOMPARE(TestUtils::fileNames(out.path()), (QStringList { "clip(1).gif", "clip.gif" }));
    QFile saved(out.filePath("clip(1).gif"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), view.result().bytes);
    QImageReader reader(out.filePath("clip.gif"));
    QCOMPARE(reader.imageCount(), 21);
    QCOMPARE(reader.size(), QSize(200, 150));
    QCOMPARE(QFileInfo(m_source).size(), sourceBytes); // the source is untouched
}

void tst_KImageGifCompressView::savingReplacesOnlyWhatTheUserChose()
{
    KImageGifCompressView view;
    QTemporaryDir out;
    QVERIFY(openSource(view, m_source));
    // Nothing compressed yet: nothing written.
    QVERIFY(!view.saveResultAs(out.filePath("early.gif")));
    QCOMPARE(view.saveResultTo(out.path()), QString());
    QVERIFY(TestUtils::fileNames(out.path()).isEmpty());

    view.resizePanel()->presetCombo()->setCurrentIndex(4); // 140 wide
    QVERIFY(compress(view));
    // A file the user agreed to replace in the dialog is replaced whole, with
    // no temporary file left beside it.
    const QString chosen = TestUtils::writeFile(out.path(), "old.gif", "previous content");
    QVERIFY(view.saveResultAs(chosen));
    QFile replaced(chosen);
    QVERIFY(replaced.open(QIODevice::ReadOnly));
    QCOMPARE(replaced.readAll(), view.result().bytes);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "old.gif" });

    // A folder that does not exist: failure, nothing created.
    QVERIFY(!view.saveResultAs(out.filePath("missing/new.gif")));
    QCOMPARE(view.saveResultTo(out.filePath("missing")), QString());
    QVERIFY(!QFileInfo::exists(out.filePath("missing")));
}

void tst_KImageGifCompressView::progressStopsAtEighty()
{
    KImageGifCompressView view;
    QVERIFY(openSource(view, m_source));
    view.setConverterLibraryPath(QStringLiteral(QVGIFCONV_PATH));
    QSignalSpy finished(&view, &KImageGifCompressView::compressFinished);
    view.onStartCompress();
    QVERIFY(view.isCompressing());
    QVERIFY(!view.startButton()->isEnabled());
    QVERIFY(!view.saveButton()->isEnabled());
    QPointer<KImageLoadView> dialog = view.progressDialog();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->isModal());
    QCOMPARE(dialog->text(), QString("file is compressing, please wait patiently"));
    // Ticks of a 12 s job, before its report can be delivered.
    QList<int> shown;
    for (int tick = 0; tick < 12; ++tick) {
        view.onGetProgress();
        shown << dialog->value();
    }
    QCOMPARE(shown, (QList<int> { 10, 20, 30, 40, 50, 60, 70, 80, 80, 80, 80, 80 }));
    QVERIFY(finished.wait(60000));
    QVERIFY(!view.progressDialog());
    QTRY_VERIFY(!dialog); // closed, and so deleted, once the result is in
    // A later job counts from the start again.
    QVERIFY(compress(view));
}

void tst_KImageGifCompressView::closedProgressDialogIsForgotten()
{
    KImageGifCompressView view;
    QVERIFY(openSource(view, m_source));
    view.setConverterLibraryPath(QStringLiteral(QVGIFCONV_PATH));
    QSignalSpy finished(&view, &KImageGifCompressView::compressFinished);
    view.onStartCompress();
    QPointer<KImageLoadView> dialog = view.progressDialog();
    QVERIFY(dialog);
    dialog->closeButton()->click();
    QTRY_VERIFY(!dialog);
    view.onGetProgress(); // must not touch the deleted dialog
    // The job goes on and its result is shown.
    QVERIFY(finished.wait(60000));
    QVERIFY(finished.last().value(0).toBool());
    QVERIFY(view.saveButton()->isEnabled());
}

void tst_KImageGifCompressView::missingLibraryIsExplained()
{
    KImageGifCompressView view;
    view.show();
    QVERIFY(openSource(view, m_source));
    view.setConverterLibraryPath(m_dir.filePath("libabsent.so"));
    QSignalSpy finished(&view, &KImageGifCompressView::compressFinished);
    view.onStartCompress();
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.last().value(0).toBool(), false);
    QVERIFY(!view.progressDialog());
    QVERIFY(!view.startButton()->isEnabled());
    QVERIFY(!view.saveButton()->isEnabled());
    // The user is told, in a notice that needs no answer.
    QVERIFY(!view.lastNotice().isEmpty());
    auto *notice = view.findChild<KMessageTips *>();
    QVERIFY(notice);
    QVERIFY(notice->isVisible());
    QCOMPARE(notice->message(), view.lastNotice());
    notice->closeButton()->click();
    // Adding the file again allows another try.
    QVERIFY(openSource(view, m_source));
    QVERIFY(view.startButton()->isEnabled());
}

void tst_KImageGifCompressView::replacedSourceIgnoresTheOldReport()
{
    QVector<QColor> colours { Qt::red, Qt::green, Qt::blue };
    const QString other = m_dir.filePath("other.gif");
    QVERIFY(TestFixtures::writeAnimatedGif(other, 120, 80, colours));

    KImageGifCompressView view;
    QVERIFY(openSource(view, m_source));
    view.setConverterLibraryPath(QStringLiteral(QVGIFCONV_PATH));
    QSignalSpy finished(&view, &KImageGifCompressView::compressFinished);
    view.onStartCompress();
    view.progressDialog()->closeButton()->click();
    // Another file while the first one is still being compressed: it cannot
    // start before the worker is free, and the old result is not shown as its own.
    QVERIFY(openSource(view, other));
    QVERIFY(!view.startButton()->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!view.isCompressing(), 60000);
    QCOMPARE(finished.count(), 0);
    QVERIFY(view.result().bytes.isEmpty());
    QVERIFY(!view.saveButton()->isEnabled());
    QVERIFY(view.startButton()->isEnabled());
    QCOMPARE(view.contentView()->comparePage()->convertedLabel()->image().size(), QSize(120, 80));

    QVERIFY(compress(view));
    QCOMPARE(view.result().frameCount, 3);
    QCOMPARE(view.result().firstFrame.size(), QSize(120, 80));
}

void tst_KImageGifCompressView::onlyGifsAreAccepted_data()
{
    QTest::addColumn<QString>("path");
    const QString png = m_dir.filePath("photo.gif");
    QVERIFY(TestUtils::quadrantImage(40, 30).save(png, "PNG"));
    QTest::newRow("PNG named .gif") << png;
    QTest::newRow("text named .gif") << TestUtils::writeFile(m_dir.path(), "notes.gif", "hello");
    QTest::newRow("missing file") << m_dir.filePath("gone.gif");
}

void tst_KImageGifCompressView::onlyGifsAreAccepted()
{
    QFETCH(QString, path);
    KImageGifCompressView view;
    QVERIFY(openSource(view, m_source));
    QVERIFY(!openSource(view, path));
    QCOMPARE(view.contentView()->currentPage(), 0);
    QVERIFY(!view.startButton()->isEnabled());
    QVERIFY(!view.saveButton()->isEnabled());
    view.onStartCompress(); // nothing to compress: no job, no dialog
    QVERIFY(!view.isCompressing());
    QVERIFY(!view.progressDialog());
}

void tst_KImageGifCompressView::destroyedWhileCompressing()
{
    auto *view = new KImageGifCompressView;
    QVERIFY(openSource(*view, m_source));
    view->setConverterLibraryPath(QStringLiteral(QVGIFCONV_PATH));
    view->onStartCompress();
    QVERIFY(view->isCompressing());
    // Joins the worker inside; its report must not reach the dead view.
    delete view;
    QTest::qWait(50);
}

void tst_KImageGifCompressView::screenshot()
{
    // Pictures for a look by eye, written only when a folder is given.
    const QString out = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR");
    KImageGifCompressView view;
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    if (!out.isEmpty())
        QVERIFY(view.grab().save(out + "/KImageGifCompressView-empty.png"));
    QVERIFY(openSource(view, m_source));
    view.resizePanel()->presetCombo()->setCurrentIndex(3);
    view.qualityPanel()->frameCombo()->setCurrentIndex(5);
    QVERIFY(compress(view));
    if (!out.isEmpty())
        QVERIFY(view.grab().save(out + "/KImageGifCompressView.png"));

    view.onStartCompress();
    QVERIFY(view.progressDialog());
    view.onGetProgress();
    if (!out.isEmpty())
        QVERIFY(view.progressDialog()->grab().save(out + "/KImageGifCompressView-progress.png"));
    QSignalSpy finished(&view, &KImageGifCompressView::compressFinished);
    QVERIFY(finished.wait(60000));

    KImageGifCompressView failing;
    failing.show();
    QVERIFY(openSource(failing, m_source));
    failing.setConverterLibraryPath(m_dir.filePath("libabsent.so"));
    QSignalSpy failed(&failing, &KImageGifCompressView::compressFinished);
    failing.onStartCompress();
    QVERIFY(failed.wait(30000));
    auto *notice = failing.findChild<KMessageTips *>();
    QVERIFY(notice);
    if (!out.isEmpty())
        QVERIFY(notice->grab().save(out + "/KImageGifCompressView-notice.png"));
}

QTEST_MAIN(tst_KImageGifCompressView)
#include "tst_KImageGifCompressView.moc"
