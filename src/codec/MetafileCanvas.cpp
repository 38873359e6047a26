#include "MetafileCanvas.h"

#include <cmath>

#include <QFontMetricsF>
#include <QGuiApplication>

namespace {

constexpr qint64 kOperationCost = 4096;
constexpr int kMaxObjects = 65536;
constexpr int kMaxSavedStates = 256;
constexpr int kMaxClipElements = 4096;

bool isSane(qreal v)
{
    return std::isfinite(v) && std::fabs(v) < 1e9;
}

bool finiteTransform(const QTransform &t)
{
    return isSane(t.m11()) && isSane(t.m12()) && isSane(t.m21()) && isSane(t.m22())
        && isSane(t.dx()) && isSane(t.dy());
}

int qtWeight(int gdiWeight)
{
    if (gdiWeight <= 0)
        return QFont::Normal;
    if (gdiWeight < 350)
        return QFont::Light;
    if (gdiWeight < 550)
        return QFont::Normal;
    if (gdiWeight < 650)
        return QFont::DemiBold;
    if (gdiWeight < 800)
        return QFont::Bold;
    return QFont::Black;
}

qreal transformScale(const QTransform &t)
{
    return std::sqrt(std::fabs(t.determinant()));
}

// Angle of p on the ellipse in box, in degrees counter-clockwise from
// 3 o'clock as QPainterPath::arcTo counts them (y grows downwards).
qreal ellipseAngle(const QRectF &box, const QPointF &p)
{
    const QPointF c = box.center();
    const qreal rx = box.width() / 2, ry = box.height() / 2;
    if (rx <= 0 || ry <= 0)
        return 0;
    return std::atan2(-(p.y() - c.y()) / ry, (p.x() - c.x()) / rx) * 180.0 / M_PI;
}

} // namespace

MetafileCanvas::MetafileCanvas(QImage *target, const QTransform &deviceToImage, qreal pixelsPerMm,
                               qint64 paintBudget)
    : m_target(target)
    , m_deviceToImage(deviceToImage)
    , m_pixelsPerMm(pixelsPerMm > 0 && isSane(pixelsPerMm) ? pixelsPerMm : 96.0 / 25.4)
    , m_budget(paintBudget)
{
    m_painter.begin(m_target);
    m_painter.setRenderHint(QPainter::TextAntialiasing);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform);
}

MetafileCanvas::~MetafileCanvas()
{
    m_painter.end();
}

// --- device context -----------------------------------------------------

void MetafileCanvas::setMapMode(int mode)
{
    if (mode >= 1 && mode <= 8)
        m_state.mapMode = mode;
}

void MetafileCanvas::setWindowOrg(const QPointF &org)
{
    if (isSane(org.x()) && isSane(org.y()))
        m_state.windowOrg = org;
}

void MetafileCanvas::setWindowExt(const QSizeF &ext)
{
    if (isSane(ext.width()) && isSane(ext.height()) && ext.width() != 0 && ext.height() != 0)
        m_state.windowExt = ext;
}

void MetafileCanvas::setViewportOrg(const QPointF &org)
{
    if (isSane(org.x()) && isSane(org.y()))
        m_state.viewportOrg = org;
}

void MetafileCanvas::setViewportExt(const QSizeF &ext)
{
    if (isSane(ext.width()) && isSane(ext.height()) && ext.width() != 0 && ext.height() != 0)
        m_state.viewportExt = ext;
}

void MetafileCanvas::offsetWindowOrg(const QPointF &delta)
{
    setWindowOrg(m_state.windowOrg + delta);
}

void MetafileCanvas::offsetViewportOrg(const QPointF &delta)
{
    setViewportOrg(m_state.viewportOrg + delta);
}

void MetafileCanvas::scaleWindowExt(qreal xNum, qreal xDenom, qreal yNum, qreal yDenom)
{
    if (xDenom != 0 && yDenom != 0)
        setWindowExt(QSizeF(m_state.windowExt.width() * xNum / xDenom,
                            m_state.windowExt.height() * yNum / yDenom));
}

