#include <uemf.h>

#include "codec/metafile/EmfRecords_p.h"

// The page transform (mapping mode, window and viewport) and the world
// transform.

namespace EmfRecords {

namespace {

QTransform transformOf(const U_XFORM &x)
{
    return QTransform(x.eM11, x.eM12, x.eM21, x.eM22, x.eDx, x.eDy);
}

void setMapMode(const Record &r, MetafileCanvas &canvas)
{
    U_EMRSETMAPMODE rec;
    if (r.read(&rec))
        canvas.setMapMode(int(rec.iMode));
}

void setExtent(const Record &r, MetafileCanvas &canvas)
{
    U_EMRSETWINDOWEXTEX rec;
    if (!r.read(&rec))
        return;
    const QSizeF ext(rec.szlExtent.cx, rec.szlExtent.cy);
    if (r.type() == U_EMR_SETWINDOWEXTEX)
        canvas.setWindowExt(ext);
    else
        canvas.setViewportExt(ext);
}

void setOrigin(const Record &r, MetafileCanvas &canvas)
{
    U_EMRSETWINDOWORGEX rec;
    if (!r.read(&rec))
        return;
    if (r.type() == U_EMR_SETWINDOWORGEX)
        canvas.setWindowOrg(pointOf(rec.ptlOrigin));
    else
        canvas.setViewportOrg(pointOf(rec.ptlOrigin));
}

void scaleExtent(const Record &r, MetafileCanvas &canvas)
{
    U_EMRSCALEVIEWPORTEXTEX rec;
    if (!r.read(&rec))
        return;
    if (r.type() == U_EMR_SCALEWINDOWEXTEX)
        canvas.scaleWindowExt(rec.xNum, rec.xDenom, rec.yNum, rec.yDenom);
    else
        canvas.scaleViewportExt(rec.xNum, rec.xDenom, rec.yNum, rec.yDenom);
}

void setWorldTransform(const Record &r, MetafileCanvas &canvas)
{
    U_EMRSETWORLDTRANSFORM rec;
    if (r.read(&rec))
        canvas.setWorldTransform(transformOf(rec.xform));
}

void modifyWorldTransform(const Record &r, MetafileCanvas &canvas)
{
    U_EMRMODIFYWORLDTRANSFORM rec;
    if (r.read(&rec))
        canvas.modifyWorldTransform(transformOf(rec.xform), int(rec.iMode));
}

} // namespace

void addMappingRecords(HandlerTable &table)
{
    table.set({ U_EMR_SETMAPMODE }, setMapMode);
    table.set({ U_EMR_SETWINDOWEXTEX, U_EMR_SETVIEWPORTEXTEX }, setExtent);
    table.set({ U_EMR_SETWINDOWORGEX, U_EMR_SETVIEWPORTORGEX }, setOrigin);
    table.set({ U_EMR_SCALEVIEWPORTEXTEX, U_EMR_SCALEWINDOWEXTEX }, scaleExtent);
    table.set({ U_EMR_SETWORLDTRANSFORM }, setWorldTransform);
    table.set({ U_EMR_MODIFYWORLDTRANSFORM }, modifyWorldTransform);
}

} // namespace EmfRecords
