#include <QAbstractButton>
#include <QButtonGroup>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "TestUtils.h"
#include "app/ui/KApplication.h"
#include "pdf/SelectPageItem.h"
#include "pdf/ui/KPdfTableListItem.h"
#include "pdf/ui/KSelectPageView.h"
#include "widgets/KTableListItem.h"
#include "widgets/KTableListView.h"

using Ranges = QList<SelectPageItem::Range>;
Q_DECLARE_METATYPE(Ranges)

namespace {

SelectPageItem item(int mode, const Ranges &ranges = {})
{
    SelectPageItem i;
    i.mode = mode;
    i.ranges = ranges;
    return i;
}

} // namespace

// The page dialog and the page choice of PDF rows. Rows are given their page
// count directly, so the renderer is not needed here.
namespace {

KPdfTableListItem *pdfRow(const KTableListView &list, int index)
{
    return qobject_cast<KPdfTableListItem *>(list.row(index));
}

} // namespace

class tst_KSelectPageView : public QObject
{
    Q_OBJECT
private slots:
    void pdfRowsUseThePageCounter();
    void initTestCase();
    void rangeInput_data();
    void rangeInput();
    void errorClearedOnceAccepted();
    void otherModesIgnoreTheRangeText();
    void rangeBoxOnlyForSpecificPages();
    void cancelAndCloseEmitNothing();
    void rowCounts_data();
    void rowCounts();
    void rowOpensOneDialogAndKeepsItsChoice();
    void listCollectsTheRowsChoices();
    void screenshot();

private:
    QTemporaryDir m_dir;
};

void tst_KSelectPageView::initTestCase()
{
    KApplication::installFontSubstitutions();
    QVERIFY(m_dir.isValid());
}

void tst_KSelectPageView::rangeInput_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error"); // empty: accepted
    QTest::addColumn<Ranges>("ranges"); // as stored by the dialog, in the order typed

    const QString format = "page range format error!";
    const QString beginEnd = "page begin exceed end";
    const QString sum = "page range exceed pages sum";
    QTest::newRow("1,3-5") << "1,3-5" << QString() << Ranges { { 1, 1 }, { 3, 5 } };
    QTest::newRow("3-5,1 kept as typed") << "3-5,1" << QString() << Ranges { { 3, 5 }, { 1, 1 } };
    QTest::newRow("5-3") << "5-3" << beginEnd << Ranges {};
    QTest::newRow("1-6 on 5 pages") << "1-6" << sum << Ranges {};
    QTest::newRow("6 on 5 pages") << "6" << sum << Ranges {};
    QTest::newRow("first failing range decides: sum") << "1-6,5-3" << sum << Ranges {};
    QTest::newRow("first failing range decides: order") << "5-3,1-6" << beginEnd << Ranges {};
    QTest::newRow("1;3") << "1;3" << format << Ranges {};
    QTest::newRow("a-b") << "a-b" << format << Ranges {};
    QTest::newRow("1-2-3") << "1-2-3" << format << Ranges {};
    QTest::newRow("negative") << "-1" << format << Ranges {};
    QTest::newRow("trailing comma") << "1,3," << QString() << Ranges { { 1, 1 }, { 3, 3 } };
    QTest::newRow("empty parts") << ",,2,,4-5" << QString() << Ranges { { 2, 2 }, { 4, 5 } };
    QTest::newRow("0 passes") << "0" << QString() << Ranges { { 0, 0 } };
    QTest::newRow("empty text selects nothing") << "" << QString() << Ranges {};
    // The hint shows "1, 3-5": blanks around numbers, dashes and commas are read.
    QTest::newRow("hint with a blank") << "1, 3-5" << QString() << Ranges { { 1, 1 }, { 3, 5 } };
    QTest::newRow("blanks around a dash") << " 2 - 4 " << QString() << Ranges { { 2, 4 } };
    QTest::newRow("blank inside a number") << "1 2" << format << Ranges {};
    QTest::newRow("huge number") << "99999999999" << sum << Ranges {};
}

