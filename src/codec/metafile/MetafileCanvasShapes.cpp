#include "MetafileCanvas.h"
#include "codec/metafile/MetafileCanvas_p.h"

// Shapes and paths of the metafile canvas; the device context, objects
// and clipping are in MetafileCanvas.cpp, text and bitmaps in
// MetafileCanvasText.cpp.

using namespace MetafileCanvasLimits;

// --- drawing ---------------------------------------------------------------

bool MetafileCanvas::chargePoints(qint64 count)
{
    charge(count * kElementCost);
    return !m_exhausted;
}

void MetafileCanvas::pathGrew(qint64 elements)
{
    charge(elements * kElementCost);
    if (m_path.elementCount() > kMaxPathElements)
        m_exhausted = true;
}

bool MetafileCanvas::meter(const QRectF &imageBounds)
{
    if (m_exhausted)
        return false;
    const QRectF visible = imageBounds.intersected(QRectF(m_target->rect()));
    qint64 units = kOperationCost;
    if (visible.isValid())
        units += qint64(visible.width() + 1) * qint64(visible.height() + 1);
    charge(units);
    return !m_exhausted;
}

QPen MetafileCanvas::qtPen() const
{
    const LogicalPen &logical = m_state.pen;
    const int style = logical.style & 0x0F;
    if (style == 5)
        return QPen(Qt::NoPen);
    QPen pen(logical.color);
    pen.setWidthF(logical.width);
    pen.setCosmetic(logical.width <= 0);
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
        if (!logical.dashes.isEmpty()) {
            QVector<qreal> pattern;
            const qreal unit = logical.width > 0 ? logical.width : 1;
            for (qreal d : logical.dashes)
                pattern.append(qMax<qreal>(0.01, d / unit));
            if (pattern.size() % 2)
                pattern.append(pattern.last());
            pen.setDashPattern(pattern);
        }
        break;
    default:
        break;
    }
    switch (logical.style & 0x0F00) {
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
    switch (logical.style & 0xF000) {
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

void MetafileCanvas::drawInImageSpace(
    const QPainterPath &path, bool fill, bool stroke, const QPen &pen)
{
    const qreal penExtra = pen.style() == Qt::NoPen || !stroke ? 0 : pen.widthF() + 2;
    charge(path.elementCount() * kElementCost);
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
        pathGrew(path.elementCount());
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
    if (m_pathOpen) {
        m_path.moveTo(logicalToImage().map(point));
        pathGrew(1);
    }
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
        pathGrew(1);
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
            pathGrew(points.size());
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
    path.addRoundedRect(
        rect.normalized(), std::fabs(corner.width()) / 2, std::fabs(corner.height()) / 2);
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
        pathGrew(path.elementCount());
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

void MetafileCanvas::fillRegion(const QVector<QRectF> &logical, const QBrush &brush)
{
    const QTransform t = logicalToImage();
    if (m_pathOpen || !finiteTransform(t) || brush.style() == Qt::NoBrush)
        return;
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const QRectF &rect : logical) {
        path.addPolygon(t.map(QPolygonF(rect.normalized())));
        path.closeSubpath();
    }
    charge(path.elementCount() * kElementCost);
    if (!meter(path.controlPointRect()))
        return;
    m_painter.resetTransform();
    m_painter.setPen(Qt::NoPen);
    m_painter.setBrush(brush);
    m_painter.drawPath(path);
}

// --- paths -----------------------------------------------------------------

void MetafileCanvas::beginPath()
{
    m_pathOpen = true;
    m_path = QPainterPath();
    m_path.setFillRule(m_state.fillRule);
}

void MetafileCanvas::endPath() { m_pathOpen = false; }

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

void MetafileCanvas::selectClipPath(int mode)
{
    m_pathOpen = false;
    if (m_path.isEmpty())
        return;
    QPainterPath shape = m_path;
    shape.setFillRule(m_state.fillRule);
    m_path = QPainterPath();
    combineClip(shape, mode);
}
