#include <uemf.h>

#include <QBrush>

#include "codec/metafile/EmfRecords_p.h"

// Objects (pens, brushes, fonts and the kinds only counted), colours, modes
// and the SaveDC/RestoreDC stack.

namespace EmfRecords {

namespace {

QString faceName(const uint16_t *name, int capacity)
{
    int length = 0;
    while (length < capacity && name[length])
        ++length;
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(name), length);
}

MetafileCanvas::LogicalPen penOf(quint32 style, qreal width, const QColor &color)
{
    MetafileCanvas::LogicalPen pen;
    pen.style = int(style);
    pen.width = width;
    pen.color = color;
    return pen;
}

QBrush brushOf(quint32 style, const QColor &color, quint32 hatch)
{
    switch (style) {
    case U_BS_SOLID:
        return QBrush(color);
    case U_BS_NULL:
        return QBrush(Qt::NoBrush);
    case U_BS_HATCHED: {
        static const Qt::BrushStyle hatches[] = { Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
            Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern };
        return QBrush(color, hatch < 6 ? hatches[hatch] : Qt::SolidPattern);
    }
    default:
        return QBrush(color);
    }
}

void setMode(const Record &r, MetafileCanvas &canvas)
{
    U_EMRSETBKMODE rec;
    if (!r.read(&rec))
        return;
    const int mode = int(rec.iMode);
    switch (r.type()) {
    case U_EMR_SETBKMODE:
        canvas.setBkMode(mode);
        break;
    case U_EMR_SETPOLYFILLMODE:
        canvas.setPolyFillMode(mode);
        break;
    case U_EMR_SETTEXTALIGN:
        canvas.setTextAlign(mode);
        break;
    default:
        canvas.setArcDirection(mode);
        break;
    }
}

void setColor(const Record &r, MetafileCanvas &canvas)
{
    U_EMRSETTEXTCOLOR rec;
    if (!r.read(&rec))
        return;
    if (r.type() == U_EMR_SETTEXTCOLOR)
        canvas.setTextColor(colorOf(rec.crColor));
    else
        canvas.setBkColor(colorOf(rec.crColor));
}

void saveDC(const Record &, MetafileCanvas &canvas) { canvas.saveDC(); }

void restoreDC(const Record &r, MetafileCanvas &canvas)
{
    U_EMRRESTOREDC rec;
    if (r.read(&rec))
        canvas.restoreDC(rec.iRelative);
}

void selectObject(const Record &r, MetafileCanvas &canvas)
{
    U_EMRSELECTOBJECT rec;
    if (!r.read(&rec))
        return;
    if (rec.ihObject & U_STOCK_OBJECT)
        canvas.selectStockObject(int(rec.ihObject & ~U_STOCK_OBJECT));
    else
        canvas.selectObject(rec.ihObject);
}

void deleteObject(const Record &r, MetafileCanvas &canvas)
{
    U_EMRDELETEOBJECT rec;
    if (r.read(&rec))
        canvas.deleteObject(rec.ihObject);
}

void createPen(const Record &r, MetafileCanvas &canvas)
{
    U_EMRCREATEPEN rec;
    if (!r.read(&rec))
        return;
    MetafileCanvas::Object object;
    object.kind = MetafileCanvas::Object::Pen;
    object.pen
        = penOf(rec.lopn.lopnStyle, qAbs(qreal(rec.lopn.lopnWidth.x)), colorOf(rec.lopn.lopnColor));
    canvas.createObject(rec.ihPen, object);
}

void extCreatePen(const Record &r, MetafileCanvas &canvas)
{
    U_EMREXTCREATEPEN rec;
    if (!r.read(&rec, offsetof(U_EMREXTCREATEPEN, elp.elpStyleEntry)))
        return;
    MetafileCanvas::Object object;
    object.kind = MetafileCanvas::Object::Pen;
    const U_EXTLOGPEN &elp = rec.elp;
    const bool geometric = elp.elpPenStyle & U_PS_GEOMETRIC;
    const quint32 style = elp.elpBrushStyle == U_BS_NULL ? U_PS_NULL : elp.elpPenStyle;
    object.pen = penOf(style, geometric ? qreal(elp.elpWidth) : 0, colorOf(elp.elpColor));
    const qint64 entriesAt = offsetof(U_EMREXTCREATEPEN, elp.elpStyleEntry);
    const qint64 entries = qMin<qint64>(elp.elpNumEntries, 16);
    if ((style & U_PS_STYLE_MASK) == U_PS_USERSTYLE && r.has(entriesAt, entries * 4))
        for (qint64 i = 0; i < entries; ++i)
            object.pen.dashes.append(r.u32(entriesAt + i * 4));
    canvas.createObject(rec.ihPen, object);
}

void createBrush(const Record &r, MetafileCanvas &canvas)
{
    U_EMRCREATEBRUSHINDIRECT rec;
    if (!r.read(&rec))
        return;
    MetafileCanvas::Object object;
    object.kind = MetafileCanvas::Object::Brush;
    object.brush = brushOf(rec.lb.lbStyle, colorOf(rec.lb.lbColor), rec.lb.lbHatch);
    canvas.createObject(rec.ihBrush, object);
}

void createPatternBrush(const Record &r, MetafileCanvas &canvas)
{
    U_EMRCREATEDIBPATTERNBRUSHPT rec;
    if (!r.read(&rec))
        return;
    MetafileCanvas::Object object;
    object.kind = MetafileCanvas::Object::Brush;
    const QImage pattern
        = dibOf(r, rec.iUsage, rec.offBmi, rec.cbBmi, rec.offBits, rec.cbBits, false, nullptr);
    canvas.chargeWork(qint64(pattern.width()) * pattern.height());
    object.brush = pattern.isNull() ? QBrush(Qt::gray) : QBrush(pattern);
    canvas.createObject(rec.ihBrush, object);
}

void createFont(const Record &r, MetafileCanvas &canvas)
{
    U_EMREXTCREATEFONTINDIRECTW rec;
    if (!r.read(&rec, offsetof(U_EMREXTCREATEFONTINDIRECTW, elfw) + sizeof(U_LOGFONT)))
        return;
    const U_LOGFONT &lf = rec.elfw.elfLogFont;
    MetafileCanvas::Object object;
    object.kind = MetafileCanvas::Object::Font;
    object.font.family = faceName(lf.lfFaceName, U_LF_FACESIZE);
    object.font.height = lf.lfHeight;
    object.font.weight = lf.lfWeight;
    object.font.italic = lf.lfItalic;
    object.font.underline = lf.lfUnderline;
    object.font.strikeOut = lf.lfStrikeOut;
    object.font.escapement = lf.lfEscapement;
    canvas.createObject(rec.ihFont, object);
}

// Palettes and colour spaces are not drawn, but they occupy their slot in
// the object table.
void createOther(const Record &r, MetafileCanvas &canvas)
{
    MetafileCanvas::Object object;
    object.kind = MetafileCanvas::Object::Other;
    canvas.createObject(r.u32(8), object);
}

} // namespace

