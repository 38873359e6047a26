#include <uwmf.h>

#include "codec/metafile/WmfRecords_p.h"

// Lines, polygons and closed shapes.

namespace WmfRecords {

namespace {

void moveOrLine(const Params &p, MetafileCanvas &canvas)
{
    if (!p.has(0, 2))
        return;
    if (p.type() == U_WMR_MOVETO)
        canvas.moveTo(p.reversedPoint(0));
    else
        canvas.lineTo(p.reversedPoint(0));
}

void box(const Params &p, MetafileCanvas &canvas)
{
    if (!p.has(0, 4))
        return;
    if (p.type() == U_WMR_RECTANGLE)
        canvas.rectangle(p.reversedRect(0));
    else
        canvas.ellipse(p.reversedRect(0));
}

void roundRect(const Params &p, MetafileCanvas &canvas)
{
    if (p.has(0, 6))
        canvas.roundRect(p.reversedRect(2), QSizeF(p.s(1), p.s(0)));
}

void arc(const Params &p, MetafileCanvas &canvas)
{
    if (!p.has(0, 8))
        return;
    const MetafileCanvas::ArcKind kind = p.type() == U_WMR_ARC ? MetafileCanvas::Arc
        : p.type() == U_WMR_PIE                                ? MetafileCanvas::Pie
                                                               : MetafileCanvas::Chord;
    canvas.arc(p.reversedRect(4), p.reversedPoint(2), p.reversedPoint(0), kind);
}

void poly(const Params &p, MetafileCanvas &canvas)
{
    if (!canvas.chargePoints(p.u(0)))
        return;
    const QPolygonF points = p.points(1, p.u(0));
    if (p.type() == U_WMR_POLYGON)
        canvas.polygon(points);
    else
        canvas.polyline(points);
}

void polyPolygon(const Params &p, MetafileCanvas &canvas)
{
    const qint64 polys = p.u(0);
    if (!p.has(1, polys) || !canvas.chargePoints(polys))
        return;
    QVector<QPolygonF> figures;
    qint64 next = 1 + polys;
    for (qint64 i = 0; i < polys; ++i) {
        const qint64 n = p.u(1 + i);
        if (!p.has(next, n * 2) || !canvas.chargePoints(n))
            return;
        figures.append(p.points(next, n));
        next += n * 2;
    }
    canvas.polyPolygon(figures);
}

void setPixel(const Params &p, MetafileCanvas &canvas)
{
    if (p.has(0, 4))
        canvas.setPixel(p.reversedPoint(2), p.color(0));
}

} // namespace

void addDrawingRecords(HandlerTable &table)
{
    table.set({ U_WMR_MOVETO, U_WMR_LINETO }, moveOrLine);
    table.set({ U_WMR_RECTANGLE, U_WMR_ELLIPSE }, box);
    table.set({ U_WMR_ROUNDRECT }, roundRect);
    table.set({ U_WMR_ARC, U_WMR_PIE, U_WMR_CHORD }, arc);
    table.set({ U_WMR_POLYGON, U_WMR_POLYLINE }, poly);
    table.set({ U_WMR_POLYPOLYGON }, polyPolygon);
    table.set({ U_WMR_SETPIXEL }, setPixel);
}

} // namespace WmfRecords
