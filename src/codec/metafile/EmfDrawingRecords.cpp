#include <uemf.h>

#include "codec/metafile/EmfRecords_p.h"

// Lines, curves and closed shapes; inside a path bracket the canvas records
// them into the path instead of drawing.

namespace EmfRecords {

namespace {

// count points of 32-bit (wide) or 16-bit coordinates at offset.
QPolygonF points(const Record &r, qint64 offset, qint64 count, bool wide)
{
    const qint64 bytes = wide ? 8 : 4;
    QPolygonF result;
    if (count <= 0 || !r.has(offset, count * bytes))
        return result;
    result.reserve(int(count));
    for (qint64 i = 0; i < count; ++i) {
        const uchar *p = r.at(offset + i * bytes);
        if (wide) {
            qint32 x, y;
            memcpy(&x, p, 4);
            memcpy(&y, p + 4, 4);
            result.append(QPointF(x, y));
        } else {
            qint16 x, y;
            memcpy(&x, p, 2);
            memcpy(&y, p + 2, 2);
            result.append(QPointF(x, y));
        }
    }
    return result;
}

// POLYPOLYLINE/POLYPOLYGON (and their 16-bit forms): nPolys, total count,
// the per-figure counts, then all points.
QVector<QPolygonF> polyPoints(const Record &r, bool wide, MetafileCanvas &canvas)
{
    QVector<QPolygonF> figures;
    const qint64 polys = r.u32(offsetof(U_EMRPOLYPOLYLINE, nPolys));
    const qint64 total = r.u32(offsetof(U_EMRPOLYPOLYLINE, cptl));
    const qint64 countsAt = offsetof(U_EMRPOLYPOLYLINE, aPolyCounts);
    if (polys <= 0 || !r.has(countsAt, polys * 4) || !canvas.chargePoints(polys + total))
        return figures;
    const QPolygonF all = points(r, countsAt + polys * 4, total, wide);
    qint64 used = 0;
    for (qint64 i = 0; i < polys; ++i) {
        const qint64 n = r.u32(countsAt + i * 4);
        if (n > all.size() - used)
            return QVector<QPolygonF>();
        figures.append(all.mid(int(used), int(n)));
        used += n;
    }
    return figures;
}

void poly(const Record &r, MetafileCanvas &canvas)
{
    const quint32 type = r.type();
    const bool wide = type <= U_EMR_POLYLINETO;
    const qint64 count = r.u32(offsetof(U_EMRPOLYLINE, cptl));
    if (!canvas.chargePoints(count))
        return;
    const QPolygonF p = points(r, offsetof(U_EMRPOLYLINE, aptl), count, wide);
    if (p.isEmpty())
        return;
    switch (wide ? type : type - U_EMR_POLYBEZIER16 + U_EMR_POLYBEZIER) {
    case U_EMR_POLYBEZIER:
        canvas.polyBezier(p, false);
        break;
    case U_EMR_POLYGON:
        canvas.polygon(p);
        break;
    case U_EMR_POLYLINE:
        canvas.polyline(p);
        break;
    case U_EMR_POLYBEZIERTO:
        canvas.polyBezier(p, true);
        break;
    default:
        canvas.polylineTo(p);
        break;
    }
}

void polyPolyline(const Record &r, MetafileCanvas &canvas)
{
    canvas.polyPolyline(polyPoints(r, r.type() == U_EMR_POLYPOLYLINE, canvas));
}

void polyPolygon(const Record &r, MetafileCanvas &canvas)
{
    canvas.polyPolygon(polyPoints(r, r.type() == U_EMR_POLYPOLYGON, canvas));
}

void moveOrLine(const Record &r, MetafileCanvas &canvas)
{
    U_EMRMOVETOEX rec;
    if (!r.read(&rec))
        return;
    if (r.type() == U_EMR_MOVETOEX)
        canvas.moveTo(pointOf(rec.ptl));
    else
        canvas.lineTo(pointOf(rec.ptl));
}

void setPixel(const Record &r, MetafileCanvas &canvas)
{
    U_EMRSETPIXELV rec;
    if (r.read(&rec))
        canvas.setPixel(pointOf(rec.ptlPixel), colorOf(rec.crColor));
}

void box(const Record &r, MetafileCanvas &canvas)
{
    U_EMRELLIPSE rec;
    if (!r.read(&rec))
        return;
    if (r.type() == U_EMR_ELLIPSE)
        canvas.ellipse(rectOf(rec.rclBox));
    else
        canvas.rectangle(rectOf(rec.rclBox));
}

void roundRect(const Record &r, MetafileCanvas &canvas)
{
    U_EMRROUNDRECT rec;
    if (r.read(&rec))
        canvas.roundRect(rectOf(rec.rclBox), QSizeF(rec.szlCorner.cx, rec.szlCorner.cy));
}

void arc(const Record &r, MetafileCanvas &canvas)
{
    U_EMRARC rec;
    if (!r.read(&rec))
        return;
    const quint32 type = r.type();
    const MetafileCanvas::ArcKind kind = type == U_EMR_ARC ? MetafileCanvas::Arc
        : type == U_EMR_CHORD                              ? MetafileCanvas::Chord
        : type == U_EMR_PIE                                ? MetafileCanvas::Pie
                                                           : MetafileCanvas::ArcTo;
    canvas.arc(rectOf(rec.rclBox), pointOf(rec.ptlStart), pointOf(rec.ptlEnd), kind);
}

// Regions filled with the current brush (PAINTRGN) or a brush object
// (FILLRGN); their rectangles are in logical units.
void fillRegion(const Record &r, MetafileCanvas &canvas)
{
    const bool paint = r.type() == U_EMR_PAINTRGN;
    const qint64 dataAt
        = paint ? offsetof(U_EMRPAINTRGN, RgnData) : offsetof(U_EMRFILLRGN, RgnData);
    if (!r.has(0, dataAt))
        return;
    const quint32 cbRgnData = r.u32(offsetof(U_EMRFILLRGN, cbRgnData));
    QVector<QRectF> rects;
    if (!canvas.chargePoints(qint64(cbRgnData) / 4) || !regionRects(r, dataAt, cbRgnData, &rects))
        return;
    const QBrush brush = paint ? canvas.currentBrush()
                               : canvas.objectBrush(r.u32(offsetof(U_EMRFILLRGN, ihBrush)));
    canvas.fillRegion(rects, brush);
}

} // namespace

void addDrawingRecords(HandlerTable &table)
{
    table.set({ U_EMR_POLYBEZIER, U_EMR_POLYGON, U_EMR_POLYLINE, U_EMR_POLYBEZIERTO,
                  U_EMR_POLYLINETO, U_EMR_POLYBEZIER16, U_EMR_POLYGON16, U_EMR_POLYLINE16,
                  U_EMR_POLYBEZIERTO16, U_EMR_POLYLINETO16 },
        poly);
    table.set({ U_EMR_POLYPOLYLINE, U_EMR_POLYPOLYLINE16 }, polyPolyline);
    table.set({ U_EMR_POLYPOLYGON, U_EMR_POLYPOLYGON16 }, polyPolygon);
    table.set({ U_EMR_MOVETOEX, U_EMR_LINETO }, moveOrLine);
    table.set({ U_EMR_SETPIXELV }, setPixel);
    table.set({ U_EMR_ELLIPSE, U_EMR_RECTANGLE }, box);
    table.set({ U_EMR_ROUNDRECT }, roundRect);
    table.set({ U_EMR_ARC, U_EMR_CHORD, U_EMR_PIE, U_EMR_ARCTO }, arc);
    table.set({ U_EMR_PAINTRGN, U_EMR_FILLRGN }, fillRegion);
}

} // namespace EmfRecords
