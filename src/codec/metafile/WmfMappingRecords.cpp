#include <uwmf.h>

#include "codec/metafile/WmfRecords_p.h"

// The page transform: mapping mode, window and viewport. WmfPlayer sets up
// the window and viewport a program playing the picture into the image
// would; these records then change them as GDI does.

namespace WmfRecords {

namespace {

void setMapMode(const Params &p, MetafileCanvas &canvas)
{
    if (p.has(0))
        canvas.setMapMode(p.u(0));
}

void setOrigin(const Params &p, MetafileCanvas &canvas)
{
    if (!p.has(0, 2))
        return;
    switch (p.type()) {
    case U_WMR_SETWINDOWORG:
        canvas.setWindowOrg(p.reversedPoint(0));
        break;
    case U_WMR_SETVIEWPORTORG:
        canvas.setViewportOrg(p.reversedPoint(0));
        break;
    case U_WMR_OFFSETWINDOWORG:
        canvas.offsetWindowOrg(p.reversedPoint(0));
        break;
    default:
        canvas.offsetViewportOrg(p.reversedPoint(0));
        break;
    }
}

void setExtent(const Params &p, MetafileCanvas &canvas)
{
    if (!p.has(0, 2))
        return;
    const QSizeF ext(p.s(1), p.s(0));
    if (p.type() == U_WMR_SETWINDOWEXT)
        canvas.setWindowExt(ext);
    else
        canvas.setViewportExt(ext);
}

void scaleExtent(const Params &p, MetafileCanvas &canvas)
{
    if (!p.has(0, 4))
        return;
    if (p.type() == U_WMR_SCALEWINDOWEXT)
        canvas.scaleWindowExt(p.s(3), p.s(2), p.s(1), p.s(0));
    else
        canvas.scaleViewportExt(p.s(3), p.s(2), p.s(1), p.s(0));
}

} // namespace

void addMappingRecords(HandlerTable &table)
{
    table.set({ U_WMR_SETMAPMODE }, setMapMode);
    table.set({ U_WMR_SETWINDOWORG, U_WMR_SETVIEWPORTORG, U_WMR_OFFSETWINDOWORG,
                  U_WMR_OFFSETVIEWPORTORG },
        setOrigin);
    table.set({ U_WMR_SETWINDOWEXT, U_WMR_SETVIEWPORTEXT }, setExtent);
    table.set({ U_WMR_SCALEWINDOWEXT, U_WMR_SCALEVIEWPORTEXT }, scaleExtent);
}

} // namespace WmfRecords
