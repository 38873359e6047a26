#include <QFontMetricsF>
#include <QGuiApplication>

#include "MetafileCanvas.h"
#include "codec/metafile/MetafileCanvas_p.h"

// Text and bitmaps of the metafile canvas; the device context, objects
// and clipping are in MetafileCanvas.cpp, shapes in MetafileCanvasShapes.cpp.

using namespace MetafileCanvasLimits;

namespace {

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

} // namespace

void MetafileCanvas::text(const QPointF &reference, const QString &string, int options,
    const QRectF &rect, const QVector<qreal> &dx)
{
    // Fonts need the GUI application's font database.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    charge(kTextCost);
    if (m_exhausted)
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
    const LogicalFont &logical = m_state.font;
    qreal pixelSize = logical.height == 0 ? 16.0 : std::fabs(logical.height) * yScale;
    if (!isSane(pixelSize) || pixelSize < 0.5)
        return;
    pixelSize = qMin<qreal>(pixelSize, 4.0 * qMax(m_target->width(), m_target->height()));

    QFont font(logical.family.isEmpty() ? QStringLiteral("sans-serif") : logical.family);
    font.setPixelSize(qMax(1, qRound(pixelSize)));
    font.setWeight(qtWeight(logical.weight));
    font.setItalic(logical.italic);
    font.setUnderline(logical.underline);
    font.setStrikeOut(logical.strikeOut);
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

    const qreal angle = std::atan2(t.m12(), t.m11()) * 180.0 / M_PI - logical.escapement / 10.0;
    QTransform placement;
    placement.translate(t.map(anchor).x(), t.map(anchor).y());
    placement.rotate(angle);
    const QRectF textBox(x, y - metrics.ascent(), qMax<qreal>(advance, 1), metrics.height());
    // Each glyph costs about its own box.
    const qreal glyphArea
        = qMin<qreal>(pixelSize * pixelSize, qreal(m_target->width()) * m_target->height());
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

void MetafileCanvas::drawImage(
    const QRectF &target, const QImage &image, const QRectF &source, qreal opacity)
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
    // The decoded picture's pixels cost as much as painted ones.
    charge(qint64(image.width()) * image.height());
    if (m_pathOpen || !meter(t.mapRect(dest)))
        return;
    m_painter.setTransform(t);
    m_painter.setOpacity(qBound<qreal>(0, opacity, 1));
    m_painter.drawImage(dest, picture, src);
    m_painter.setOpacity(1);
    m_painter.resetTransform();
}
