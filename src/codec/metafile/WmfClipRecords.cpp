#include <uwmf.h>

#include "codec/metafile/WmfRecords_p.h"

// Clip rectangles (logical units) and the offset of the whole clip. The
// clip is part of the state SaveDC/RestoreDC keep.

namespace WmfRecords {

namespace {

void clipRect(const Params &p, MetafileCanvas &canvas)
{
    if (!p.has(0, 4))
        return;
    if (p.type() == U_WMR_INTERSECTCLIPRECT)
        canvas.intersectClipRect(p.reversedRect(0));
    else
        canvas.excludeClipRect(p.reversedRect(0));
}

void offsetClip(const Params &p, MetafileCanvas &canvas)
{
    if (p.has(0, 2))
        canvas.offsetClip(p.reversedPoint(0));
}

} // namespace

void addClipRecords(HandlerTable &table)
{
    table.set({ U_WMR_INTERSECTCLIPRECT, U_WMR_EXCLUDECLIPRECT }, clipRect);
    table.set({ U_WMR_OFFSETCLIPRGN }, offsetClip);
}

} // namespace WmfRecords
