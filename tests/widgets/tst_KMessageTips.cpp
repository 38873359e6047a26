#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include "widgets/KFileOpenTips.h"
#include "widgets/KImageLoadView.h"
#include "widgets/KMessageTips.h"

class tst_KMessageTips : public QObject
{
    Q_OBJECT
private slots:
    void results_data();
    void results();
    void buttonPairs_data();
    void buttonPairs();
    void fileOpenTipsHasItsOwnPair();
    void loadViewCloseButtonOnlySignals();
};

void tst_KMessageTips::results_data()
{
    QTest::addColumn<int>("button"); // 0 close, 1 left, 2 right
    QTest::newRow("close") << 0;
    QTest::newRow("left") << 1;
    QTest::newRow("right") << 2;
}

void tst_KMessageTips::results()
{
    QFETCH(int, button);
    auto *tips = new KMessageTips("Gif compress", "saved");
    tips->setOpenFileButtons();
    QPushButton *target = button == 0 ? tips->closeButton()
                                      : (button == 1 ? tips->leftButton() : tips->rightButton());
    QTimer::singleShot(0, target, &QPushButton::click);
    QCOMPARE(tips->exec(), button);
}

void tst_KMessageTips::buttonPairs_data()
{
    QTest::addColumn<int>("pair");
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");
    QTest::newRow("open file") << 0 << "open file"
                               << "open folder";
    QTest::newRow("confirm") << 1 << "I knwon"
                             << "cancel";
    QTest::newRow("retry: right is ok") << 2 << "retry"
                                        << "ok";
    QTest::newRow("compress") << 3 << "compress"
                              << "cancel";
}

void tst_KMessageTips::buttonPairs()
{
    QFETCH(int, pair);
    QFETCH(QString, left);
    QFETCH(QString, right);
    KMessageTips tips("title", "message");
    switch (pair) {
    case 0:
        tips.setOpenFileButtons();
        break;
    case 1:
        tips.setConfirmButtons();
        break;
    case 2:
        tips.setRetryButtons();
        break;
    default:
        tips.setCompressButtons();
        break;
    }
    QCOMPARE(tips.leftButton()->text(), left);
    QCOMPARE(tips.rightButton()->text(), right);
    QCOMPARE(tips.size(), QSize(400, 170));
}

void tst_KMessageTips::fileOpenTipsHasItsOwnPair()
{
    KFileOpenTips tips("Raw Convert", "saved");
    QCOMPARE(tips.leftButton()->text(), QString("open file"));
    QCOMPARE(tips.rightButton()->text(), QString("open folder"));
}

void tst_KMessageTips::loadViewCloseButtonOnlySignals()
{
    KImageLoadView view("Gif compress");
    QCOMPARE(view.text(), QString("Gif compress"));
    view.show();
    QSignalSpy closed(&view, &KImageLoadView::btnClosed);
    view.closeButton()->click();
    view.closeButton()->click();
    QCOMPARE(closed.count(), 2);
    QVERIFY(view.isVisible());
    view.setValue(40);
    view.setText("file is compressing, please wait patiently");
    QCOMPARE(view.value(), 40);
    QCOMPARE(view.text(), QString("file is compressing, please wait patiently"));
}

QTEST_MAIN(tst_KMessageTips)
#include "tst_KMessageTips.moc"