void tst_KSelectPageView::rangeInput()
{
    QFETCH(QString, text);
    QFETCH(QString, error);
    QFETCH(Ranges, ranges);

    KSelectPageView dialog("select page", nullptr, 5);
    QSignalSpy changed(&dialog, &KSelectPageView::selectPageChanged);
    dialog.show();
    dialog.modeGroup()->button(SelectPageItem::SpecificPages)->click();
    QTest::keyClicks(dialog.rangeBox(), text);
    QCOMPARE(dialog.item().text, text);
    dialog.okButton()->click();

    QCOMPARE(dialog.errorText(), error);
    if (!error.isEmpty()) {
        // Stays open with the user's text; nothing reaches the row.
        QVERIFY(dialog.isVisible());
        QCOMPARE(changed.count(), 0);
        QCOMPARE(dialog.rangeBox()->text(), text);
        QVERIFY(dialog.item().ranges.isEmpty());
        return;
    }
    QVERIFY(!dialog.isVisible());
    QCOMPARE(changed.count(), 1);
    const auto sent = changed.at(0).at(0).value<SelectPageItem>();
    QCOMPARE(sent.mode, int(SelectPageItem::SpecificPages));
    QCOMPARE(sent.text, text);
    QCOMPARE(sent.ranges, ranges);
}

void tst_KSelectPageView::errorClearedOnceAccepted()
{
    KSelectPageView dialog("select page", nullptr, 5);
    QSignalSpy changed(&dialog, &KSelectPageView::selectPageChanged);
    dialog.show();
    dialog.onModeChanged(SelectPageItem::SpecificPages);
    dialog.rangeBox()->setText("5-3");
    dialog.onBtnOk();
    QCOMPARE(dialog.errorText(), QString("page begin exceed end"));
    dialog.rangeBox()->setText("3-5");
    QTest::keyClick(dialog.rangeBox(), Qt::Key_Return); // Return means Ok
    QCOMPARE(dialog.errorText(), QString());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<SelectPageItem>().ranges, (Ranges { { 3, 5 } }));
}

void tst_KSelectPageView::otherModesIgnoreTheRangeText()
{
    KSelectPageView dialog("select page", nullptr, 5);
    QSignalSpy changed(&dialog, &KSelectPageView::selectPageChanged);
    dialog.show();
    dialog.onModeChanged(SelectPageItem::SpecificPages);
    dialog.rangeBox()->setText("2-3");
    dialog.onBtnOk();
    QCOMPARE(changed.count(), 1);

    // Odd pages with a text that would not parse: accepted, the text is not read.
    dialog.show();
    dialog.onModeChanged(SelectPageItem::OddPages);
    dialog.rangeBox()->setText("a-b");
    dialog.onBtnOk();
    QCOMPARE(dialog.errorText(), QString());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(changed.count(), 2);
    const auto sent = changed.at(1).at(0).value<SelectPageItem>();
    QCOMPARE(sent.mode, int(SelectPageItem::OddPages));
    QCOMPARE(sent.ranges, (Ranges { { 2, 3 } })); // kept from before, unused in this mode
}

void tst_KSelectPageView::rangeBoxOnlyForSpecificPages()
{
    KSelectPageView dialog("select page", nullptr, 5);
    QCOMPARE(dialog.title(), QString("select page"));
    QCOMPARE(dialog.item().mode, int(SelectPageItem::AllPages));
    QVERIFY(dialog.modeGroup()->button(0)->isChecked());
    QVERIFY(!dialog.rangeBox()->isEnabled());
    QVERIFY(!dialog.rangeLabel()->isEnabled());
    for (int id : { 3, 1, 2, 3, 0 }) {
        dialog.modeGroup()->button(id)->click();
        QCOMPARE(dialog.item().mode, id);
        QCOMPARE(dialog.rangeBox()->isEnabled(), id == 3);
        QCOMPARE(dialog.rangeLabel()->isEnabled(), id == 3);
    }
}

void tst_KSelectPageView::cancelAndCloseEmitNothing()
{
    for (int which = 0; which < 2; ++which) {
        KSelectPageView dialog("select page", nullptr, 5);
        QSignalSpy changed(&dialog, &KSelectPageView::selectPageChanged);
        dialog.show();
        dialog.modeGroup()->button(3)->click();
        dialog.rangeBox()->setText("1-2");
        (which == 0 ? dialog.cancelButton() : dialog.closeButton())->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(changed.count(), 0);
        // The controls keep their state for the next opening.
        dialog.show();
        QVERIFY(dialog.modeGroup()->button(3)->isChecked());
        QCOMPARE(dialog.rangeBox()->text(), QString("1-2"));
    }
}