void addStateRecords(HandlerTable &table)
{
    table.set({ U_EMR_SETBKMODE, U_EMR_SETPOLYFILLMODE, U_EMR_SETTEXTALIGN, U_EMR_SETARCDIRECTION },
        setMode);
    table.set({ U_EMR_SETTEXTCOLOR, U_EMR_SETBKCOLOR }, setColor);
    table.set({ U_EMR_SAVEDC }, saveDC);
    table.set({ U_EMR_RESTOREDC }, restoreDC);
    table.set({ U_EMR_SELECTOBJECT }, selectObject);
    table.set({ U_EMR_DELETEOBJECT }, deleteObject);
    table.set({ U_EMR_CREATEPEN }, createPen);
    table.set({ U_EMR_EXTCREATEPEN }, extCreatePen);
    table.set({ U_EMR_CREATEBRUSHINDIRECT }, createBrush);
    table.set({ U_EMR_CREATEMONOBRUSH, U_EMR_CREATEDIBPATTERNBRUSHPT }, createPatternBrush);
    table.set({ U_EMR_EXTCREATEFONTINDIRECTW }, createFont);
    table.set(
        { U_EMR_CREATEPALETTE, U_EMR_CREATECOLORSPACE, U_EMR_CREATECOLORSPACEW }, createOther);
}

} // namespace EmfRecords
