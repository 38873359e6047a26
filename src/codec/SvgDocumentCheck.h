#pragma once

#include <optional>

#include <QByteArray>
#include <QRectF>

// Checks an SVG document before the toolkit's renderer sees it, for the
// ways a small file can make rendering run away: paths with more segments
// than the drawing budget allows, nesting deeper than the
// renderer's recursion can take, <use> references that multiply the drawn
// elements (or loop), embedded pictures over the pixel cap, and <image>
// references to other files (the renderer would read them from the disk).
// Pure functions; any thread.
namespace SvgDocumentCheck {

constexpr int kMaxDepth = 256;
constexpr qint64 kMaxExpandedElements = 2000000;
constexpr qint64 kMaxInflatedBytes = qint64(256) << 20;
// The work budget of drawing. Filling a path costs the renderer time that
// grows with its segments times the rows it covers, so one long path is
// limited on its own, and all segments together (with <use> expanded).
constexpr qint64 kMaxSegmentsPerPath = 10000;
constexpr qint64 kMaxPathSegments = 400000;

// Whether the document may be rendered. Malformed XML fails. When the root
// element declares a view box, *declaredViewBox receives it (the renderer
// silently replaces an empty one with a default size). A refusal over a
// budget puts its reason in *reason ("too complex to draw: ...").
bool isSafe(const QByteArray &document, std::optional<QRectF> *declaredViewBox = nullptr,
    QString *reason = nullptr);

// The bytes of a gzip stream (.svgz), or the input unchanged when it is not
// gzip. *ok is false when the stream is corrupt or inflates beyond
// kMaxInflatedBytes.
QByteArray inflateIfCompressed(const QByteArray &data, bool *ok);

} // namespace SvgDocumentCheck
