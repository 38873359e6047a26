#include <uwmf.h>

#include <QBrush>

#include "codec/metafile/DibImage.h"
#include "codec/metafile/WmfRecords_p.h"

// Objects (pens, brushes, fonts and the kinds only counted), colours, modes
// and the SaveDC/RestoreDC stack. WMF objects take the lowest free slot of
// the object table.

namespace WmfRecords {

namespace {

void addObject(MetafileCanvas &canvas, const MetafileCanvas::Object &object)
{
    const int slot = canvas.firstFreeObject();
    if (slot >= 0)
        canvas.createObject(quint32(slot), object);
}

void setColor(const Params &p, MetafileCanvas &canvas)
{
    if (!p.has(0, 2))
        return;
    if (p.type() == U_WMR_SETBKCOLOR)
        canvas.setBkColor(p.color(0));
    else
        canvas.setTextColor(p.color(0));
}

void setMode(const Params &p, MetafileCanvas &canvas)
{
    switch (p.type()) {
    case U_WMR_SETBKMODE:
        canvas.setBkMode(p.u(0));
        break;
    case U_WMR_SETPOLYFILLMODE:
        canvas.setPolyFillMode(p.u(0));
        break;
    default:
        canvas.setTextAlign(p.u(0));
        break;
    }
}

void saveDC(const Params &, MetafileCanvas &canvas) { canvas.saveDC(); }

void restoreDC(const Params &p, MetafileCanvas &canvas) { canvas.restoreDC(p.s(0)); }

void selectObject(const Params &p, MetafileCanvas &canvas) { canvas.selectObject(p.u(0)); }

void deleteObject(const Params &p, MetafileCanvas &canvas) { canvas.deleteObject(p.u(0)); }

void createPen(const Params &p, MetafileCanvas &canvas)
{
    if (!p.has(0, 5))
        return;
    MetafileCanvas::Object object;
    object.kind = MetafileCanvas::Object::Pen;
    object.pen.style = p.u(0);
    object.pen.width = qAbs(p.s(1));
    object.pen.color = p.color(3);
    addObject(canvas, object);
}

void createBrush(const Params &p, MetafileCanvas &canvas)
{
    if (!p.has(0, 4))
        return;
    MetafileCanvas::Object object;
    object.kind = MetafileCanvas::Object::Brush;
    const int style = p.u(0);
    const QColor color = p.color(1);
    const int hatch = p.u(3);
    if (style == U_BS_NULL) {
        object.brush = QBrush(Qt::NoBrush);
    } else if (style == U_BS_HATCHED) {
        static const Qt::BrushStyle hatches[] = { Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
            Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern };
        object.brush = QBrush(color, hatch >= 0 && hatch < 6 ? hatches[hatch] : Qt::SolidPattern);
    } else {
        object.brush = QBrush(color);
    }
    addObject(canvas, object);
}

void createFont(const Params &p, MetafileCanvas &canvas)
{
    if (!p.has(0, 9))
        return;
    MetafileCanvas::Object object;
    object.kind = MetafileCanvas::Object::Font;
    object.font.height = p.s(0);
    object.font.escapement = p.s(2);
    object.font.weight = p.s(4);
    object.font.italic = p.u(5) & 0xFF;
    object.font.underline = p.u(5) >> 8;
    object.font.strikeOut = p.u(6) & 0xFF;
    object.font.charset = p.u(6) >> 8;
    const qint64 available = qMin<qint64>(p.bytesFrom(9), 32);
    const uchar *name = p.bytes(9);
    qint64 nameLength = 0;
    while (nameLength < available && name[nameLength])
        ++nameLength;
    object.font.family = decodeText(name, nameLength, object.font.charset);
    addObject(canvas, object);
}

void createPatternBrush(const Params &p, MetafileCanvas &canvas)
{
    MetafileCanvas::Object object;
    object.kind = MetafileCanvas::Object::Brush;
    const QImage pattern = p.has(0, 2) && p.u(1) == 0
        ? DibImage::decodePacked(p.bytes(2), p.bytesFrom(2))
        : QImage();
    canvas.chargeWork(qint64(pattern.width()) * pattern.height());
    object.brush = pattern.isNull() ? QBrush(Qt::gray) : QBrush(pattern);
    addObject(canvas, object);
}

// Palettes, bitmap pattern brushes and regions are not drawn, but they
// occupy their slot in the object table.
void createOther(const Params &, MetafileCanvas &canvas)
{
    MetafileCanvas::Object object;
    object.kind = MetafileCanvas::Object::Other;
    addObject(canvas, object);
}

} // namespace

void addStateRecords(HandlerTable &table)
{
    table.set({ U_WMR_SETBKCOLOR, U_WMR_SETTEXTCOLOR }, setColor);
    table.set({ U_WMR_SETBKMODE, U_WMR_SETPOLYFILLMODE, U_WMR_SETTEXTALIGN }, setMode);
    table.set({ U_WMR_SAVEDC }, saveDC);
    table.set({ U_WMR_RESTOREDC }, restoreDC);
    table.set({ U_WMR_SELECTOBJECT }, selectObject);
    table.set({ U_WMR_DELETEOBJECT }, deleteObject);
    table.set({ U_WMR_CREATEPENINDIRECT }, createPen);
    table.set({ U_WMR_CREATEBRUSHINDIRECT }, createBrush);
    table.set({ U_WMR_CREATEFONTINDIRECT }, createFont);
    table.set({ U_WMR_DIBCREATEPATTERNBRUSH }, createPatternBrush);
    table.set({ U_WMR_CREATEPALETTE, U_WMR_CREATEPATTERNBRUSH, U_WMR_CREATEREGION }, createOther);
}

} // namespace WmfRecords