void MetafileCanvas::scaleViewportExt(qreal xNum, qreal xDenom, qreal yNum, qreal yDenom)
{
    if (xDenom != 0 && yDenom != 0)
        setViewportExt(QSizeF(m_state.viewportExt.width() * xNum / xDenom,
                              m_state.viewportExt.height() * yNum / yDenom));
}

void MetafileCanvas::setWorldTransform(const QTransform &transform)
{
    if (finiteTransform(transform))
        m_state.world = transform;
}

void MetafileCanvas::modifyWorldTransform(const QTransform &transform, int mode)
{
    QTransform result;
    switch (mode) {
    case 1:
        break;
    case 2:
        result = transform * m_state.world;
        break;
    case 3:
        result = m_state.world * transform;
        break;
    case 4:
        result = transform;
        break;
    default:
        return;
    }
    setWorldTransform(result);
}

void MetafileCanvas::setTextColor(const QColor &color)
{
    m_state.textColor = color;
}

void MetafileCanvas::setBkColor(const QColor &color)
{
    m_state.bkColor = color;
}

void MetafileCanvas::setBkMode(int mode)
{
    if (mode == 1 || mode == 2)
        m_state.bkMode = mode;
}

void MetafileCanvas::setTextAlign(int align)
{
    m_state.textAlign = align;
}

void MetafileCanvas::setPolyFillMode(int mode)
{
    if (mode == 1)
        m_state.fillRule = Qt::OddEvenFill;
    else if (mode == 2)
        m_state.fillRule = Qt::WindingFill;
}

void MetafileCanvas::setArcDirection(int direction)
{
    if (direction == 1 || direction == 2)
        m_state.clockwise = direction == 2;
}

void MetafileCanvas::saveDC()
{
    if (m_saved.size() < kMaxSavedStates)
        m_saved.append(m_state);
}

void MetafileCanvas::restoreDC(int relative)
{
    int keep;
    if (relative < 0)
        keep = m_saved.size() + relative;
    else
        keep = relative - 1;
    if (keep < 0 || keep >= m_saved.size())
        return;
    m_state = m_saved[keep];
    m_saved.resize(keep);
    applyClip();
}

QTransform MetafileCanvas::pageToDevice() const
{
    const State &s = m_state;
    qreal sx = 1, sy = 1;
    switch (s.mapMode) {
    case 2: // LOMETRIC, 0.1 mm
        sx = m_pixelsPerMm * 0.1, sy = -sx;
        break;
    case 3: // HIMETRIC, 0.01 mm
        sx = m_pixelsPerMm * 0.01, sy = -sx;
        break;
    case 4: // LOENGLISH, 0.01 inch
        sx = m_pixelsPerMm * 0.254, sy = -sx;
        break;
    case 5: // HIENGLISH, 0.001 inch
        sx = m_pixelsPerMm * 0.0254, sy = -sx;
        break;
    case 6: // TWIPS
        sx = m_pixelsPerMm * 25.4 / 1440.0, sy = -sx;
        break;
    case 7: // ISOTROPIC: the smaller scale in both directions
    case 8: // ANISOTROPIC
        sx = s.viewportExt.width() / s.windowExt.width();
        sy = s.viewportExt.height() / s.windowExt.height();
        if (s.mapMode == 7) {
            const qreal m = qMin(std::fabs(sx), std::fabs(sy));
            sx = sx < 0 ? -m : m;
            sy = sy < 0 ? -m : m;
        }
        break;
    default: // TEXT
        break;
    }
    return QTransform(sx, 0, 0, sy, s.viewportOrg.x() - s.windowOrg.x() * sx,
                      s.viewportOrg.y() - s.windowOrg.y() * sy);
}

QTransform MetafileCanvas::logicalToImage() const
{
    return m_state.world * pageToDevice() * m_deviceToImage;
}

// --- objects --------------------------------------------------------------

void MetafileCanvas::createObject(quint32 index, const Object &object)
{
    if (index >= quint32(kMaxObjects))
        return;
    if (int(index) >= m_objects.size())
        m_objects.resize(int(index) + 1);
    m_objects[int(index)] = object;
}

