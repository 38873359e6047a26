#include <QtTest>

#include "pdf/PageSelection.h"
#include "pdf/SelectPageItem.h"

using PageSelection::RangeError;
using Ranges = QList<SelectPageItem::Range>;

Q_DECLARE_METATYPE(RangeError)

class SelectPageChannel : public QObject
{
    Q_OBJECT
signals:
    void changed(SelectPageItem item);
};

class tst_PageSelection : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void count_data();
    void count();
    void merge_data();
    void merge();
    void metaTypeTravelsQueued();
};

void tst_PageSelection::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pageCount");
    QTest::addColumn<RangeError>("error");
    QTest::addColumn<Ranges>("ranges");

    const Ranges none;
    // Inputs without blanks behave exactly as the page dialog always did.
    QTest::newRow("1,3-5 on 5 pages")
        << "1,3-5" << 5 << RangeError::None << Ranges { { 1, 1 }, { 3, 5 } };
    QTest::newRow("3-5,1 kept as typed")
        << "3-5,1" << 5 << RangeError::None << Ranges { { 3, 5 }, { 1, 1 } };
    QTest::newRow("5-3 reversed") << "5-3" << 5 << RangeError::BeginExceedsEnd << none;
    QTest::newRow("1-6 beyond 5 pages") << "1-6" << 5 << RangeError::ExceedsPageSum << none;
    QTest::newRow("6 alone beyond 5 pages") << "6" << 5 << RangeError::ExceedsPageSum << none;
    QTest::newRow("semicolon") << "1;3" << 5 << RangeError::Format << none;
    QTest::newRow("letters") << "a-b" << 5 << RangeError::Format << none;
    QTest::newRow("trailing comma ignored")
        << "1,3-5," << 5 << RangeError::None << Ranges { { 1, 1 }, { 3, 5 } };
    QTest::newRow("double comma skipped")
        << "2,,4" << 5 << RangeError::None << Ranges { { 2, 2 }, { 4, 4 } };
    QTest::newRow("0 accepted as page 0") << "0" << 5 << RangeError::None << Ranges { { 0, 0 } };
    QTest::newRow("empty text selects nothing") << "" << 5 << RangeError::None << none;
    QTest::newRow("only a comma") << "," << 5 << RangeError::None << none;
    QTest::newRow("last page exactly") << "5-5" << 5 << RangeError::None << Ranges { { 5, 5 } };
    QTest::newRow("negative number") << "-3" << 5 << RangeError::Format << none;
    QTest::newRow("open range") << "3-" << 5 << RangeError::Format << none;
    QTest::newRow("two dashes") << "1-2-3" << 5 << RangeError::Format << none;
    QTest::newRow("format error wins over a bad range before it")
        << "5-3,x" << 5 << RangeError::Format << none;
    QTest::newRow("first failing range decides: reversed")
        << "9,5-3" << 5 << RangeError::ExceedsPageSum << none;
    QTest::newRow("first failing range decides: too far")
        << "5-3,9" << 5 << RangeError::BeginExceedsEnd << none;
    QTest::newRow("leading zeros") << "003" << 5 << RangeError::None << Ranges { { 3, 3 } };
    QTest::newRow("number beyond int is beyond the pages")
        << "99999999999999999999" << 5 << RangeError::ExceedsPageSum << none;
    QTest::newRow("huge range end") << "1-4294967297" << 5 << RangeError::ExceedsPageSum << none;
    QTest::newRow("non-ASCII digits are not numbers")
        << QString::fromUtf8("\xd9\xa3") << 5 << RangeError::Format << none;
    QTest::newRow("no pages in the document") << "1" << 0 << RangeError::ExceedsPageSum << none;

    // Blanks around numbers, dashes and commas are tolerated (the hint itself
    // shows "1, 3-5").
    QTest::newRow("hint text with a blank")
        << "1, 3-5" << 5 << RangeError::None << Ranges { { 1, 1 }, { 3, 5 } };
    QTest::newRow("blanks everywhere")
        << "  1 ,  3 - 5 , " << 5 << RangeError::None << Ranges { { 1, 1 }, { 3, 5 } };
    QTest::newRow("tab after comma")
        << "2,\t4" << 5 << RangeError::None << Ranges { { 2, 2 }, { 4, 4 } };
    QTest::newRow("blank-only part skipped")
        << "1, ,2" << 5 << RangeError::None << Ranges { { 1, 1 }, { 2, 2 } };
    QTest::newRow("blank inside a number") << "1 2" << 5 << RangeError::Format << none;
    QTest::newRow("blanks do not hide a reversed range")
        << " 5 - 3 " << 5 << RangeError::BeginExceedsEnd << none;
}

void tst_PageSelection::parse()
{
    QFETCH(QString, text);
    QFETCH(int, pageCount);
    QFETCH(RangeError, error);
    QFETCH(Ranges, ranges);

    const PageSelection::ParsedRanges parsed = PageSelection::parseRanges(text, pageCount);
    QCOMPARE(parsed.error, error);
    QCOMPARE(parsed.ranges, ranges);
}

