#include "MetafileCanvas.h"

#include "codec/metafile/MetafileCanvas_p.h"

using namespace MetafileCanvasLimits;

namespace {

constexpr int kMaxObjects = 65536;
constexpr int kMaxSavedStates = 256;

// WHITE_BRUSH 0 ... NULL_BRUSH 5 and DC_BRUSH 18.
bool stockBrush(int stock, QBrush *brush)
{
    switch (stock) {
    case 0:
    case 18:
        *brush = QBrush(Qt::white);
        return true;
    case 1:
        *brush = QBrush(QColor(0xC0, 0xC0, 0xC0));
        return true;
    case 2:
        *brush = QBrush(QColor(0x80, 0x80, 0x80));
        return true;
    case 3:
        *brush = QBrush(QColor(0x40, 0x40, 0x40));
        return true;
    case 4:
        *brush = QBrush(Qt::black);
        return true;
    case 5:
        *brush = QBrush(Qt::NoBrush);
        return true;
    default:
        return false;
    }
}

} // namespace

MetafileCanvas::MetafileCanvas(QImage *target, const QTransform &deviceToImage, qreal pixelsPerMm,
    qint64 paintBudget, qint64 timeLimitMs)
    : m_target(target)
    , m_deviceToImage(deviceToImage)
    , m_pixelsPerMm(pixelsPerMm > 0 && isSane(pixelsPerMm) ? pixelsPerMm : 96.0 / 25.4)
    , m_budget(paintBudget)
    , m_timeLimitMs(timeLimitMs)
{
    m_clock.start();
    m_painter.begin(m_target);
    m_painter.setRenderHint(QPainter::TextAntialiasing);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform);
}

MetafileCanvas::~MetafileCanvas() { m_painter.end(); }

// --- work budget ----------------------------------------------------------

void MetafileCanvas::charge(qint64 units)
{
    m_work += qMax<qint64>(units, 0);
    if (m_work > m_budget || m_clock.hasExpired(m_timeLimitMs))
        m_exhausted = true;
}

void MetafileCanvas::chargeRecord()
{
    // Reading the clock costs about as much as a cheap record.
    m_work += kRecordCost;
    if (++m_recordsSinceClock >= 64) {
        m_recordsSinceClock = 0;
        charge(0);
    } else if (m_work > m_budget) {
        m_exhausted = true;
    }
}

void MetafileCanvas::chargeWork(qint64 units) { charge(units); }

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
        setWindowExt(QSizeF(
            m_state.windowExt.width() * xNum / xDenom, m_state.windowExt.height() * yNum / yDenom));
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

void MetafileCanvas::setTextColor(const QColor &color) { m_state.textColor = color; }

void MetafileCanvas::setBkColor(const QColor &color) { m_state.bkColor = color; }

void MetafileCanvas::setBkMode(int mode)
{
    if (mode == 1 || mode == 2)
        m_state.bkMode = mode;
}

void MetafileCanvas::setTextAlign(int align) { m_state.textAlign = align; }

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

QBrush MetafileCanvas::objectBrush(quint32 index) const
{
    QBrush brush(Qt::NoBrush);
    if (index & 0x80000000u)
        stockBrush(int(index & 0x7FFFFFFFu), &brush);
    else if (index < quint32(m_objects.size()) && m_objects[int(index)].kind == Object::Brush)
        brush = m_objects[int(index)].brush;
    return brush;
}

void MetafileCanvas::selectStockObject(int stock)
{
    if (stockBrush(stock, &m_state.brush))
        return;
    switch (stock) {
    case 6:
        m_state.pen = LogicalPen { 0, 0, Qt::white, {} };
        break;
    case 7:
    case 19:
        m_state.pen = LogicalPen { 0, 0, Qt::black, {} };
        break;
    case 8:
        m_state.pen = LogicalPen { 5, 0, Qt::black, {} };
        break;
    case 10:
    case 11:
    case 16:
        m_state.font = LogicalFont();
        m_state.font.family = QStringLiteral("monospace");
        break;
    case 12:
    case 13:
    case 14:
    case 17:
        m_state.font = LogicalFont();
        break;
    default:
        break;
    }
}

