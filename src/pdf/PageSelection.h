#pragma once

#include <QList>
#include <QString>

#include "pdf/SelectPageItem.h"

// Page-range text, page counting and range merging for the PDF-to-image tool.
// Pure functions, used by the page dialog and the file list rows in the
// interface thread and by the converter thread.
namespace PageSelection {

enum class RangeError {
    None,
    Format, // "page range format error!"
    BeginExceedsEnd, // "page begin exceed end"
    ExceedsPageSum // "page range exceed pages sum"
};

struct ParsedRanges
{
    RangeError error = RangeError::None;
    QList<SelectPageItem::Range> ranges; // in the order typed; empty on error
};

// Reads text such as "1,3-5" against a document of pageCount pages. Parts are
// separated by commas; empty parts are skipped; a part is a page number or
// first-last. Blanks around numbers, dashes and commas are allowed ("1, 3 - 5").
// Ranges are checked in the order typed and the first failing one decides the
// error: last < first, then first or last beyond pageCount. Page 0 passes the
// checks (the renderer refuses it later). Numbers too large for an int count
// as beyond any page count.
ParsedRanges parseRanges(const QString &text, int pageCount);

// Sorted by first page; a range starting at or before the previous range's
// last page extends it; ranges that merely touch stay separate.
QList<SelectPageItem::Range> mergeRanges(QList<SelectPageItem::Range> ranges);

// Sum of last - first + 1 over ranges with last >= first.
int rangePageCount(const QList<SelectPageItem::Range> &ranges);

// Pages a mode selects from pageCount pages: all; odd (rounded up); even
// (rounded down). Specific pages are counted from ranges (merged first).
int selectedPageCount(int mode, int pageCount, const QList<SelectPageItem::Range> &ranges = {});

// The item as a row keeps it: specific ranges sorted and merged, count set.
SelectPageItem normalized(SelectPageItem item, int pageCount);

} // namespace PageSelection
