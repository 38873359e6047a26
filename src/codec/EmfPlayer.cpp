#include "EmfPlayer.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include <uemf.h>
#include <uemf_safe.h>

#include "codec/DibImage.h"
#include "codec/ImageLimits.h"
#include "codec/MetafileCanvas.h"

namespace {

// libUEMF's record checks may read a few bytes past a short record; the
// copy of the file is padded with zeros so those reads stay inside it.
constexpr int kPadding = 64;

constexpr quint32 kRopSrcCopy = 0x00CC0020;
constexpr quint32 kRopPatCopy = 0x00F00021;
constexpr quint32 kRopBlackness = 0x00000042;
constexpr quint32 kRopWhiteness = 0x00FF0062;

// A bounds-checked view of one record.
class Record
{
public:
    Record(const uchar *data, qint64 size)
        : m_data(data)
        , m_size(size)
    {
    }

    qint64 size() const { return m_size; }
    const uchar *at(qint64 offset) const { return m_data + offset; }
    bool has(qint64 offset, qint64 length) const
    {
        return offset >= 0 && length >= 0 && offset <= m_size && length <= m_size - offset;
    }
    // The record's leading bytes as libUEMF's structure T; false when the
    // record is shorter than the part of T that is needed.
    template <typename T> bool read(T *out, size_t needed = sizeof(T)) const
    {
        if (qint64(needed) > m_size)
            return false;
        memset(out, 0, sizeof(T));
        memcpy(out, m_data, qMin(sizeof(T), size_t(m_size)));
        return true;
    }
    quint32 u32(qint64 offset) const
    {
        quint32 v = 0;
        if (has(offset, 4))
            memcpy(&v, m_data + offset, 4);
        return v;
    }
    qint32 i32(qint64 offset) const { return qint32(u32(offset)); }

private:
    const uchar *m_data;
    qint64 m_size;
};

QColor colorOf(const U_COLORREF &c) { return QColor(c.Red, c.Green, c.Blue); }

QPointF pointOf(const U_POINTL &p) { return QPointF(p.x, p.y); }

QRectF rectOf(const U_RECTL &r)
{
    return QRectF(QPointF(r.left, r.top), QPointF(r.right, r.bottom));
}

QTransform transformOf(const U_XFORM &x)
{
    return QTransform(x.eM11, x.eM12, x.eM21, x.eM22, x.eDx, x.eDy);
}

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
QVector<QPolygonF> polyPoints(const Record &r, bool wide)
{
    QVector<QPolygonF> figures;
    const qint64 polys = r.u32(offsetof(U_EMRPOLYPOLYLINE, nPolys));
    const qint64 total = r.u32(offsetof(U_EMRPOLYPOLYLINE, cptl));
    const qint64 countsAt = offsetof(U_EMRPOLYPOLYLINE, aPolyCounts);
    if (polys <= 0 || !r.has(countsAt, polys * 4))
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

QString faceName(const uint16_t *name, int capacity)
{
    int length = 0;
    while (length < capacity && name[length])
        ++length;
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(name), length);
}

// The DIB a bitmap record carries, or a null image.
QImage dibOf(const Record &r, quint32 usage, quint32 offBmi, quint32 cbBmi, quint32 offBits,
    quint32 cbBits, bool withAlpha, bool *bottomUp)
{
    if (usage != U_DIB_RGB_COLORS || cbBmi == 0 || !r.has(offBmi, cbBmi) || !r.has(offBits, cbBits))
        return QImage();
    if (bottomUp)
        *bottomUp = cbBmi >= 12 && r.i32(offBmi + 8) > 0;
    return DibImage::decode(r.at(offBmi), cbBmi, r.at(offBits), cbBits, withAlpha);
}

// Source rectangles count rows from the bottom of bottom-up bitmaps.
QRectF sourceRect(const QImage &image, qreal x, qreal y, qreal w, qreal h, bool bottomUp)
{
    if (w <= 0 || h <= 0)
        return QRectF(image.rect());
    if (bottomUp)
        y = image.height() - y - h;
    return QRectF(x, y, w, h);
}

void blit(MetafileCanvas &canvas, const QRectF &dest, quint32 rop, const QImage &image,
    const QRectF &source, qreal opacity = 1.0)
{
    if (rop == kRopBlackness)
        canvas.fillRect(dest, QBrush(Qt::black));
    else if (rop == kRopWhiteness)
        canvas.fillRect(dest, QBrush(Qt::white));
    else if (image.isNull() && rop == kRopPatCopy)
        canvas.fillRect(dest, canvas.currentBrush());
    else if (!image.isNull())
        canvas.drawImage(dest, image, source, opacity);
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

} // namespace

EmfPlayer::EmfPlayer(const QByteArray &data)
    : m_data(data)
{
}

bool EmfPlayer::parse()
{
    const qint64 size = m_data.size();
    m_data.append(QByteArray(kPadding, '\0'));
    const auto *data = reinterpret_cast<const uchar *>(m_data.constData());
    const Record first(data, size);
    U_EMRHEADER header;
    if (!first.read(&header, U_SIZE_EMRHEADER_MIN) || header.emr.iType != U_EMR_HEADER
        || header.dSignature != U_ENHMETA_SIGNATURE || header.emr.nSize < U_SIZE_EMRHEADER_MIN
        || header.emr.nSize > size)
        return false;

    if (header.szlDevice.cx > 0 && header.szlMillimeters.cx > 0) {
        const qreal ppm = qreal(header.szlDevice.cx) / header.szlMillimeters.cx;
        if (ppm > 0.1 && ppm < 1000)
            m_pixelsPerMm = ppm;
    }
    qreal ppmY = m_pixelsPerMm;
    if (header.szlDevice.cy > 0 && header.szlMillimeters.cy > 0) {
        const qreal ppm = qreal(header.szlDevice.cy) / header.szlMillimeters.cy;
        if (ppm > 0.1 && ppm < 1000)
            ppmY = ppm;
    }
    const U_RECTL &frame = header.rclFrame;
    m_frameInDevice = QRectF(frame.left / 100.0 * m_pixelsPerMm, frame.top / 100.0 * ppmY,
        (qreal(frame.right) - frame.left) / 100.0 * m_pixelsPerMm,
        (qreal(frame.bottom) - frame.top) / 100.0 * ppmY);
    if (!(m_frameInDevice.width() >= 1 && m_frameInDevice.height() >= 1)) {
        const U_RECTL &bounds = header.rclBounds;
        m_frameInDevice = QRectF(bounds.left, bounds.top, qreal(bounds.right) - bounds.left + 1,
            qreal(bounds.bottom) - bounds.top + 1);
    }
    // The frame is kept in 0.01 mm, so a whole number of pixels comes back
    // a few hundredths off: round those, round anything else up.
    auto pixels = [](qreal extent) {
        const qreal nearest = std::round(extent);
        return std::fabs(extent - nearest) <= 0.1 ? nearest : std::ceil(extent);
    };
    const qreal width = pixels(m_frameInDevice.width());
    const qreal height = pixels(m_frameInDevice.height());
    if (!(width >= 1 && height >= 1)
        || !ImageLimits::sizeAllowed(
            qint64(qMin<qreal>(width, 1e12)), qint64(qMin<qreal>(height, 1e12))))
        return false;
    m_size = QSize(int(width), int(height));

    // The record chain must be whole: a truncated file fails here.
    qint64 pos = 0;
    while (pos + 8 <= size) {
        quint32 type, length;
        memcpy(&type, data + pos, 4);
        memcpy(&length, data + pos + 4, 4);
        if (length < 8 || (length & 3) || length > size - pos)
            return false;
        pos += length;
        if (type == U_EMR_EOF) {
            m_length = pos;
            return true;
        }
    }
    return false;
}

QImage EmfPlayer::render(qint64 paintBudget) const
{
    if (m_length <= 0 || m_size.isEmpty())
        return QImage();
    QImage image(m_size, QImage::Format_RGB32);
    if (image.isNull())
        return QImage();
    image.fill(Qt::white);
    QTransform deviceToImage;
    deviceToImage.scale(
        m_size.width() / m_frameInDevice.width(), m_size.height() / m_frameInDevice.height());
    deviceToImage.translate(-m_frameInDevice.left(), -m_frameInDevice.top());
    bool exhausted;
    {
        MetafileCanvas canvas(&image, deviceToImage, m_pixelsPerMm, paintBudget);
        play(canvas);
        exhausted = canvas.exhausted();
    }
    return exhausted ? QImage() : image;
}

void EmfPlayer::play(MetafileCanvas &canvas) const
{
    const auto *data = reinterpret_cast<const uchar *>(m_data.constData());
    for (qint64 pos = 0; pos < m_length && !canvas.exhausted();) {
        quint32 type, length;
        memcpy(&type, data + pos, 4);
        memcpy(&length, data + pos + 4, 4);
        const Record r(data + pos, length);
        pos += length;
        if (type == U_EMR_HEADER || type == U_EMR_EOF || type == U_EMR_COMMENT || type > U_EMR_MAX)
            continue;
        if (!U_emf_record_safe(reinterpret_cast<const char *>(r.at(0))))
            continue;

        switch (type) {
        case U_EMR_POLYBEZIER:
        case U_EMR_POLYGON:
        case U_EMR_POLYLINE:
        case U_EMR_POLYBEZIERTO:
        case U_EMR_POLYLINETO:
        case U_EMR_POLYBEZIER16:
        case U_EMR_POLYGON16:
        case U_EMR_POLYLINE16:
        case U_EMR_POLYBEZIERTO16:
        case U_EMR_POLYLINETO16: {
            const bool wide = type <= U_EMR_POLYLINETO;
            const QPolygonF p = points(
                r, offsetof(U_EMRPOLYLINE, aptl), r.u32(offsetof(U_EMRPOLYLINE, cptl)), wide);
            if (p.isEmpty())
                break;
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
            break;
        }
        case U_EMR_POLYPOLYLINE:
        case U_EMR_POLYPOLYLINE16:
            canvas.polyPolyline(polyPoints(r, type == U_EMR_POLYPOLYLINE));
            break;
        case U_EMR_POLYPOLYGON:
        case U_EMR_POLYPOLYGON16:
            canvas.polyPolygon(polyPoints(r, type == U_EMR_POLYPOLYGON));
            break;
        case U_EMR_SETWINDOWEXTEX:
        case U_EMR_SETVIEWPORTEXTEX: {
            U_EMRSETWINDOWEXTEX rec;
            if (!r.read(&rec))
                break;
            const QSizeF ext(rec.szlExtent.cx, rec.szlExtent.cy);
            if (type == U_EMR_SETWINDOWEXTEX)
                canvas.setWindowExt(ext);
            else
                canvas.setViewportExt(ext);
            break;
        }
        case U_EMR_SETWINDOWORGEX:
        case U_EMR_SETVIEWPORTORGEX:
        case U_EMR_MOVETOEX:
        case U_EMR_LINETO: {
            U_EMRSETWINDOWORGEX rec;
            if (!r.read(&rec))
                break;
            const QPointF p = pointOf(rec.ptlOrigin);
            if (type == U_EMR_SETWINDOWORGEX)
                canvas.setWindowOrg(p);
            else if (type == U_EMR_SETVIEWPORTORGEX)
                canvas.setViewportOrg(p);
            else if (type == U_EMR_MOVETOEX)
                canvas.moveTo(p);
            else
                canvas.lineTo(p);
            break;
        }
        case U_EMR_SCALEVIEWPORTEXTEX:
        case U_EMR_SCALEWINDOWEXTEX: {
            U_EMRSCALEVIEWPORTEXTEX rec;
            if (!r.read(&rec))
                break;
            if (type == U_EMR_SCALEWINDOWEXTEX)
                canvas.scaleWindowExt(rec.xNum, rec.xDenom, rec.yNum, rec.yDenom);
            else
                canvas.scaleViewportExt(rec.xNum, rec.xDenom, rec.yNum, rec.yDenom);
            break;
        }
        case U_EMR_SETPIXELV: {
            U_EMRSETPIXELV rec;
            if (r.read(&rec))
                canvas.setPixel(pointOf(rec.ptlPixel), colorOf(rec.crColor));
            break;
        }
        case U_EMR_SETMAPMODE:
        case U_EMR_SETBKMODE:
        case U_EMR_SETPOLYFILLMODE:
        case U_EMR_SETTEXTALIGN:
        case U_EMR_SETARCDIRECTION: {
            U_EMRSETMAPMODE rec;
            if (!r.read(&rec))
                break;
            const int mode = int(rec.iMode);
            if (type == U_EMR_SETMAPMODE)
                canvas.setMapMode(mode);
            else if (type == U_EMR_SETBKMODE)
                canvas.setBkMode(mode);
            else if (type == U_EMR_SETPOLYFILLMODE)
                canvas.setPolyFillMode(mode);
            else if (type == U_EMR_SETTEXTALIGN)
                canvas.setTextAlign(mode);
            else
                canvas.setArcDirection(mode);
            break;
        }
        case U_EMR_SETTEXTCOLOR:
        case U_EMR_SETBKCOLOR: {
            U_EMRSETTEXTCOLOR rec;
            if (!r.read(&rec))
                break;
            if (type == U_EMR_SETTEXTCOLOR)
                canvas.setTextColor(colorOf(rec.crColor));
            else
                canvas.setBkColor(colorOf(rec.crColor));
            break;
        }
        case U_EMR_EXCLUDECLIPRECT:
        case U_EMR_INTERSECTCLIPRECT: {
            U_EMREXCLUDECLIPRECT rec;
            if (!r.read(&rec))
                break;
            if (type == U_EMR_INTERSECTCLIPRECT)
                canvas.intersectClipRect(rectOf(rec.rclClip));
            else
                canvas.excludeClipRect(rectOf(rec.rclClip));
            break;
        }
        case U_EMR_EXTSELECTCLIPRGN: {
            // Only the common "no clipping" form; regions are not drawn.
            U_EMREXTSELECTCLIPRGN rec;
            if (r.read(&rec, offsetof(U_EMREXTSELECTCLIPRGN, RgnData)) && rec.iMode == U_RGN_COPY
                && rec.cbRgnData == 0)
                canvas.resetClip();
            break;
        }
        case U_EMR_SAVEDC:
            canvas.saveDC();
            break;
        case U_EMR_RESTOREDC: {
            U_EMRRESTOREDC rec;
            if (r.read(&rec))
                canvas.restoreDC(rec.iRelative);
            break;
        }
        case U_EMR_SETWORLDTRANSFORM: {
            U_EMRSETWORLDTRANSFORM rec;
            if (r.read(&rec))
                canvas.setWorldTransform(transformOf(rec.xform));
            break;
        }
        case U_EMR_MODIFYWORLDTRANSFORM: {
            U_EMRMODIFYWORLDTRANSFORM rec;
            if (r.read(&rec))
                canvas.modifyWorldTransform(transformOf(rec.xform), int(rec.iMode));
            break;
        }
        case U_EMR_SELECTOBJECT: {
            U_EMRSELECTOBJECT rec;
            if (!r.read(&rec))
                break;
            if (rec.ihObject & U_STOCK_OBJECT)
                canvas.selectStockObject(int(rec.ihObject & ~U_STOCK_OBJECT));
            else
                canvas.selectObject(rec.ihObject);
            break;
        }
        case U_EMR_DELETEOBJECT: {
            U_EMRDELETEOBJECT rec;
            if (r.read(&rec))
                canvas.deleteObject(rec.ihObject);
            break;
        }
        case U_EMR_CREATEPEN: {
            U_EMRCREATEPEN rec;
            if (!r.read(&rec))
                break;
            MetafileCanvas::Object object;
            object.kind = MetafileCanvas::Object::Pen;
            object.pen = penOf(
                rec.lopn.lopnStyle, qAbs(rec.lopn.lopnWidth.x), colorOf(rec.lopn.lopnColor));
            canvas.createObject(rec.ihPen, object);
            break;
        }
        case U_EMR_EXTCREATEPEN: {
            U_EMREXTCREATEPEN rec;
            if (!r.read(&rec, offsetof(U_EMREXTCREATEPEN, elp.elpStyleEntry)))
                break;
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
            break;
        }
        case U_EMR_CREATEBRUSHINDIRECT: {
            U_EMRCREATEBRUSHINDIRECT rec;
            if (!r.read(&rec))
                break;
            MetafileCanvas::Object object;
            object.kind = MetafileCanvas::Object::Brush;
            object.brush = brushOf(rec.lb.lbStyle, colorOf(rec.lb.lbColor), rec.lb.lbHatch);
            canvas.createObject(rec.ihBrush, object);
            break;
        }
        case U_EMR_CREATEMONOBRUSH:
        case U_EMR_CREATEDIBPATTERNBRUSHPT: {
            U_EMRCREATEDIBPATTERNBRUSHPT rec;
            if (!r.read(&rec))
                break;
            MetafileCanvas::Object object;
            object.kind = MetafileCanvas::Object::Brush;
            const QImage pattern = dibOf(
                r, rec.iUsage, rec.offBmi, rec.cbBmi, rec.offBits, rec.cbBits, false, nullptr);
            object.brush = pattern.isNull() ? QBrush(Qt::gray) : QBrush(pattern);
            canvas.createObject(rec.ihBrush, object);
            break;
        }
        case U_EMR_EXTCREATEFONTINDIRECTW: {
            U_EMREXTCREATEFONTINDIRECTW rec;
            if (!r.read(&rec, offsetof(U_EMREXTCREATEFONTINDIRECTW, elfw) + sizeof(U_LOGFONT)))
                break;
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
            break;
        }
        case U_EMR_CREATEPALETTE:
        case U_EMR_CREATECOLORSPACE:
        case U_EMR_CREATECOLORSPACEW: {
            // Not drawn, but they occupy their slot in the object table.
            MetafileCanvas::Object object;
            object.kind = MetafileCanvas::Object::Other;
            canvas.createObject(r.u32(8), object);
            break;
        }
        case U_EMR_ELLIPSE:
        case U_EMR_RECTANGLE: {
            U_EMRELLIPSE rec;
            if (!r.read(&rec))
                break;
            if (type == U_EMR_ELLIPSE)
                canvas.ellipse(rectOf(rec.rclBox));
            else
                canvas.rectangle(rectOf(rec.rclBox));
            break;
        }
        case U_EMR_ROUNDRECT: {
            U_EMRROUNDRECT rec;
            if (r.read(&rec))
                canvas.roundRect(rectOf(rec.rclBox), QSizeF(rec.szlCorner.cx, rec.szlCorner.cy));
            break;
        }
        case U_EMR_ARC:
        case U_EMR_CHORD:
        case U_EMR_PIE:
        case U_EMR_ARCTO: {
            U_EMRARC rec;
            if (!r.read(&rec))
                break;
            const MetafileCanvas::ArcKind kind = type == U_EMR_ARC ? MetafileCanvas::Arc
                : type == U_EMR_CHORD                              ? MetafileCanvas::Chord
                : type == U_EMR_PIE                                ? MetafileCanvas::Pie
                                                                   : MetafileCanvas::ArcTo;
            canvas.arc(rectOf(rec.rclBox), pointOf(rec.ptlStart), pointOf(rec.ptlEnd), kind);
            break;
        }
        case U_EMR_BEGINPATH:
            canvas.beginPath();
            break;
        case U_EMR_ENDPATH:
            canvas.endPath();
            break;
        case U_EMR_CLOSEFIGURE:
            canvas.closeFigure();
            break;
        case U_EMR_ABORTPATH:
            canvas.abortPath();
            break;
        case U_EMR_FILLPATH:
            canvas.fillPath();
            break;
        case U_EMR_STROKEPATH:
            canvas.strokePath();
            break;
        case U_EMR_STROKEANDFILLPATH:
            canvas.strokeAndFillPath();
            break;
        case U_EMR_SELECTCLIPPATH:
            canvas.selectClipPath();
            break;
        case U_EMR_EXTTEXTOUTA:
        case U_EMR_EXTTEXTOUTW: {
            U_EMREXTTEXTOUTW rec;
            if (!r.read(&rec))
                break;
            const U_EMRTEXT &t = rec.emrtext;
            const qint64 textAt = offsetof(U_EMREXTTEXTOUTW, emrtext);
            qint64 rectAt = textAt + qint64(sizeof(U_EMRTEXT));
            QRectF clip;
            qint64 dxAt = rectAt;
            if (!(t.fOptions & U_ETO_NO_RECT)) {
                if (!r.has(rectAt, 16))
                    break;
                U_RECTL rect;
                memcpy(&rect, r.at(rectAt), sizeof(rect));
                clip = rectOf(rect);
                dxAt = rectAt + 16;
            }
            const bool wide = type == U_EMR_EXTTEXTOUTW;
            const qint64 chars = t.nChars;
            if (!r.has(t.offString, chars * (wide ? 2 : 1)))
                break;
            QString string;
            if (wide) {
                QVector<char16_t> units(static_cast<int>(chars));
                memcpy(units.data(), r.at(t.offString), size_t(chars) * 2);
                string = QString::fromUtf16(units.constData(), int(chars));
            } else {
                string = QString::fromLatin1(
                    reinterpret_cast<const char *>(r.at(t.offString)), int(chars));
            }
            QVector<qreal> dx;
            const qint64 offDx = r.u32(dxAt);
            const qint64 step = (t.fOptions & U_ETO_PDY) ? 8 : 4;
            if (chars > 0 && r.has(dxAt, 4) && offDx > 0 && r.has(offDx, chars * step))
                for (qint64 i = 0; i < chars; ++i)
                    dx.append(r.i32(offDx + i * step));
            canvas.text(pointOf(t.ptlReference), string, int(t.fOptions), clip, dx);
            break;
        }
        case U_EMR_BITBLT:
        case U_EMR_STRETCHBLT: {
            U_EMRSTRETCHBLT rec;
            if (!r.read(&rec, type == U_EMR_BITBLT ? sizeof(U_EMRBITBLT) : sizeof(U_EMRSTRETCHBLT)))
                break;
            const QRectF dest(rec.Dest.x, rec.Dest.y, rec.cDest.x, rec.cDest.y);
            bool bottomUp = false;
            const QImage image = dibOf(r, rec.iUsageSrc, rec.offBmiSrc, rec.cbBmiSrc,
                rec.offBitsSrc, rec.cbBitsSrc, false, &bottomUp);
            const qreal w = type == U_EMR_BITBLT ? rec.cDest.x : rec.cSrc.x;
            const qreal h = type == U_EMR_BITBLT ? rec.cDest.y : rec.cSrc.y;
            blit(canvas, dest, rec.dwRop, image,
                sourceRect(image, rec.Src.x, rec.Src.y, w, h, bottomUp));
            break;
        }
        case U_EMR_STRETCHDIBITS: {
            U_EMRSTRETCHDIBITS rec;
            if (!r.read(&rec))
                break;
            bool bottomUp = false;
            const QImage image = dibOf(r, rec.iUsageSrc, rec.offBmiSrc, rec.cbBmiSrc,
                rec.offBitsSrc, rec.cbBitsSrc, false, &bottomUp);
            blit(canvas, QRectF(rec.Dest.x, rec.Dest.y, rec.cDest.x, rec.cDest.y),
                rec.dwRop == 0 ? kRopSrcCopy : rec.dwRop, image,
                sourceRect(image, rec.Src.x, rec.Src.y, rec.cSrc.x, rec.cSrc.y, bottomUp));
            break;
        }
        case U_EMR_SETDIBITSTODEVICE: {
            U_EMRSETDIBITSTODEVICE rec;
            if (!r.read(&rec))
                break;
            bool bottomUp = false;
            const QImage image = dibOf(r, rec.iUsageSrc, rec.offBmiSrc, rec.cbBmiSrc,
                rec.offBitsSrc, rec.cbBitsSrc, false, &bottomUp);
            blit(canvas, QRectF(rec.Dest.x, rec.Dest.y, rec.cSrc.x, rec.cSrc.y), kRopSrcCopy, image,
                sourceRect(image, rec.Src.x, rec.Src.y, rec.cSrc.x, rec.cSrc.y, bottomUp));
            break;
        }
        case U_EMR_ALPHABLEND: {
            U_EMRALPHABLEND rec;
            if (!r.read(&rec))
                break;
            const bool perPixel = rec.Blend.Op & U_AC_SRC_ALPHA;
            bool bottomUp = false;
            const QImage image = dibOf(r, rec.iUsageSrc, rec.offBmiSrc, rec.cbBmiSrc,
                rec.offBitsSrc, rec.cbBitsSrc, perPixel, &bottomUp);
            blit(canvas, QRectF(rec.Dest.x, rec.Dest.y, rec.cDest.x, rec.cDest.y), kRopSrcCopy,
                image, sourceRect(image, rec.Src.x, rec.Src.y, rec.cSrc.x, rec.cSrc.y, bottomUp),
                rec.Blend.Global / 255.0);
            break;
        }
        default:
            break;
        }
    }
}
