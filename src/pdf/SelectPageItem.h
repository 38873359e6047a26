#pragma once

#include <QList>
#include <QMetaType>
#include <QPair>
#include <QString>

// One document's page choice in the PDF-to-image tool: made in the page
// dialog (interface thread), kept by the file list row, and copied into the
// converter thread by value.
struct SelectPageItem
{
    enum Mode { AllPages = 0, OddPages = 1, EvenPages = 2, SpecificPages = 3 };
    using Range = QPair<int, int>; // first, last; 1-based, inclusive

    int mode = AllPages;
    QString text; // the range text as typed (specific pages)
    QList<Range> ranges; // specific pages; sorted and merged once the row has taken them
    int count = 0; // pages to convert; 0 for "all" until the page count is filled in
};

Q_DECLARE_METATYPE(SelectPageItem)

// Registers "SelectPageItem" (and the alias "SelectPageItem&") for queued
// connections. Idempotent and thread-safe.
void registerSelectPageItemMetaType();
