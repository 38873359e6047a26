#include <QIcon>
#include <QPixmap>
#include <QtTest>

#include "TestUtils.h"
#include "widgets/DesktopIntegration.h"

class tst_DesktopIntegration : public QObject
{
    Q_OBJECT
private slots:
    void roundedIconIsACircle();
};

void tst_DesktopIntegration::roundedIconIsACircle()
{
    QPixmap source(64, 64);
    source.fill(Qt::red);
    const QImage rounded = roundedIcon(QIcon(source), 20).toImage();
    QCOMPARE(rounded.size(), QSize(40, 40));
    QCOMPARE(qAlpha(rounded.pixel(0, 0)), 0); // corner cut away
    QCOMPARE(qAlpha(rounded.pixel(39, 39)), 0);
    QVERIFY(TestUtils::colourNear(rounded.pixel(20, 20), qRgb(255, 0, 0), 2));
}

QTEST_MAIN(tst_DesktopIntegration)
#include "tst_DesktopIntegration.moc"
