#include <uemf.h>

#include "codec/metafile/EmfRecords_p.h"

// Clipping: rectangles in logical units, regions in device units of the
// reference device (as GDI records them), the current path, and an offset
// of the whole clip. The clip is part of the state SaveDC/RestoreDC keep.

namespace EmfRecords {

namespace {

// A region's rectangles fill the region; more than this many are merged
// into their bounding box, which keeps combining regions cheap.
constexpr quint32 kMaxRegionRects = 4096;

void clipRect(const Record &r, MetafileCanvas &canvas)
{
    U_EMRINTERSECTCLIPRECT rec;
    if (!r.read(&rec))
        return;
    if (r.type() == U_EMR_INTERSECTCLIPRECT)
        canvas.intersectClipRect(rectOf(rec.rclClip));
    else
        canvas.excludeClipRect(rectOf(rec.rclClip));
}

void selectClipRegion(const Record &r, MetafileCanvas &canvas)
{
    U_EMREXTSELECTCLIPRGN rec;
    if (!r.read(&rec, offsetof(U_EMREXTSELECTCLIPRGN, RgnData)))
        return;
    const qint64 dataAt = offsetof(U_EMREXTSELECTCLIPRGN, RgnData);
    if (rec.cbRgnData == 0) {
        // Only "no clipping" can be selected without a region.
        if (rec.iMode == U_RGN_COPY)
            canvas.resetClip();
        return;
    }
    QVector<QRectF> rects;
    if (!regionRects(r, dataAt, rec.cbRgnData, &rects))
        return;
    canvas.selectClipRegion(rects, int(rec.iMode));
}

void selectClipPath(const Record &r, MetafileCanvas &canvas)
{
    U_EMRSELECTCLIPPATH rec;
    if (r.read(&rec))
        canvas.selectClipPath(int(rec.iMode));
}

void offsetClip(const Record &r, MetafileCanvas &canvas)
{
    U_EMROFFSETCLIPRGN rec;
    if (r.read(&rec))
        canvas.offsetClip(pointOf(rec.ptlOffset));
}

} // namespace

bool regionRects(const Record &r, qint64 dataAt, quint32 cbRgnData, QVector<QRectF> *rects)
{
    if (!r.has(dataAt, cbRgnData) || cbRgnData < sizeof(U_RGNDATAHEADER))
        return false;
    U_RGNDATAHEADER header;
    memcpy(&header, r.at(dataAt), sizeof(header));
    const qint64 rectsAt = dataAt + qint64(sizeof(U_RGNDATAHEADER));
    const qint64 rectsBytes = qint64(header.nCount) * 16;
    if (header.iType != U_RDH_RECTANGLES || !r.has(rectsAt, rectsBytes)
        || qint64(sizeof(U_RGNDATAHEADER)) + rectsBytes > qint64(cbRgnData))
        return false;
    rects->clear();
    if (header.nCount > kMaxRegionRects) {
        rects->append(rectOf(header.rclBounds));
        return true;
    }
    rects->reserve(int(header.nCount));
    for (quint32 i = 0; i < header.nCount; ++i) {
        U_RECTL rect;
        memcpy(&rect, r.at(rectsAt + qint64(i) * 16), sizeof(rect));
        rects->append(rectOf(rect));
    }
    return true;
}

void addClipRecords(HandlerTable &table)
{
    table.set({ U_EMR_INTERSECTCLIPRECT, U_EMR_EXCLUDECLIPRECT }, clipRect);
    table.set({ U_EMR_EXTSELECTCLIPRGN }, selectClipRegion);
    table.set({ U_EMR_SELECTCLIPPATH }, selectClipPath);
    table.set({ U_EMR_OFFSETCLIPRGN }, offsetClip);
}

} // namespace EmfRecords
