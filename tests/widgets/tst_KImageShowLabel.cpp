#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "app/ui/KApplication.h"
#include "widgets/KImageAddFileShowView.h"
#include "widgets/KImageAddFileWidget.h"
#include "widgets/KImageAddImageShowComView.h"
#include "widgets/KImageCompareWidget.h"
#include "widgets/KImageContentView.h"
#include "widgets/KImageShowLabel.h"
#include "widgets/KTableAddFileView.h"

class tst_KImageShowLabel : public QObject
{
    Q_OBJECT
private slots:
    void infoLine_data();
    void infoLine();
    void smallImagesAreEnlarged();
    void compareUpdatesOnlyNonNullSides();
    void clearFromComparisonReturnsToEmptyPageFirst();
    void addFromEitherPageIsRelayed();
    void addFileShowViewPages();
};

void tst_KImageShowLabel::infoLine_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<quint32>("bytes");
    QTest::addColumn<QString>("line");
    QTest::newRow("337.5KB") << QSize(1920, 1080) << quint32(345600)
                             << "resolution:1920*1080  image size: 337.5KB";
    QTest::newRow("exactly 1 MiB")
        << QSize(10, 10) << quint32(1048576) << "resolution:10*10  image size: 1024.0KB";
    QTest::newRow("1 MiB + 1") << QSize(10, 10) << quint32(1048577)
                               << "resolution:10*10  image size: 1.00MB";
    QTest::newRow("0 bytes: resolution only")
        << QSize(640, 480) << quint32(0) << "resolution:640*480";
}

void tst_KImageShowLabel::infoLine()
{
    QFETCH(QSize, size);
    QFETCH(quint32, bytes);
    QFETCH(QString, line);
    KImageShowLabel label("original image");
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::gray);
    label.setImage(image, bytes);
    QCOMPARE(label.infoLine(), line);
}

void tst_KImageShowLabel::smallImagesAreEnlarged()
{
    KImageShowLabel label("original image");
    QImage image(100, 50, QImage::Format_RGB32);
    image.fill(Qt::red);
    label.setImage(image, 100);
    QCOMPARE(label.shownSize(), QSize(380, 190));
    QCOMPARE(label.image().size(), QSize(100, 50));
}

void tst_KImageShowLabel::compareUpdatesOnlyNonNullSides()
{
    KImageCompareWidget compare;
    QImage a(40, 30, QImage::Format_RGB32), b(20, 10, QImage::Format_RGB32);
    a.fill(Qt::red);
    b.fill(Qt::blue);
    compare.setImages(a, b, 2048, 1024);
    compare.setImages(b, QImage(), 10, 0);
    QCOMPARE(compare.originalLabel()->image().size(), QSize(20, 10));
    QCOMPARE(compare.convertedLabel()->image().size(), QSize(20, 10));
    QCOMPARE(compare.convertedLabel()->infoLine(), QString("resolution:20*10  image size: 1.0KB"));
}

void tst_KImageShowLabel::clearFromComparisonReturnsToEmptyPageFirst()
{
    KImageContentView view;
    view.showComparePage(true);
    QCOMPARE(view.currentPage(), 1);
    int pageWhenHeard = -1;
    connect(
        &view, &KImageContentView::clearFile, this, [&]() { pageWhenHeard = view.currentPage(); });
    view.comparePage()->clearButton()->click();
    QCOMPARE(pageWhenHeard, 0);
    QCOMPARE(view.currentPage(), 0);
}

void tst_KImageShowLabel::addFromEitherPageIsRelayed()
{
    KImageContentView view;
    QSignalSpy added(&view, &KImageContentView::addFile);
    view.emptyPage()->addButton()->click();
    emit view.emptyPage()->dropArea()->clicked();
    view.showComparePage(true);
    view.comparePage()->addButton()->click();
    QCOMPARE(added.count(), 3);
    // The empty page of this view does not take dropped files.
    QVERIFY(!view.emptyPage()->dropArea()->acceptDrops());
}

void tst_KImageShowLabel::addFileShowViewPages()
{
    KImageAddImageShowComView view;
    QSignalSpy dropped(&view, &KImageAddImageShowComView::addFiles);
    QVERIFY(view.addPage()->dropArea()->acceptDrops());
    emit view.addPage()->dropArea()->addFiles({ "/a.jpg" });
    QCOMPARE(dropped.count(), 1);
    QImage image(50, 50, QImage::Format_RGB32);
    image.fill(Qt::green);
    view.showImage("/photos/a.jpg", image);
    QCOMPARE(view.currentPage(), 0);
    QCOMPARE(view.addPage()->currentPage(), 1);
    view.showCompare(image, image, 100, 50);
    QCOMPARE(view.currentPage(), 1);
    view.showAddPrompt();
    QCOMPARE(view.currentPage(), 0);
    QCOMPARE(view.addPage()->currentPage(), 0);
    view.setButtonsEnabled(false);
    QVERIFY(!view.addPage()->addButton()->isEnabled());
}

QTEST_MAIN(tst_KImageShowLabel)
#include "tst_KImageShowLabel.moc"
