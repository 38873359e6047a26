#include "PageSelection.h"

#include <algorithm>
#include <climits>

#include <QRegularExpression>
#include <QStringList>

namespace PageSelection {

namespace {

// Digits only in ASCII: \d would also take other scripts' digits.
int readPageNumber(const QString &digits)
{
    int start = 0;
    while (start < digits.size() - 1 && digits.at(start) == QLatin1Char('0'))
        ++start;
    const QString significant = digits.mid(start);
    if (significant.size() > 9)
        return INT_MAX;
    return significant.toInt();
}

} // namespace

ParsedRanges parseRanges(const QString &text, int pageCount)
{
    static const QRegularExpression single(QStringLiteral("^\\s*([0-9]+)\\s*$"));
    static const QRegularExpression span(QStringLiteral("^\\s*([0-9]+)\\s*-\\s*([0-9]+)\\s*$"));

    ParsedRanges result;
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString &part : parts) {
        if (part.trimmed().isEmpty())
            continue;
        QRegularExpressionMatch match = single.match(part);
        if (match.hasMatch()) {
            const int page = readPageNumber(match.captured(1));
            result.ranges.append({ page, page });
            continue;
        }
        match = span.match(part);
        if (match.hasMatch()) {
            result.ranges.append(
                { readPageNumber(match.captured(1)), readPageNumber(match.captured(2)) });
            continue;
        }
        result.error = RangeError::Format;
        result.ranges.clear();
        return result;
    }

    for (const SelectPageItem::Range &range : qAsConst(result.ranges)) {
        if (range.second < range.first) {
            result.error = RangeError::BeginExceedsEnd;
            break;
        }
        if (range.first > pageCount || range.second > pageCount) {
            result.error = RangeError::ExceedsPageSum;
            break;
        }
    }
    if (result.error != RangeError::None)
        result.ranges.clear();
    return result;
}

QList<SelectPageItem::Range> mergeRanges(QList<SelectPageItem::Range> ranges)
{
    std::stable_sort(ranges.begin(), ranges.end(),
        [](const SelectPageItem::Range &a, const SelectPageItem::Range &b) {
            return a.first < b.first;
        });
    QList<SelectPageItem::Range> merged;
    for (const SelectPageItem::Range &range : qAsConst(ranges)) {
        if (!merged.isEmpty() && range.first <= merged.last().second)
            merged.last().second = std::max(merged.last().second, range.second);
        else
            merged.append(range);
    }
    return merged;
}

int rangePageCount(const QList<SelectPageItem::Range> &ranges)
{
    qint64 total = 0;
    for (const SelectPageItem::Range &range : ranges) {
        if (range.second >= range.first)
            total += qint64(range.second) - range.first + 1;
    }
    return int(std::min<qint64>(total, INT_MAX));
}

int selectedPageCount(int mode, int pageCount, const QList<SelectPageItem::Range> &ranges)
{
    const int pages = std::max(pageCount, 0);
    switch (mode) {
    case SelectPageItem::AllPages:
        return pages;
    case SelectPageItem::OddPages:
        return pages / 2 + pages % 2;
    case SelectPageItem::EvenPages:
        return pages / 2;
    case SelectPageItem::SpecificPages:
        return rangePageCount(mergeRanges(ranges));
    default:
        return 0;
    }
}

SelectPageItem normalized(SelectPageItem item, int pageCount)
{
    if (item.mode == SelectPageItem::SpecificPages)
        item.ranges = mergeRanges(item.ranges);
    item.count = selectedPageCount(item.mode, pageCount, item.ranges);
    return item;
}

} // namespace PageSelection
