#include "WmfPlayer.h"

#include <cmath>
#include <cstring>

#include <uwmf.h>

#include <QTextCodec>

#include "codec/DibImage.h"
#include "codec/ImageLimits.h"
#include "codec/MetafileCanvas.h"

namespace {

constexpr quint32 kPlaceableKey = 0x9AC6CDD7;
constexpr quint32 kRopPatCopy = 0x00F00021;
constexpr quint32 kRopBlackness = 0x00000042;
constexpr quint32 kRopWhiteness = 0x00FF0062;
constexpr qreal kDisplayDpi = 96.0;

// One record's parameters: 16-bit words after the 6-byte record header,
// each read only when the record holds it.
class Params
{
public:
    Params(const uchar *record, qint64 size)
        : m_data(record + 6)
        , m_words((size - 6) / 2)
    {
    }

    qint64 count() const { return m_words; }
    bool has(qint64 index, qint64 words = 1) const
    {
        return index >= 0 && words >= 0 && index <= m_words && words <= m_words - index;
    }
    qint16 s(qint64 index) const
    {
        if (!has(index))
            return 0;
        qint16 v;
        memcpy(&v, m_data + 2 * index, 2);
        return v;
    }
    quint16 u(qint64 index) const { return quint16(s(index)); }
    quint32 u32(qint64 index) const { return quint32(u(index)) | (quint32(u(index + 1)) << 16); }
    QColor color(qint64 index) const
    {
        const quint32 c = u32(index);
        return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
    }
    const uchar *bytes(qint64 index) const { return m_data + 2 * index; }
    qint64 bytesFrom(qint64 index) const { return 2 * (m_words - index); }
    // Points stored as (x, y) pairs.
    QPolygonF points(qint64 index, qint64 count) const
    {
        QPolygonF result;
        if (count <= 0 || !has(index, count * 2))
            return result;
        result.reserve(int(count));
        for (qint64 i = 0; i < count; ++i)
            result.append(QPointF(s(index + 2 * i), s(index + 2 * i + 1)));
        return result;
    }
    // Rectangles stored as bottom, right, top, left.
    QRectF reversedRect(qint64 index) const
    {
        return QRectF(QPointF(s(index + 3), s(index + 2)), QPointF(s(index + 1), s(index)));
    }

private:
    const uchar *m_data;
    qint64 m_words;
};

QString decodeText(const uchar *bytes, qint64 length, int charset)
{
    const char *codecName = nullptr;
    switch (charset) {
    case 128:
        codecName = "Shift-JIS";
        break;
    case 129:
        codecName = "CP949";
        break;
    case 134:
        codecName = "GBK";
        break;
    case 136:
        codecName = "Big5";
        break;
    case 161:
        codecName = "windows-1253";
        break;
    case 162:
        codecName = "windows-1254";
        break;
    case 177:
        codecName = "windows-1255";
        break;
    case 178:
        codecName = "windows-1256";
        break;
    case 186:
        codecName = "windows-1257";
        break;
    case 204:
        codecName = "windows-1251";
        break;
    case 238:
        codecName = "windows-1250";
        break;
    default:
        codecName = "windows-1252";
        break;
    }
    const QByteArray raw(reinterpret_cast<const char *>(bytes), int(length));
    if (QTextCodec *codec = QTextCodec::codecForName(codecName))
        return codec->toUnicode(raw);
    return QString::fromLatin1(raw);
}

void blit(MetafileCanvas &canvas, const QRectF &dest, quint32 rop, const QImage &image,
    const QRectF &source)
{
    if (rop == kRopBlackness)
        canvas.fillRect(dest, QBrush(Qt::black));
    else if (rop == kRopWhiteness)
        canvas.fillRect(dest, QBrush(Qt::white));
    else if (image.isNull() && rop == kRopPatCopy)
        canvas.fillRect(dest, canvas.currentBrush());
    else if (!image.isNull())
        canvas.drawImage(dest, image, source);
}

QRectF sourceRect(const QImage &image, qreal x, qreal y, qreal w, qreal h)
{
    if (image.isNull() || w <= 0 || h <= 0)
        return QRectF(image.rect());
    // DIB rows run bottom-up in the file; source rectangles count from the top.
    return QRectF(x, image.height() - y - h, w, h);
}

void addObject(MetafileCanvas &canvas, const MetafileCanvas::Object &object)
{
    const int slot = canvas.firstFreeObject();
    if (slot >= 0)
        canvas.createObject(quint32(slot), object);
}

} // namespace