void tst_PageSelection::count_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("pageCount");
    QTest::addColumn<Ranges>("ranges");
    QTest::addColumn<int>("count");

    QTest::newRow("all of 5") << int(SelectPageItem::AllPages) << 5 << Ranges() << 5;
    QTest::newRow("odd of 5") << int(SelectPageItem::OddPages) << 5 << Ranges() << 3;
    QTest::newRow("even of 5") << int(SelectPageItem::EvenPages) << 5 << Ranges() << 2;
    QTest::newRow("odd of 4") << int(SelectPageItem::OddPages) << 4 << Ranges() << 2;
    QTest::newRow("even of 1") << int(SelectPageItem::EvenPages) << 1 << Ranges() << 0;
    QTest::newRow("odd of 0") << int(SelectPageItem::OddPages) << 0 << Ranges() << 0;
    QTest::newRow("all of an unopenable document")
        << int(SelectPageItem::AllPages) << -1 << Ranges() << 0;
    QTest::newRow("1,3-5") << int(SelectPageItem::SpecificPages) << 5
                           << Ranges { { 1, 1 }, { 3, 5 } } << 4;
    QTest::newRow("3-5,1 unsorted")
        << int(SelectPageItem::SpecificPages) << 5 << Ranges { { 3, 5 }, { 1, 1 } } << 4;
    QTest::newRow("overlap 1-3 and 2-5")
        << int(SelectPageItem::SpecificPages) << 5 << Ranges { { 1, 3 }, { 2, 5 } } << 5;
    QTest::newRow("touching 1-2 and 3-4")
        << int(SelectPageItem::SpecificPages) << 5 << Ranges { { 1, 2 }, { 3, 4 } } << 4;
    QTest::newRow("same page twice")
        << int(SelectPageItem::SpecificPages) << 5 << Ranges { { 2, 2 }, { 2, 2 } } << 1;
    QTest::newRow("page 0") << int(SelectPageItem::SpecificPages) << 5 << Ranges { { 0, 0 } } << 1;
    QTest::newRow("no ranges") << int(SelectPageItem::SpecificPages) << 5 << Ranges() << 0;
    QTest::newRow("unknown mode") << 7 << 5 << Ranges() << 0;
}

void tst_PageSelection::count()
{
    QFETCH(int, mode);
    QFETCH(int, pageCount);
    QFETCH(Ranges, ranges);
    QFETCH(int, count);

    QCOMPARE(PageSelection::selectedPageCount(mode, pageCount, ranges), count);
    SelectPageItem item;
    item.mode = mode;
    item.ranges = ranges;
    QCOMPARE(PageSelection::normalized(item, pageCount).count, count);
}

void tst_PageSelection::merge_data()
{
    QTest::addColumn<Ranges>("input");
    QTest::addColumn<Ranges>("merged");

    QTest::newRow("sorted by first page")
        << Ranges { { 3, 5 }, { 1, 1 } } << Ranges { { 1, 1 }, { 3, 5 } };
    QTest::newRow("overlap extends") << Ranges { { 1, 3 }, { 2, 5 } } << Ranges { { 1, 5 } };
    QTest::newRow("2-3 and 3-4 share page 3")
        << Ranges { { 2, 3 }, { 3, 4 } } << Ranges { { 2, 4 } };
    QTest::newRow("contained range") << Ranges { { 1, 9 }, { 2, 3 } } << Ranges { { 1, 9 } };
    QTest::newRow("touching stay separate")
        << Ranges { { 1, 2 }, { 3, 4 } } << Ranges { { 1, 2 }, { 3, 4 } };
    QTest::newRow("chain of three")
        << Ranges { { 5, 6 }, { 1, 4 }, { 4, 5 } } << Ranges { { 1, 6 } };
}

void tst_PageSelection::merge()
{
    QFETCH(Ranges, input);
    QFETCH(Ranges, merged);
    QCOMPARE(PageSelection::mergeRanges(input), merged);

    SelectPageItem item;
    item.mode = SelectPageItem::SpecificPages;
    item.ranges = input;
    QCOMPARE(PageSelection::normalized(item, 10).ranges, merged);
    // Other modes leave whatever ranges the item had.
    item.mode = SelectPageItem::OddPages;
    QCOMPARE(PageSelection::normalized(item, 10).ranges, input);
}

// The item crosses threads by value; a queued connection drops it unless
// the type is registered under the name the signal uses.
void tst_PageSelection::metaTypeTravelsQueued()
{
    registerSelectPageItemMetaType();
    SelectPageChannel channel;
    QVector<SelectPageItem> received;
    connect(
        &channel, &SelectPageChannel::changed, this,
        [&received](SelectPageItem item) { received.append(item); }, Qt::QueuedConnection);

    SelectPageItem item;
    item.mode = SelectPageItem::SpecificPages;
    item.text = QStringLiteral("2-3");
    item.ranges = { { 2, 3 } };
    item.count = 2;
    emit channel.changed(item);
    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(received.first().mode, item.mode);
    QCOMPARE(received.first().text, item.text);
    QCOMPARE(received.first().ranges, item.ranges);
    QCOMPARE(received.first().count, item.count);
}

QTEST_GUILESS_MAIN(tst_PageSelection)
#include "tst_PageSelection.moc"