// --- clipping ---------------------------------------------------------------

void MetafileCanvas::applyClip()
{
    m_painter.resetTransform();
    if (m_state.hasClip) {
        // The painter rasterises the clip each time it is set.
        charge(m_state.clip.elementCount() * kClipElementCost);
        m_painter.setClipPath(m_state.clip);
    } else {
        m_painter.setClipping(false);
    }
}

void MetafileCanvas::combineClip(const QPainterPath &shape, int mode)
{
    if (mode < 1 || mode > 5)
        return;
    QPainterPath current;
    if (m_state.hasClip) {
        current = m_state.clip;
    } else {
        current.addRect(QRectF(m_target->rect()));
    }
    charge((current.elementCount() + shape.elementCount()) * kClipElementCost);
    if (m_exhausted)
        return;
    QPainterPath result;
    switch (mode) {
    case 1: // RGN_AND
        result = current.intersected(shape);
        break;
    case 2: // RGN_OR
        result = current.united(shape);
        break;
    case 3: // RGN_XOR
        result = current.subtracted(shape).united(shape.subtracted(current));
        break;
    case 4: // RGN_DIFF
        result = current.subtracted(shape);
        break;
    default: // RGN_COPY
        result = shape;
        break;
    }
    if (result.elementCount() > kMaxClipElements) {
        // Too complex to keep combining: its bounding box stands in for it.
        QPainterPath bounds;
        bounds.addRect(result.boundingRect());
        result = bounds;
    }
    m_state.clip = result;
    m_state.hasClip = true;
    applyClip();
}

void MetafileCanvas::intersectClipRect(const QRectF &logical)
{
    QPainterPath shape;
    shape.addPolygon(logicalToImage().map(QPolygonF(logical.normalized())));
    shape.closeSubpath();
    combineClip(shape, 1);
}

void MetafileCanvas::excludeClipRect(const QRectF &logical)
{
    QPainterPath shape;
    shape.addPolygon(logicalToImage().map(QPolygonF(logical.normalized())));
    shape.closeSubpath();
    combineClip(shape, 4);
}

void MetafileCanvas::selectClipRegion(const QVector<QRectF> &device, int mode)
{
    if (device.isEmpty()) {
        if (mode == 5)
            resetClip();
        return;
    }
    // Merging the rectangles costs about as much as clipping with them.
    charge(device.size() * 4 * kClipElementCost);
    if (m_exhausted)
        return;
    // Region rectangles do not overlap; merging them into one outline keeps
    // a region of scanlines (a circle, say) from growing past the clip's
    // element limit.
    QPainterPath shape;
    shape.setFillRule(Qt::WindingFill);
    for (const QRectF &rect : device) {
        const QRectF r = rect.normalized();
        if (!isSane(r.left()) || !isSane(r.top()) || !isSane(r.right()) || !isSane(r.bottom()))
            continue;
        shape.addPolygon(m_deviceToImage.map(QPolygonF(r)));
        shape.closeSubpath();
    }
    if (device.size() > 1)
        shape = shape.simplified();
    combineClip(shape, mode);
}

void MetafileCanvas::offsetClip(const QPointF &logical)
{
    if (!m_state.hasClip || !isSane(logical.x()) || !isSane(logical.y()))
        return;
    const QTransform t = logicalToImage();
    if (!finiteTransform(t))
        return;
    const QPointF delta = t.map(logical) - t.map(QPointF(0, 0));
    m_state.clip.translate(delta);
    applyClip();
}

void MetafileCanvas::resetClip()
{
    m_state.hasClip = false;
    m_state.clip = QPainterPath();
    applyClip();
}