WmfPlayer::WmfPlayer(const QByteArray &data)
    : m_data(data)
{
}

bool WmfPlayer::parse()
{
    const auto *data = reinterpret_cast<const uchar *>(m_data.constData());
    const qint64 size = m_data.size();
    qint64 pos = 0;
    bool placeable = false;
    if (size >= 22) {
        quint32 key;
        memcpy(&key, data, 4);
        placeable = key == kPlaceableKey;
    }
    if (placeable) {
        qint16 left, top, right, bottom;
        quint16 inch;
        memcpy(&left, data + 6, 2);
        memcpy(&top, data + 8, 2);
        memcpy(&right, data + 10, 2);
        memcpy(&bottom, data + 12, 2);
        memcpy(&inch, data + 14, 2);
        if (inch == 0)
            inch = 1440;
        m_window = QRectF(left, top, qreal(right) - left, qreal(bottom) - top);
        m_size = QSize(int(std::ceil(std::fabs(m_window.width()) * kDisplayDpi / inch)),
            int(std::ceil(std::fabs(m_window.height()) * kDisplayDpi / inch)));
        pos = 22;
    }
    if (pos + 18 > size)
        return false;
    quint16 type, headerWords;
    memcpy(&type, data + pos, 2);
    memcpy(&headerWords, data + pos + 2, 2);
    if ((type != 1 && type != 2) || headerWords != 9)
        return false;
    m_first = pos + 18;

    // Walk the chain: it must end with META_EOF inside the file.
    const char *blimit = m_data.constData() + size;
    bool sizeFromWindow = !placeable;
    for (qint64 at = m_first; at + 6 <= size;) {
        const size_t length = U_WMRRECSAFE_get(m_data.constData() + at, blimit);
        quint32 words;
        memcpy(&words, data + at, 4);
        // libUEMF doubles the word count in 32 bits; a count that wraps is
        // as corrupt as one that runs past the end.
        if (length < 6 || qint64(length) != qint64(words) * 2)
            return false;
        quint16 function;
        memcpy(&function, data + at + 4, 2);
        if (function == 0) {
            m_length = at + qint64(length);
            break;
        }
        if (sizeFromWindow && (function & 0xFF) == U_WMR_SETWINDOWEXT) {
            const Params p(data + at, qint64(length));
            if (p.has(0, 2)) {
                m_size = QSize(qAbs(int(p.s(1))), qAbs(int(p.s(0))));
                m_window.setSize(QSizeF(p.s(1), p.s(0)));
                sizeFromWindow = false;
            }
        } else if (sizeFromWindow && (function & 0xFF) == U_WMR_SETWINDOWORG) {
            const Params p(data + at, qint64(length));
            if (p.has(0, 2))
                m_window.moveTopLeft(QPointF(p.s(1), p.s(0)));
        }
        at += qint64(length);
    }
    if (m_length <= 0)
        return false;
    return ImageLimits::sizeAllowed(m_size.width(), m_size.height());
}

