#include <uemf.h>

#include "codec/metafile/EmfRecords_p.h"

// Path brackets and what is done with the finished path. Selecting a path
// as the clip is in EmfClipRecords.cpp.

namespace EmfRecords {

namespace {

void pathBracket(const Record &r, MetafileCanvas &canvas)
{
    switch (r.type()) {
    case U_EMR_BEGINPATH:
        canvas.beginPath();
        break;
    case U_EMR_ENDPATH:
        canvas.endPath();
        break;
    case U_EMR_CLOSEFIGURE:
        canvas.closeFigure();
        break;
    default:
        canvas.abortPath();
        break;
    }
}

void usePath(const Record &r, MetafileCanvas &canvas)
{
    switch (r.type()) {
    case U_EMR_FILLPATH:
        canvas.fillPath();
        break;
    case U_EMR_STROKEPATH:
        canvas.strokePath();
        break;
    default:
        canvas.strokeAndFillPath();
        break;
    }
}

} // namespace

void addPathRecords(HandlerTable &table)
{
    table.set({ U_EMR_BEGINPATH, U_EMR_ENDPATH, U_EMR_CLOSEFIGURE, U_EMR_ABORTPATH }, pathBracket);
    table.set({ U_EMR_FILLPATH, U_EMR_STROKEPATH, U_EMR_STROKEANDFILLPATH }, usePath);
}

} // namespace EmfRecords