void tst_KSelectPageView::rowCounts_data()
{
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("mode");
    QTest::addColumn<Ranges>("ranges");
    QTest::addColumn<Ranges>("kept");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("buttonText");

    QTest::newRow("all of 5") << 5 << 0 << Ranges {} << Ranges {} << 5 << "all page";
    QTest::newRow("odd of 5") << 5 << 1 << Ranges {} << Ranges {} << 3 << "total3page";
    QTest::newRow("even of 5") << 5 << 2 << Ranges {} << Ranges {} << 2 << "total2page";
    QTest::newRow("odd of 6") << 6 << 1 << Ranges {} << Ranges {} << 3 << "total3page";
    QTest::newRow("even of 1") << 1 << 2 << Ranges {} << Ranges {} << 0 << "total0page";
    QTest::newRow("odd of 999") << 999 << 1 << Ranges {} << Ranges {} << 500 << "total500page";
    QTest::newRow("1-3 and 2-5 merge")
        << 5 << 3 << Ranges { { 1, 3 }, { 2, 5 } } << Ranges { { 1, 5 } } << 5 << "total5page";
    QTest::newRow("1-2 and 3-4 stay apart") << 5 << 3 << Ranges { { 1, 2 }, { 3, 4 } }
                                            << Ranges { { 1, 2 }, { 3, 4 } } << 4 << "total4page";
    QTest::newRow("3-5,1 sorted") << 5 << 3 << Ranges { { 3, 5 }, { 1, 1 } }
                                  << Ranges { { 1, 1 }, { 3, 5 } } << 4 << "total4page";
    QTest::newRow("2-3 and 3-4 share page 3")
        << 5 << 3 << Ranges { { 2, 3 }, { 3, 4 } } << Ranges { { 2, 4 } } << 3 << "total3page";
    QTest::newRow("inner range swallowed")
        << 9 << 3 << Ranges { { 1, 9 }, { 3, 4 } } << Ranges { { 1, 9 } } << 9 << "total9page";
    QTest::newRow("no ranges") << 5 << 3 << Ranges {} << Ranges {} << 0 << "total0page";
}

void tst_KSelectPageView::rowCounts()
{
    QFETCH(int, pages);
    QFETCH(int, mode);
    QFETCH(Ranges, ranges);
    QFETCH(Ranges, kept);
    QFETCH(int, count);
    QFETCH(QString, buttonText);

    KPdfTableListItem row(nullptr, m_dir.filePath("doc.pdf"), pages);
    QCOMPARE(row.selection().count, pages);
    QCOMPARE(row.selectPageButton()->text(), QString("all page"));
    QSignalSpy changed(&row, &KPdfTableListItem::selectPageChanged);
    row.onSelectPageChanged(item(mode, ranges));
    QCOMPARE(changed.count(), 1);
    const auto sent = changed.at(0).at(0).value<SelectPageItem>();
    QCOMPARE(sent.count, count);
    QCOMPARE(sent.mode, mode);
    if (mode == SelectPageItem::SpecificPages)
        QCOMPARE(sent.ranges, kept);
    QCOMPARE(row.selection().count, count);
    QCOMPARE(row.selectPageButton()->text(), buttonText);
    QVERIFY(row.selectPageButton()->width()
        > row.selectPageButton()->fontMetrics().horizontalAdvance(buttonText));
}

void tst_KSelectPageView::rowOpensOneDialogAndKeepsItsChoice()
{
    KPdfTableListItem row(nullptr, m_dir.filePath("doc.pdf"), 5);
    row.show();
    QVERIFY(!row.selectPageView());
    row.selectPageButton()->click();
    KSelectPageView *dialog = row.selectPageView();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->isModal());
    QCOMPARE(dialog->title(), QString("select page"));
    QCOMPARE(dialog->pageCount(), 5);

    dialog->modeGroup()->button(3)->click();
    dialog->rangeBox()->setText("1,3-5");
    dialog->okButton()->click();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(row.selection().count, 4);
    QCOMPARE(row.selectPageButton()->text(), QString("total4page"));

    // Reopened: the same dialog. A new range typed and cancelled leaves the
    // row's choice as it was.
    row.selectPageButton()->click();
    QCOMPARE(row.selectPageView(), dialog);
    dialog->rangeBox()->setText("2");
    dialog->cancelButton()->click();
    QCOMPARE(row.selection().ranges, (Ranges { { 1, 1 }, { 3, 5 } }));
    QCOMPARE(row.selectPageButton()->text(), QString("total4page"));

    // A document without pages offers no choice.
    KPdfTableListItem empty(nullptr, m_dir.filePath("empty.pdf"), 0);
    QCOMPARE(empty.pageText(), QString("load failed"));
    QVERIFY(!empty.selectPageButton()->isEnabled());
}

