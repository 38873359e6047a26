#include <QSignalSpy>
#include <QtTest>

#include "widgets/KPicResizeSlider.h"

class tst_KPicResizeSlider : public QObject
{
    Q_OBJECT
private slots:
    void clickJumpsToPosition_data();
    void clickJumpsToPosition();
    void dragPastTheEndStopsAtMaximum();
    void disabledSliderIgnoresClicks();
};

void tst_KPicResizeSlider::clickJumpsToPosition_data()
{
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("expected");
    QTest::newRow("three quarters of 0..100") << 0 << 100 << 150 << 75;
    QTest::newRow("start") << 0 << 100 << 0 << 0;
    QTest::newRow("1..90 middle") << 1 << 90 << 100 << 45;
}

void tst_KPicResizeSlider::clickJumpsToPosition()
{
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, x);
    QFETCH(int, expected);
    KPicResizeSlider slider;
    slider.setRange(minimum, maximum);
    slider.setFixedSize(200, 30);
    slider.show();
    QSignalSpy finished(&slider, &KPicResizeSlider::valueChangedFinished);
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(x, 15));
    QCOMPARE(slider.value(), expected);
    QCOMPARE(finished.count(), 0);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(x, 15));
    QCOMPARE(slider.value(), expected);
    QCOMPARE(finished.count(), 1);
}

void tst_KPicResizeSlider::dragPastTheEndStopsAtMaximum()
{
    KPicResizeSlider slider;
    slider.setRange(0, 100);
    slider.setFixedSize(200, 30);
    slider.show();
    QSignalSpy finished(&slider, &KPicResizeSlider::valueChangedFinished);
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(20, 15));
    QCOMPARE(slider.value(), 10);
    QMouseEvent move(
        QEvent::MouseMove, QPointF(500, 15), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&slider, &move);
    QCOMPARE(slider.value(), 100);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(500, 15));
    QCOMPARE(slider.value(), 100);
    QCOMPARE(finished.count(), 1);
}

void tst_KPicResizeSlider::disabledSliderIgnoresClicks()
{
    KPicResizeSlider slider;
    slider.setRange(0, 100);
    slider.setValue(30);
    slider.setFixedSize(200, 30);
    slider.show();
    slider.setSliderEnabled(false);
    QSignalSpy finished(&slider, &KPicResizeSlider::valueChangedFinished);
    QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(150, 15));
    QCOMPARE(slider.value(), 30);
    QCOMPARE(finished.count(), 0);
}

QTEST_MAIN(tst_KPicResizeSlider)
#include "tst_KPicResizeSlider.moc"
