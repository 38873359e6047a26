// The table recognition view against the real quorvel-service on loopback.
#include <QButtonGroup>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "OnlineViewTesting.h"
#include "TestUtils.h"
#include "app/PSettings.h"
#include "app/ui/KApplication.h"
#include "online/KvHttp.h"
#include "online/ui/KImageOcrCompareView.h"
#include "online/ui/KImageOcrShowCompareView.h"
#include "online/ui/KImageTableOcrView.h"
#include "widgets/KImageLoadView.h"
#include "widgets/KImageShowLabel.h"
#include "widgets/KMessageTips.h"

using namespace OnlineViewTesting;

namespace {

// A ruled table of two rows and three columns with a word in every cell.
QImage renderedTable()
{
    QImage image(900, 260, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QPen(Qt::black, 3));
    const int left = 30, top = 30, cellW = 280, cellH = 100;
    for (int r = 0; r <= 2; ++r)
        painter.drawLine(left, top + r * cellH, left + 3 * cellW, top + r * cellH);
    for (int c = 0; c <= 3; ++c)
        painter.drawLine(left + c * cellW, top, left + c * cellW, top + 2 * cellH);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(36);
    painter.setFont(font);
    const QStringList words { "Apple", "Banana", "Cherry", "Lemon", "Mango", "Peach" };
    for (int i = 0; i < words.size(); ++i) {
        const QRect cell(left + (i % 3) * cellW, top + (i / 3) * cellH, cellW, cellH);
        painter.drawText(cell, Qt::AlignCenter, words.at(i));
    }
    return image;
}

} // namespace

class tst_KImageTableOcrView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void clarityTipIsShownUntilConfirmed();
    void excelResultIsSavedAsXlsx();
    void timeoutOffersRetry();

private:
    QTemporaryDir m_dir;
    QString m_table;
};

void tst_KImageTableOcrView::initTestCase()
{
    KApplication::installFontSubstitutions();
    QString error;
    QVERIFY2(!startServiceAndLogIn(&error).isEmpty(), qPrintable(error));
    m_table = m_dir.filePath(QStringLiteral("fruit.png"));
    QVERIFY(renderedTable().save(m_table));
}

void tst_KImageTableOcrView::init() { PSettings().setClarityTipEnabled(1); }

void tst_KImageTableOcrView::clarityTipIsShownUntilConfirmed()
{
    KImageTableOcrView view;
    screenshot(&view, QStringLiteral("table-empty"));
    const QString tipText = QStringLiteral("Please make sure that the form can recognize the "
                                           "picture clearly and the text can be distinguished by "
                                           "the naked eye!");
    // "cancel" keeps the tip for next time.
    QVERIFY(view.loadFile(m_table));
    KMessageTips *tips = visibleTips(&view);
    QVERIFY(tips);
    QCOMPARE(tips->title(), QStringLiteral("Table recognition"));
    QCOMPARE(tips->message(), tipText);
    screenshot(tips, QStringLiteral("table-clarity-tip"));
    tips->rightButton()->click();
    QVERIFY(PSettings().clarityTipEnabled());

    QVERIFY(view.loadFile(m_table));
    tips = visibleTips(&view);
    QVERIFY(tips);
    QCOMPARE(tips->leftButton()->text(), QStringLiteral("I knwon"));
    tips->leftButton()->click();
    QVERIFY(!PSettings().clarityTipEnabled());

    // Never again, in this view or a new one.
    QVERIFY(view.loadFile(m_table));
    QVERIFY(!visibleTips(&view, 300));
    KImageTableOcrView other;
    QVERIFY(other.loadFile(m_table));
    QVERIFY(!visibleTips(&other, 300));
}

void tst_KImageTableOcrView::excelResultIsSavedAsXlsx()
{
    PSettings().setClarityTipEnabled(0);
    KImageTableOcrView view;
    QVERIFY(view.loadFile(m_table));
    view.modeGroup()->button(KImageTableOcrView::ExcelMode)->click();
    QCOMPARE(view.client()->serviceType(), 4);
    QSignalSpy finished(&view, &KOnlineJobView::jobFinished);
    view.onStartConvert();
    QVERIFY(finished.wait(90000));
    QVERIFY2(finished.last().value(0).toBool(), qPrintable(view.lastMessage()));
    // The preview picture of the recognised table is shown.
    QCOMPARE(view.display()->currentPage(), 1);
    QVERIFY(!view.display()->comparePage()->showsText());
    QVERIFY(!view.cachedResult(KImageTableOcrView::ExcelMode).image.isNull());
    QVERIFY(view.resultBytes().startsWith("PK"));
    screenshot(&view, QStringLiteral("table-result"));

    QCOMPARE(view.proposedSavePath(), m_dir.filePath(QStringLiteral("fruit.xlsx")));
    QTemporaryDir out;
    const QString written = view.saveResultTo(out.filePath(QStringLiteral("fruit table")));
    QCOMPARE(written, out.filePath(QStringLiteral("fruit table.xlsx")));
    QVERIFY(QFileInfo(written).size() == view.resultBytes().size());
}

void tst_KImageTableOcrView::timeoutOffersRetry()
{
    PSettings().setClarityTipEnabled(0);
    KImageTableOcrView view;
    view.setJobTimeout(300);
    view.client()->setPollInterval(60000);
    QVERIFY(view.loadFile(m_table));
    QSignalSpy finished(&view, &KOnlineJobView::jobFinished);
    view.onStartConvert();
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.last().value(0).toBool(), false);
    KMessageTips *tips = visibleTips(&view);
    QVERIFY(tips);
    QCOMPARE(
        tips->message(), QStringLiteral("Picture table recognition result faild, please retry"));
    QCOMPARE(tips->leftButton()->text(), QStringLiteral("retry"));
    // "retry" starts the job again.
    tips->leftButton()->click();
    QVERIFY(TestUtils::waitUntil([&] { return view.jobsStarted() == 2; }, 5000));
    QVERIFY(finished.wait(10000));
    if (KMessageTips *again = visibleTips(&view))
        again->rightButton()->click();
}

QTEST_MAIN(tst_KImageTableOcrView)
#include "tst_KImageTableOcrView.moc"
