#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "TestUtils.h"
#include "app/ui/KApplication.h"
#include "app/ui/KCommonHeader.h"
#include "app/ui/KCommonHeaderItem.h"
#include "app/ui/KMainView.h"
#include "app/ui/KMainwindow.h"
#include "app/ui/KMoreMenu.h"
#include "app/ui/KTitleBar.h"
#include "widgets/KModePage.h"
#include "widgets/KTaskPane.h"
#include "widgets/KTaskPanelItem.h"

class tst_KMainwindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void compiledResourcesResolveWithoutSuffix_data();
    void compiledResourcesResolveWithoutSuffix();
    void structure();
    void tabClickSwitchesModeAndReclickEmitsAgain();
    void toolClickSwitchesViewAndReclickDoesNothing();
    void viewsKeepTheirPageWhileHidden();
    void placement_data();
    void placement();
    void grabIsNotBlank();
    void moreMenuHasTwoEntries();

private:
    KMainwindow *m_window = nullptr;
};

void tst_KMainwindow::initTestCase()
{
    KApplication::installFontSubstitutions();
    m_window = new KMainwindow();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void tst_KMainwindow::compiledResourcesResolveWithoutSuffix_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name :
        { "title", "underline_hover", "menu", "menu-hover.png", "closeWindow", "btnRadio-selected",
            "picTransDrop", "upload-hover.png", "success", "error", "loading.gif", "photo.ico" })
        QTest::newRow(name) << QString::fromLatin1(name);
}

void tst_KMainwindow::compiledResourcesResolveWithoutSuffix()
{
    QFETCH(QString, name);
    QVERIFY2(!KApplication::resourcePixmap(name).isNull(), qPrintable(name));
}

void tst_KMainwindow::structure()
{
    QCOMPARE(m_window->size(), QSize(1050, 620));
    QVERIFY(m_window->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(m_window->titleBar()->size(), QSize(1050, 70));
    const auto items = m_window->titleBar()->header()->items();
    QCOMPARE(items.size(), 5);
    for (int i = 0; i < items.size(); ++i)
        QCOMPARE(items[i]->id(), i);
    QVERIFY(items[0]->isSelected());
    QCOMPARE(m_window->mainView()->currentMode(), 0);
    const int toolCounts[] = { 3, 3, 2, 3, 2 };
    for (int mode = 0; mode < 5; ++mode) {
        KModePage *page = m_window->mainView()->page(mode);
        QVERIFY(page);
        QCOMPARE(page->taskPane()->items().size(), toolCounts[mode]);
        QCOMPARE(page->currentTool(), 0);
        QVERIFY(page->taskPane()->items().first()->isSelected());
    }
}

void tst_KMainwindow::tabClickSwitchesModeAndReclickEmitsAgain()
{
    KCommonHeader *header = m_window->titleBar()->header();
    QSignalSpy spy(header, &KCommonHeader::selectFuncMode);
    QTest::mouseClick(header->items()[3], Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.last().at(0).toInt(), 3);
    QCOMPARE(m_window->mainView()->currentMode(), 3);
    QVERIFY(header->items()[3]->isSelected());
    QVERIFY(!header->items()[0]->isSelected());
    // Clicking the selected tab again emits again and leaves the page unchanged.
    QTest::mouseClick(header->items()[3], Qt::LeftButton);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(m_window->mainView()->currentMode(), 3);
    QTest::mouseClick(header->items()[0], Qt::LeftButton);
    QCOMPARE(m_window->mainView()->currentMode(), 0);
}

void tst_KMainwindow::toolClickSwitchesViewAndReclickDoesNothing()
{
    KModePage *page = m_window->mainView()->page(1);
    KTaskPane *pane = page->taskPane();
    QSignalSpy spy(pane, &KTaskPane::switchMode);
    QTest::mouseClick(pane->items()[2], Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(page->currentTool(), 2);
    QVERIFY(pane->items()[2]->isSelected());
    QVERIFY(!pane->items()[0]->isSelected());
    QTest::mouseClick(pane->items()[2], Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(page->currentTool(), 2);
    QTest::mouseClick(pane->items()[0], Qt::LeftButton);
    QCOMPARE(page->currentTool(), 0);
}

void tst_KMainwindow::viewsKeepTheirPageWhileHidden()
{
    KModePage *batch = m_window->mainView()->page(3);
    QTest::mouseClick(batch->taskPane()->items()[1], Qt::LeftButton);
    QTest::mouseClick(m_window->titleBar()->header()->items()[4], Qt::LeftButton);
    QTest::mouseClick(m_window->titleBar()->header()->items()[3], Qt::LeftButton);
    QCOMPARE(batch->currentTool(), 1);
    QCOMPARE(batch->taskPane()->selectedId(), 1);
}

void tst_KMainwindow::placement_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("1920x1040") << QRect(0, 0, 1920, 1040) << QPoint(435, 200);
    QTest::newRow("offset screen") << QRect(1920, 40, 1280, 984) << QPoint(2035, 212);
    // 800x600 screen: f = min(800/1050, 600/620) = 0.7619..., S = 800x472.
    QTest::newRow("small screen") << QRect(0, 0, 800, 600) << QPoint(0, 54);
    // 1024x500: f = min(0.975, 0.806) = 0.806..., S = 846x500.
    QTest::newRow("low screen") << QRect(0, 0, 1024, 500) << QPoint(89, -10);
}

void tst_KMainwindow::placement()
{
    QFETCH(QRect, available);
    QFETCH(QPoint, expected);
    QCOMPARE(KMainwindow::placement(available), expected);
}

void tst_KMainwindow::grabIsNotBlank()
{
    const QImage image = m_window->grab().toImage();
    QCOMPARE(image.size(), QSize(1050, 620));
    // The title bar is painted in its own colour and the pane in its own.
    QVERIFY(TestUtils::colourNear(image.pixel(600, 5), qRgb(0xEE, 0xF0, 0xF6), 1));
    QVERIFY(TestUtils::colourNear(image.pixel(5, 600), qRgb(0xF9, 0xFA, 0xFB), 1));
    // Text and icons make the picture far from uniform.
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            colours.insert(image.pixel(x, y));
    QVERIFY2(colours.size() > 20, qPrintable(QString::number(colours.size())));
}

void tst_KMainwindow::moreMenuHasTwoEntries()
{
    QCOMPARE(m_window->titleBar()->moreMenu()->actions().size(), 2);
    QCOMPARE(m_window->titleBar()->moreButton()->menu(), m_window->titleBar()->moreMenu());
}

QTEST_MAIN(tst_KMainwindow)
#include "tst_KMainwindow.moc"