void tst_KSelectPageView::listCollectsTheRowsChoices()
{
    const QString five = TestUtils::writeFile(m_dir.path(), "five.pdf", "x");
    const QString six = TestUtils::writeFile(m_dir.path(), "six.pdf", "x");
    const QString zero = TestUtils::writeFile(m_dir.path(), "zero.pdf", "x");
    struct CounterReset
    {
        ~CounterReset() { KPdfTableListItem::setPageCounter(nullptr); }
    } reset;
    int calls = 0;
    KPdfTableListItem::setPageCounter([&calls](const QString &path) {
        ++calls;
        if (path.endsWith("five.pdf"))
            return 5;
        if (path.endsWith("six.pdf"))
            return 6;
        return 0;
    });
    KTableListView list(nullptr);
    KPdfTableListItem::makePdfList(&list);
    list.appendFiles({ five, six, zero });
    QCOMPARE(calls, 3); // each document opened once when it is added
    QCOMPARE(KPdfTableListItem::pageSelections(&list).keys(), (QStringList { five, six, zero }));

    // Never-opened choices get the document's page count when asked for.
    QMap<QString, SelectPageItem> selections = KPdfTableListItem::pageSelections(&list);
    QCOMPARE(selections.value(five).mode, int(SelectPageItem::AllPages));
    QCOMPARE(selections.value(five).count, 5);
    QCOMPARE(selections.value(six).count, 6);
    QCOMPARE(selections.value(zero).count, 0);

    pdfRow(list, 1)->onSelectPageChanged(item(SelectPageItem::EvenPages));
    pdfRow(list, 0)->onSelectPageChanged(
        item(SelectPageItem::SpecificPages, { { 4, 5 }, { 1, 2 } }));
    selections = KPdfTableListItem::pageSelections(&list);
    QCOMPARE(selections.value(six).mode, int(SelectPageItem::EvenPages));
    QCOMPARE(selections.value(six).count, 3);
    QCOMPARE(selections.value(five).ranges, (Ranges { { 1, 2 }, { 4, 5 } }));
    QCOMPARE(selections.value(five).count, 4);

    // Adding a listed document again does not reset its choice.
    list.appendFiles({ six });
    QCOMPARE(
        KPdfTableListItem::pageSelections(&list).value(six).mode, int(SelectPageItem::EvenPages));

    // A removed row takes its choice with it; clearing forgets all.
    list.removeFile(six);
    QCOMPARE(KPdfTableListItem::pageSelections(&list).keys(), (QStringList { five, zero }));
    QCOMPARE(KPdfTableListItem::pageSelections(&list).value(five).count, 4);
    list.onClearFile();
    QVERIFY(KPdfTableListItem::pageSelections(&list).isEmpty());
}

void tst_KSelectPageView::screenshot()
{
    KSelectPageView dialog("select page", nullptr, 5);
    dialog.show();
    dialog.onModeChanged(SelectPageItem::SpecificPages);
    dialog.rangeBox()->setText("1-6");
    dialog.onBtnOk();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QImage image = dialog.grab().toImage();
    QCOMPARE(image.size(), QSize(500, 200));
    const QString shots = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        QDir().mkpath(shots);
        QVERIFY(image.save(shots + "/select-page.png"));
    }
}

void tst_KSelectPageView::pdfRowsUseThePageCounter()
{
    QTemporaryDir dir;
    QStringList paths;
    for (const char *name : { "five.pdf", "broken.pdf", "empty.pdf" })
        paths << TestUtils::writeFile(dir.path(), name, QByteArray(1500, 'x'));
    KPdfTableListItem::setPageCounter([](const QString &path) {
        if (path.endsWith("five.pdf"))
            return 5;
        if (path.endsWith("broken.pdf"))
            return -1;
        return 0;
    });
    KTableListView list(nullptr);
    KPdfTableListItem::makePdfList(&list);
    list.appendFiles(paths);
    KPdfTableListItem::setPageCounter(nullptr);
    // A document that cannot be opened is not listed; one without pages shows "load failed".
    QCOMPARE(list.files(), (QStringList { paths[0], paths[2] }));
    QCOMPARE(pdfRow(list, 0)->pageText(), QString("5page"));
    QVERIFY(pdfRow(list, 0)->isLoaded());
    QCOMPARE(pdfRow(list, 1)->pageText(), QString("load failed"));
    QVERIFY(!pdfRow(list, 1)->isLoaded());
    list.setProgress(0, 40);
    QCOMPARE(list.row(0)->progressBar()->value(), 40);
    QCOMPARE(list.row(0)->statusText(), QString());
}

QTEST_MAIN(tst_KSelectPageView)
#include "tst_KSelectPageView.moc"
