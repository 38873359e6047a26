#pragma once

#include <cmath>

#include <QRectF>
#include <QTransform>

// Helpers shared by the files of MetafileCanvas.
namespace MetafileCanvasLimits {

// Costs in the work budget, next to one unit per pixel painted: a fixed
// cost per drawing operation, per text output (font set-up) and per record,
// per path element drawn or recorded, and per element of the shapes a clip
// operation combines or the painter is given as its clip. Measured so that
// the default budget lasts a few seconds whatever the records are.
constexpr qint64 kOperationCost = 4096;
constexpr qint64 kTextCost = 32768;
constexpr qint64 kRecordCost = 256;
constexpr qint64 kElementCost = 512;
constexpr qint64 kClipElementCost = 16384;
// An open path may not grow beyond this many elements.
constexpr int kMaxPathElements = 4 * 1024 * 1024;
// Clip paths more complex than this are replaced by their bounding box.
constexpr int kMaxClipElements = 4096;

// Coordinates and factors from files are used only when finite and within
// a range where the rasteriser's arithmetic stays exact enough.
inline bool isSane(qreal v) { return std::isfinite(v) && std::fabs(v) < 1e9; }

inline bool finiteTransform(const QTransform &t)
{
    return isSane(t.m11()) && isSane(t.m12()) && isSane(t.m21()) && isSane(t.m22())
        && isSane(t.dx()) && isSane(t.dy());
}

inline qreal transformScale(const QTransform &t) { return std::sqrt(std::fabs(t.determinant())); }

// Angle of p on the ellipse in box, in degrees counter-clockwise from
// 3 o'clock as QPainterPath::arcTo counts them (y grows downwards).
inline qreal ellipseAngle(const QRectF &box, const QPointF &p)
{
    const QPointF c = box.center();
    const qreal rx = box.width() / 2, ry = box.height() / 2;
    if (rx <= 0 || ry <= 0)
        return 0;
    return std::atan2(-(p.y() - c.y()) / ry, (p.x() - c.x()) / rx) * 180.0 / M_PI;
}

} // namespace MetafileCanvasLimits