void MetafileCanvas::deleteObject(quint32 index)
{
    if (index < quint32(m_objects.size()))
        m_objects[int(index)] = Object();
}

int MetafileCanvas::firstFreeObject() const
{
    for (int i = 0; i < m_objects.size(); ++i)
        if (m_objects[i].kind == Object::Empty)
            return i;
    return m_objects.size() < kMaxObjects ? m_objects.size() : -1;
}

void MetafileCanvas::selectObject(quint32 index)
{
    if (index >= quint32(m_objects.size()))
        return;
    const Object &object = m_objects[int(index)];
    switch (object.kind) {
    case Object::Pen:
        m_state.pen = object.pen;
        break;
    case Object::Brush:
        m_state.brush = object.brush;
        break;
    case Object::Font:
        m_state.font = object.font;
        break;
    default:
        break;
    }
}

void MetafileCanvas::selectStockObject(int stock)
{
    switch (stock) {
    case 0:
    case 18:
        m_state.brush = QBrush(Qt::white);
        break;
    case 1:
        m_state.brush = QBrush(QColor(0xC0, 0xC0, 0xC0));
        break;
    case 2:
        m_state.brush = QBrush(QColor(0x80, 0x80, 0x80));
        break;
    case 3:
        m_state.brush = QBrush(QColor(0x40, 0x40, 0x40));
        break;
    case 4:
        m_state.brush = QBrush(Qt::black);
        break;
    case 5:
        m_state.brush = QBrush(Qt::NoBrush);
        break;
    case 6:
        m_state.pen = PenSpec { 0, 0, Qt::white, {} };
        break;
    case 7:
    case 19:
        m_state.pen = PenSpec { 0, 0, Qt::black, {} };
        break;
    case 8:
        m_state.pen = PenSpec { 5, 0, Qt::black, {} };
        break;
    case 10:
    case 11:
    case 16:
        m_state.font = FontSpec();
        m_state.font.family = QStringLiteral("monospace");
        break;
    case 12:
    case 13:
    case 14:
    case 17:
        m_state.font = FontSpec();
        break;
    default:
        break;
    }
}

// --- clipping ---------------------------------------------------------------

void MetafileCanvas::applyClip()
{
    m_painter.resetTransform();
    if (m_state.hasClip)
        m_painter.setClipPath(m_state.clip);
    else
        m_painter.setClipping(false);
}

void MetafileCanvas::intersectClipRect(const QRectF &rect)
{
    QPainterPath shape;
    shape.addPolygon(logicalToImage().map(QPolygonF(rect.normalized())));
    shape.closeSubpath();
    m_state.clip = m_state.hasClip ? m_state.clip.intersected(shape) : shape;
    m_state.hasClip = true;
    if (m_state.clip.elementCount() > kMaxClipElements) {
        QPainterPath bounds;
        bounds.addRect(m_state.clip.boundingRect());
        m_state.clip = bounds;
    }
    applyClip();
}

void MetafileCanvas::excludeClipRect(const QRectF &rect)
{
    QPainterPath shape;
    shape.addPolygon(logicalToImage().map(QPolygonF(rect.normalized())));
    shape.closeSubpath();
    QPainterPath base;
    if (m_state.hasClip) {
        base = m_state.clip;
    } else {
        base.addRect(QRectF(m_target->rect()));
    }
    m_state.clip = base.subtracted(shape);
    m_state.hasClip = true;
    if (m_state.clip.elementCount() > kMaxClipElements) {
        QPainterPath bounds;
        bounds.addRect(m_state.clip.boundingRect());
        m_state.clip = bounds;
    }
    applyClip();
}

void MetafileCanvas::resetClip()
{
    m_state.hasClip = false;
    m_state.clip = QPainterPath();
    applyClip();
}

// --- drawing ---------------------------------------------------------------

bool MetafileCanvas::meter(const QRectF &imageBounds)
{
    if (m_exhausted)
        return false;
    const QRectF visible = imageBounds.intersected(QRectF(m_target->rect()));
    m_work += kOperationCost;
    if (visible.isValid())
        m_work += qint64(visible.width() + 1) * qint64(visible.height() + 1);
    if (m_work > m_budget)
        m_exhausted = true;
    return !m_exhausted;
}