QImage WmfPlayer::render(qint64 paintBudget) const
{
    if (m_length <= 0 || m_size.isEmpty())
        return QImage();
    QImage image(m_size, QImage::Format_RGB32);
    if (image.isNull())
        return QImage();
    image.fill(Qt::white);
    bool exhausted;
    {
        MetafileCanvas canvas(&image, QTransform(), kDisplayDpi / 25.4, paintBudget);
        canvas.setMapMode(U_MM_ANISOTROPIC);
        canvas.setViewportOrg(QPointF(0, 0));
        canvas.setViewportExt(QSizeF(m_size));
        canvas.setWindowOrg(m_window.topLeft());
        canvas.setWindowExt(m_window.size());
        play(canvas);
        exhausted = canvas.exhausted();
    }
    return exhausted ? QImage() : image;
}

void WmfPlayer::play(MetafileCanvas &canvas) const
{
    const auto *data = reinterpret_cast<const uchar *>(m_data.constData());
    for (qint64 at = m_first; at < m_length && !canvas.exhausted();) {
        quint32 words;
        quint16 function;
        memcpy(&words, data + at, 4);
        memcpy(&function, data + at + 4, 2);
        const qint64 length = qint64(words) * 2;
        const Params p(data + at, length);
        at += length;

        switch (function & 0xFF) {
        case U_WMR_SETBKCOLOR:
            if (p.has(0, 2))
                canvas.setBkColor(p.color(0));
            break;
        case U_WMR_SETTEXTCOLOR:
            if (p.has(0, 2))
                canvas.setTextColor(p.color(0));
            break;
        case U_WMR_SETBKMODE:
            canvas.setBkMode(p.u(0));
            break;
        case U_WMR_SETPOLYFILLMODE:
            canvas.setPolyFillMode(p.u(0));
            break;
        case U_WMR_SETTEXTALIGN:
            canvas.setTextAlign(p.u(0));
            break;
        case U_WMR_SETWINDOWORG:
            if (p.has(0, 2))
                canvas.setWindowOrg(QPointF(p.s(1), p.s(0)));
            break;
        case U_WMR_SETWINDOWEXT:
            if (p.has(0, 2))
                canvas.setWindowExt(QSizeF(p.s(1), p.s(0)));
            break;
        case U_WMR_OFFSETWINDOWORG:
            if (p.has(0, 2))
                canvas.offsetWindowOrg(QPointF(p.s(1), p.s(0)));
            break;
        case U_WMR_SCALEWINDOWEXT:
            if (p.has(0, 4))
                canvas.scaleWindowExt(p.s(3), p.s(2), p.s(1), p.s(0));
            break;
        case U_WMR_MOVETO:
            if (p.has(0, 2))
                canvas.moveTo(QPointF(p.s(1), p.s(0)));
            break;
        case U_WMR_LINETO:
            if (p.has(0, 2))
                canvas.lineTo(QPointF(p.s(1), p.s(0)));
            break;
        case U_WMR_RECTANGLE:
            if (p.has(0, 4))
                canvas.rectangle(p.reversedRect(0));
            break;
        case U_WMR_ELLIPSE:
            if (p.has(0, 4))
                canvas.ellipse(p.reversedRect(0));
            break;
        case U_WMR_ROUNDRECT:
            if (p.has(0, 6))
                canvas.roundRect(p.reversedRect(2), QSizeF(p.s(1), p.s(0)));
            break;
        case U_WMR_ARC:
        case U_WMR_PIE:
        case U_WMR_CHORD: {
            if (!p.has(0, 8))
                break;
            const MetafileCanvas::ArcKind kind = (function & 0xFF) == U_WMR_ARC
                ? MetafileCanvas::Arc
                : (function & 0xFF) == U_WMR_PIE ? MetafileCanvas::Pie
                                                 : MetafileCanvas::Chord;
            canvas.arc(p.reversedRect(4), QPointF(p.s(3), p.s(2)), QPointF(p.s(1), p.s(0)), kind);
            break;
        }
        case U_WMR_POLYGON:
        case U_WMR_POLYLINE: {
            const QPolygonF points = p.points(1, p.u(0));
            if ((function & 0xFF) == U_WMR_POLYGON)
                canvas.polygon(points);
            else
                canvas.polyline(points);
            break;
        }
        case U_WMR_POLYPOLYGON: {
            const qint64 polys = p.u(0);
            if (!p.has(1, polys))
                break;
            QVector<QPolygonF> figures;
            qint64 next = 1 + polys;
            for (qint64 i = 0; i < polys; ++i) {
                const qint64 n = p.u(1 + i);
                if (!p.has(next, n * 2)) {
                    figures.clear();
                    break;
                }
                figures.append(p.points(next, n));
                next += n * 2;
            }
            canvas.polyPolygon(figures);
            break;
        }
        case U_WMR_SETPIXEL:
            if (p.has(0, 4))
                canvas.setPixel(QPointF(p.s(3), p.s(2)), p.color(0));
            break;
        case U_WMR_INTERSECTCLIPRECT:
            if (p.has(0, 4))
                canvas.intersectClipRect(p.reversedRect(0));
            break;
        case U_WMR_EXCLUDECLIPRECT:
            if (p.has(0, 4))
                canvas.excludeClipRect(p.reversedRect(0));
            break;
        case U_WMR_SAVEDC:
            canvas.saveDC();
            break;
        case U_WMR_RESTOREDC:
            canvas.restoreDC(p.s(0));
            break;
        case U_WMR_SELECTOBJECT:
            canvas.selectObject(p.u(0));
            break;
        case U_WMR_DELETEOBJECT:
            canvas.deleteObject(p.u(0));
            break;
        case U_WMR_CREATEPENINDIRECT: {
            if (!p.has(0, 5))
                break;
            MetafileCanvas::Object object;
            object.kind = MetafileCanvas::Object::Pen;
            object.pen.style = p.u(0);
            object.pen.width = qAbs(p.s(1));
            object.pen.color = p.color(3);
            addObject(canvas, object);
            break;
        }
        case U_WMR_CREATEBRUSHINDIRECT: {
            if (!p.has(0, 4))
                break;
            MetafileCanvas::Object object;
            object.kind = MetafileCanvas::Object::Brush;
            const int style = p.u(0);
            const QColor color = p.color(1);
            const int hatch = p.u(3);
            if (style == U_BS_NULL) {
                object.brush = QBrush(Qt::NoBrush);
            } else if (style == U_BS_HATCHED) {
                static const Qt::BrushStyle hatches[] = { Qt::HorPattern, Qt::VerPattern,
                    Qt::FDiagPattern, Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern };
                object.brush
                    = QBrush(color, hatch >= 0 && hatch < 6 ? hatches[hatch] : Qt::SolidPattern);
            } else {
                object.brush = QBrush(color);
            }
            addObject(canvas, object);
            break;
        }
        case U_WMR_CREATEFONTINDIRECT: {
            if (!p.has(0, 9))
                break;
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
            break;
        }
        case U_WMR_DIBCREATEPATTERNBRUSH: {
            MetafileCanvas::Object object;
            object.kind = MetafileCanvas::Object::Brush;
            const QImage pattern = p.has(0, 2) && p.u(1) == 0
                ? DibImage::decodePacked(p.bytes(2), p.bytesFrom(2))
                : QImage();
            object.brush = pattern.isNull() ? QBrush(Qt::gray) : QBrush(pattern);
            addObject(canvas, object);
            break;
        }
        case U_WMR_CREATEPALETTE:
        case U_WMR_CREATEPATTERNBRUSH:
        case U_WMR_CREATEREGION: {
            MetafileCanvas::Object object;
            object.kind = MetafileCanvas::Object::Other;
            addObject(canvas, object);
            break;
        }
        case U_WMR_TEXTOUT: {
            const qint64 chars = p.u(0);
            const qint64 stringWords = (chars + 1) / 2;
            if (!p.has(1, stringWords + 2))
                break;
            const QString string = decodeText(p.bytes(1), chars, canvas.currentFont().charset);
            const QPointF origin(p.s(1 + stringWords + 1), p.s(1 + stringWords));
            canvas.text(origin, string, 0, QRectF(), QVector<qreal>());
            break;
        }
        case U_WMR_EXTTEXTOUT: {
            if (!p.has(0, 4))
                break;
            const QPointF origin(p.s(1), p.s(0));
            const qint64 chars = p.u(2);
            const int options = p.u(3);
            qint64 next = 4;
            QRectF rect;
            if (options & (U_ETO_OPAQUE | U_ETO_CLIPPED)) {
                if (!p.has(next, 4))
                    break;
                rect = QRectF(
                    QPointF(p.s(next), p.s(next + 1)), QPointF(p.s(next + 2), p.s(next + 3)));
                next += 4;
            }
            const qint64 stringWords = (chars + 1) / 2;
            if (!p.has(next, stringWords))
                break;
            const QString string = decodeText(p.bytes(next), chars, canvas.currentFont().charset);
            next += stringWords;
            QVector<qreal> dx;
            if (chars > 0 && p.has(next, chars))
                for (qint64 i = 0; i < chars; ++i)
                    dx.append(p.s(next + i));
            canvas.text(origin, string, options, rect, dx);
            break;
        }
        case U_WMR_PATBLT: {
            if (!p.has(0, 6))
                break;
            const QRectF dest(p.s(5), p.s(4), p.s(3), p.s(2));
            blit(canvas, dest, p.u32(0), QImage(), QRectF());
            break;
        }
        case U_WMR_STRETCHDIB: {
            if (!p.has(0, 11))
                break;
            const QImage image
                = p.u(2) == 0 ? DibImage::decodePacked(p.bytes(11), p.bytesFrom(11)) : QImage();
            blit(canvas, QRectF(p.s(10), p.s(9), p.s(8), p.s(7)), p.u32(0), image,
                sourceRect(image, p.s(6), p.s(5), p.s(4), p.s(3)));
            break;
        }
        case U_WMR_DIBSTRETCHBLT: {
            // Without a bitmap the record carries one reserved word more.
            if (p.count() <= 11) {
                if (p.has(0, 11))
                    blit(canvas, QRectF(p.s(10), p.s(9), p.s(8), p.s(7)), p.u32(0), QImage(),
                        QRectF());
                break;
            }
            if (!p.has(0, 10))
                break;
            const QImage image = DibImage::decodePacked(p.bytes(10), p.bytesFrom(10));
            blit(canvas, QRectF(p.s(9), p.s(8), p.s(7), p.s(6)), p.u32(0), image,
                sourceRect(image, p.s(5), p.s(4), p.s(3), p.s(2)));
            break;
        }
        case U_WMR_DIBBITBLT: {
            if (p.count() <= 9) {
                if (p.has(0, 9))
                    blit(canvas, QRectF(p.s(8), p.s(7), p.s(6), p.s(5)), p.u32(0), QImage(),
                        QRectF());
                break;
            }
            if (!p.has(0, 8))
                break;
            const QImage image = DibImage::decodePacked(p.bytes(8), p.bytesFrom(8));
            blit(canvas, QRectF(p.s(7), p.s(6), p.s(5), p.s(4)), p.u32(0), image,
                sourceRect(image, p.s(3), p.s(2), p.s(5), p.s(4)));
            break;
        }
        case U_WMR_SETDIBTODEV: {
            if (!p.has(0, 9))
                break;
            const QImage image
                = p.u(0) == 0 ? DibImage::decodePacked(p.bytes(9), p.bytesFrom(9)) : QImage();
            blit(canvas, QRectF(p.s(8), p.s(7), p.s(6), p.s(5)), 0x00CC0020, image,
                sourceRect(image, p.s(4), p.s(3), p.s(6), p.s(5)));
            break;
        }
        default:
            break;
        }
    }
}