QPen MetafileCanvas::qtPen() const
{
    const PenSpec &spec = m_state.pen;
    const int style = spec.style & 0x0F;
    if (style == 5)
        return QPen(Qt::NoPen);
    QPen pen(spec.color);
    pen.setWidthF(spec.width);
    pen.setCosmetic(spec.width <= 0);
    switch (style) {
    case 1:
        pen.setStyle(Qt::DashLine);
        break;
    case 2:
    case 8:
        pen.setStyle(Qt::DotLine);
        break;
    case 3:
        pen.setStyle(Qt::DashDotLine);
        break;
    case 4:
        pen.setStyle(Qt::DashDotDotLine);
        break;
    case 7:
        if (!spec.dashes.isEmpty()) {
            QVector<qreal> pattern;
            const qreal unit = spec.width > 0 ? spec.width : 1;
            for (qreal d : spec.dashes)
                pattern.append(qMax<qreal>(0.01, d / unit));
            if (pattern.size() % 2)
                pattern.append(pattern.last());
            pen.setDashPattern(pattern);
        }
        break;
    default:
        break;
    }
    switch (spec.style & 0x0F00) {
    case 0x0100:
        pen.setCapStyle(Qt::SquareCap);
        break;
    case 0x0200:
        pen.setCapStyle(Qt::FlatCap);
        break;
    default:
        pen.setCapStyle(Qt::RoundCap);
        break;
    }
    switch (spec.style & 0xF000) {
    case 0x1000:
        pen.setJoinStyle(Qt::BevelJoin);
        break;
    case 0x2000:
        pen.setJoinStyle(Qt::MiterJoin);
        break;
    default:
        pen.setJoinStyle(Qt::RoundJoin);
        break;
    }
    return pen;
}

void MetafileCanvas::drawInImageSpace(const QPainterPath &path, bool fill, bool stroke,
                                      const QPen &pen)
{
    const qreal penExtra = pen.style() == Qt::NoPen || !stroke ? 0 : pen.widthF() + 2;
    if (!meter(path.controlPointRect().adjusted(-penExtra, -penExtra, penExtra, penExtra)))
        return;
    m_painter.resetTransform();
    m_painter.setBackground(m_state.bkColor);
    m_painter.setBackgroundMode(m_state.bkMode == 2 ? Qt::OpaqueMode : Qt::TransparentMode);
    m_painter.setPen(stroke ? pen : QPen(Qt::NoPen));
    m_painter.setBrush(fill ? m_state.brush : QBrush(Qt::NoBrush));
    m_painter.drawPath(path);
}

void MetafileCanvas::draw(const QPainterPath &logical, bool fill, bool stroke)
{
    const QTransform t = logicalToImage();
    if (!finiteTransform(t))
        return;
    QPainterPath path = t.map(logical);
    path.setFillRule(m_state.fillRule);
    if (m_pathOpen) {
        m_path.addPath(path);
        return;
    }
    QPen pen = qtPen();
    if (!pen.isCosmetic()) {
        // Geometric pens scale with the mapping; widths beyond the picture
        // itself only cost time.
        const qreal limit = 2.0 * (m_target->width() + m_target->height());
        pen.setWidthF(qMin(pen.widthF() * transformScale(t), limit));
    }
    drawInImageSpace(path, fill, stroke, pen);
}

void MetafileCanvas::moveTo(const QPointF &point)
{
    if (!isSane(point.x()) || !isSane(point.y()))
        return;
    m_state.position = point;
    if (m_pathOpen)
        m_path.moveTo(logicalToImage().map(point));
}

void MetafileCanvas::lineTo(const QPointF &point)
{
    if (!isSane(point.x()) || !isSane(point.y()))
        return;
    if (m_pathOpen) {
        const QTransform t = logicalToImage();
        if (m_path.elementCount() == 0)
            m_path.moveTo(t.map(m_state.position));
        m_path.lineTo(t.map(point));
    } else {
        QPainterPath line(m_state.position);
        line.lineTo(point);
        draw(line, false, true);
    }
    m_state.position = point;
}

void MetafileCanvas::polyline(const QPolygonF &points)
{
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(points);
    draw(path, false, true);
}

void MetafileCanvas::polylineTo(const QPolygonF &points)
{
    for (const QPointF &p : points)
        lineTo(p);
}

void MetafileCanvas::polygon(const QPolygonF &points)
{
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    draw(path, true, true);
}

void MetafileCanvas::polyPolygon(const QVector<QPolygonF> &polygons)
{
    QPainterPath path;
    for (const QPolygonF &p : polygons) {
        if (p.size() < 2)
            continue;
        path.addPolygon(p);
        path.closeSubpath();
    }
    draw(path, true, true);
}

void MetafileCanvas::polyPolyline(const QVector<QPolygonF> &polylines)
{
    QPainterPath path;
    for (const QPolygonF &p : polylines)
        if (p.size() >= 2)
            path.addPolygon(p);
    draw(path, false, true);
}

void MetafileCanvas::polyBezier(const QPolygonF &points, bool fromCurrent)
{
    QPainterPath path;
    int i = 0;
    if (fromCurrent) {
        path.moveTo(m_state.position);
    } else {
        if (points.isEmpty())
            return;
        path.moveTo(points[0]);
        i = 1;
    }
    for (; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    if (fromCurrent) {
        if (m_pathOpen && m_path.elementCount() > 0) {
            // Continue the open figure instead of starting a new one.
            const QTransform t = logicalToImage();
            for (int j = 0; j + 2 < points.size(); j += 3)
                m_path.cubicTo(t.map(points[j]), t.map(points[j + 1]), t.map(points[j + 2]));
        } else {
            draw(path, false, true);
        }
        if (points.size() >= 3)
            m_state.position = points[(points.size() / 3) * 3 - 1];
    } else {
        draw(path, false, true);
    }
}

void MetafileCanvas::rectangle(const QRectF &rect)
{
    QPainterPath path;
    path.addRect(rect.normalized());
    draw(path, true, true);
}

void MetafileCanvas::roundRect(const QRectF &rect, const QSizeF &corner)
{
    QPainterPath path;
    path.addRoundedRect(rect.normalized(), std::fabs(corner.width()) / 2,
                        std::fabs(corner.height()) / 2);
    draw(path, true, true);
}

void MetafileCanvas::ellipse(const QRectF &rect)
{
    QPainterPath path;
    path.addEllipse(rect.normalized());
    draw(path, true, true);
}

QPainterPath MetafileCanvas::arcPath(const QRectF &box, const QPointF &start, const QPointF &end,
                                     ArcKind kind, QPointF *arcEnd) const
{
    const QRectF r = box.normalized();
    const qreal a0 = ellipseAngle(r, start);
    const qreal a1 = ellipseAngle(r, end);
    qreal sweep = a1 - a0;
    if (m_state.clockwise) {
        if (sweep >= 0)
            sweep -= 360;
    } else if (sweep <= 0) {
        sweep += 360;
    }
    QPainterPath path;
    if (kind == Pie)
        path.moveTo(r.center());
    else if (kind == ArcTo)
        path.moveTo(m_state.position);
    else
        path.arcMoveTo(r, a0);
    path.arcTo(r, a0, sweep);
    if (kind == Pie || kind == Chord)
        path.closeSubpath();
    if (arcEnd)
        *arcEnd = path.currentPosition();
    return path;
}

void MetafileCanvas::arc(const QRectF &box, const QPointF &start, const QPointF &end, ArcKind kind)
{
    QPointF arcEnd;
    const QPainterPath path = arcPath(box, start, end, kind, &arcEnd);
    const bool closed = kind == Pie || kind == Chord;
    if (kind == ArcTo && m_pathOpen && m_path.elementCount() > 0) {
        m_path.connectPath(logicalToImage().map(path));
    } else {
        draw(path, closed, true);
    }
    if (kind == ArcTo)
        m_state.position = arcEnd;
}

void MetafileCanvas::setPixel(const QPointF &point, const QColor &color)
{
    const QTransform t = logicalToImage();
    if (!finiteTransform(t) || !meter(QRectF(t.map(point), QSizeF(1, 1))))
        return;
    m_painter.resetTransform();
    m_painter.fillRect(QRectF(t.map(point), QSizeF(1, 1)), color);
}

void MetafileCanvas::fillRect(const QRectF &rect, const QBrush &brush)
{
    const QTransform t = logicalToImage();
    if (!finiteTransform(t))
        return;
    QPainterPath path;
    path.addPolygon(t.map(QPolygonF(rect.normalized())));
    path.closeSubpath();
    if (!meter(path.controlPointRect()))
        return;
    m_painter.resetTransform();
    m_painter.setPen(Qt::NoPen);
    m_painter.setBrush(brush);
    m_painter.drawPath(path);
}

void MetafileCanvas::text(const QPointF &reference, const QString &string, int options,
                          const QRectF &rect, const QVector<qreal> &dx)
{
    // Fonts need the GUI application's font database.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    const QTransform t = logicalToImage();
    if (!finiteTransform(t) || !isSane(reference.x()) || !isSane(reference.y()))
        return;
    const bool updateCp = m_state.textAlign & 0x01;
    const QPointF anchor = updateCp ? m_state.position : reference;

    if ((options & 0x02) && rect.isValid()) { // ETO_OPAQUE
        QPainterPath box;
        box.addPolygon(t.map(QPolygonF(rect.normalized())));
        if (meter(box.controlPointRect())) {
            m_painter.resetTransform();
            m_painter.fillPath(box, m_state.bkColor);
        }
    }
    if (string.isEmpty())
        return;

    const qreal xScale = std::hypot(t.m11(), t.m12());
    const qreal yScale = std::hypot(t.m21(), t.m22());
    const FontSpec &spec = m_state.font;
    qreal pixelSize = spec.height == 0 ? 16.0 : std::fabs(spec.height) * yScale;
    if (!isSane(pixelSize) || pixelSize < 0.5)
        return;
    pixelSize = qMin<qreal>(pixelSize, 4.0 * qMax(m_target->width(), m_target->height()));

    QFont font(spec.family.isEmpty() ? QStringLiteral("sans-serif") : spec.family);
    font.setPixelSize(qMax(1, qRound(pixelSize)));
    font.setWeight(qtWeight(spec.weight));
    font.setItalic(spec.italic);
    font.setUnderline(spec.underline);
    font.setStrikeOut(spec.strikeOut);
    const QFontMetricsF metrics(font);

    QVector<qreal> offsets;
    qreal advance = 0;
    if (!dx.isEmpty()) {
        for (int i = 0; i < string.size(); ++i) {
            offsets.append(advance);
            advance += (i < dx.size() && isSane(dx[i]) ? dx[i] : 0) * xScale;
        }
    } else {
        advance = metrics.horizontalAdvance(string);
    }

    qreal x = 0;
    switch (m_state.textAlign & 0x06) {
    case 0x06:
        x = -advance / 2;
        break;
    case 0x02:
        x = -advance;
        break;
    default:
        break;
    }
    qreal y = 0;
    switch (m_state.textAlign & 0x18) {
    case 0x18:
        break;
    case 0x08:
        y = -metrics.descent();
        break;
    default:
        y = metrics.ascent();
        break;
    }

    const qreal angle = std::atan2(t.m12(), t.m11()) * 180.0 / M_PI - spec.escapement / 10.0;
    QTransform placement;
    placement.translate(t.map(anchor).x(), t.map(anchor).y());
    placement.rotate(angle);
    const QRectF textBox(x, y - metrics.ascent(), qMax<qreal>(advance, 1), metrics.height());
    // Each glyph costs about its own box.
    const qreal glyphArea = qMin<qreal>(pixelSize * pixelSize,
                                        qreal(m_target->width()) * m_target->height());
    m_work += qint64(glyphArea) * string.size();
    if (!meter(placement.mapRect(textBox)))
        return;

    m_painter.save();
    if ((options & 0x04) && rect.isValid()) { // ETO_CLIPPED
        m_painter.resetTransform();
        QPainterPath clip;
        clip.addPolygon(t.map(QPolygonF(rect.normalized())));
        m_painter.setClipPath(clip, m_state.hasClip ? Qt::IntersectClip : Qt::ReplaceClip);
    }
    m_painter.setTransform(placement);
    if (m_state.bkMode == 2 && !(options & 0x02))
        m_painter.fillRect(textBox, m_state.bkColor);
    m_painter.setFont(font);
    m_painter.setPen(m_state.textColor);
    if (offsets.isEmpty()) {
        m_painter.drawText(QPointF(x, y), string);
    } else {
        for (int i = 0; i < string.size(); ++i)
            m_painter.drawText(QPointF(x + offsets[i], y), QString(string[i]));
    }
    m_painter.restore();

    if (updateCp && xScale > 0)
        m_state.position = anchor + QPointF(advance / xScale, 0);
}

void MetafileCanvas::drawImage(const QRectF &target, const QImage &image, const QRectF &source,
                               qreal opacity)
{
    if (image.isNull())
        return;
    const QTransform t = logicalToImage();
    if (!finiteTransform(t))
        return;
    QRectF dest = target;
    QImage picture = image;
    QRectF src = source.isValid() ? source : QRectF(picture.rect());
    const bool flipX = dest.width() < 0;
    const bool flipY = dest.height() < 0;
    if (flipX || flipY) {
        // A negative extent draws the picture mirrored.
        picture = picture.mirrored(flipX, flipY);
        if (flipX)
            src.moveLeft(picture.width() - src.right());
        if (flipY)
            src.moveTop(picture.height() - src.bottom());
        dest = dest.normalized();
    }
    if (m_pathOpen || !meter(t.mapRect(dest)))
        return;
    m_painter.setTransform(t);
    m_painter.setOpacity(qBound<qreal>(0, opacity, 1));
    m_painter.drawImage(dest, picture, src);
    m_painter.setOpacity(1);
    m_painter.resetTransform();
}

// --- paths -----------------------------------------------------------------

void MetafileCanvas::beginPath()
{
    m_pathOpen = true;
    m_path = QPainterPath();
    m_path.setFillRule(m_state.fillRule);
}

void MetafileCanvas::endPath()
{
    m_pathOpen = false;
}

void MetafileCanvas::closeFigure()
{
    if (m_pathOpen)
        m_path.closeSubpath();
}

void MetafileCanvas::abortPath()
{
    m_pathOpen = false;
    m_path = QPainterPath();
}

void MetafileCanvas::fillPath()
{
    m_pathOpen = false;
    m_path.setFillRule(m_state.fillRule);
    drawInImageSpace(m_path, true, false, QPen(Qt::NoPen));
    m_path = QPainterPath();
}

void MetafileCanvas::strokePath()
{
    m_pathOpen = false;
    QPen pen = qtPen();
    if (!pen.isCosmetic()) {
        const qreal limit = 2.0 * (m_target->width() + m_target->height());
        pen.setWidthF(qMin(pen.widthF() * transformScale(logicalToImage()), limit));
    }
    drawInImageSpace(m_path, false, true, pen);
    m_path = QPainterPath();
}

void MetafileCanvas::strokeAndFillPath()
{
    m_pathOpen = false;
    m_path.setFillRule(m_state.fillRule);
    QPen pen = qtPen();
    if (!pen.isCosmetic()) {
        const qreal limit = 2.0 * (m_target->width() + m_target->height());
        pen.setWidthF(qMin(pen.widthF() * transformScale(logicalToImage()), limit));
    }
    drawInImageSpace(m_path, true, true, pen);
    m_path = QPainterPath();
}

void MetafileCanvas::selectClipPath()
{
    m_pathOpen = false;
    if (m_path.isEmpty())
        return;
    m_state.clip = m_state.hasClip ? m_state.clip.intersected(m_path) : m_path;
    m_state.hasClip = true;
    if (m_state.clip.elementCount() > kMaxClipElements) {
        QPainterPath bounds;
        bounds.addRect(m_state.clip.boundingRect());
        m_state.clip = bounds;
    }
    m_path = QPainterPath();
    applyClip();
}
