#pragma once

#include <QBrush>
#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QTransform>
#include <QVector>

// The drawing side shared by the EMF and WMF players: a device context
// (mapping mode, window and viewport, world transform, selected pen, brush
// and font, colours, text alignment, current position, clipping, an open
// path) with its save stack and object table, drawing the common GDI
// primitives onto a QImage with QPainter.
//
// Coordinates given to the drawing calls are logical units; they pass
// through the world transform, the mapping mode and the reference-device to
// image transform the player supplies. Records that make no sense (bad
// object index, restore without save) are ignored, as GDI does.
//
// The work is metered so that a small file cannot keep the renderer busy for
// minutes: every record, every path element and clip operation, every pixel
// painted and every bitmap pixel decoded costs units of a budget, and the
// render has a wall-clock limit besides. Once either is spent drawing stops
// and exhausted() says so.
//
// One canvas per render, used by one thread.
class MetafileCanvas
{
public:
    enum ArcKind { Arc, ArcTo, Chord, Pie };

    struct LogicalPen
    {
        int style = 0; // PS_* style bits
        qreal width = 0; // logical units; 0 means one device pixel
        QColor color = Qt::black;
        QVector<qreal> dashes; // PS_USERSTYLE entries, in logical units
    };
    struct LogicalFont
    {
        QString family;
        qreal height = 0; // logical units; < 0 character height, > 0 cell height
        int weight = 400;
        bool italic = false;
        bool underline = false;
        bool strikeOut = false;
        int escapement = 0; // tenths of a degree, counter-clockwise
        int charset = 0; // GDI character set of 8-bit strings
    };
    struct Object
    {
        enum Kind { Empty, Pen, Brush, Font, Other } kind = Empty;
        LogicalPen pen;
        QBrush brush;
        LogicalFont font;
    };

    // Work units: about ten seconds of rendering on a slow machine.
    static constexpr qint64 kDefaultPaintBudget = qint64(8) * 1000 * 1000 * 1000;
    // Wall-clock limit of one render, whatever the units say.
    static constexpr qint64 kDefaultTimeLimitMs = 20000;

    // deviceToImage maps the reference device (pixels) onto the image.
    MetafileCanvas(QImage *target, const QTransform &deviceToImage, qreal pixelsPerMm,
        qint64 paintBudget = kDefaultPaintBudget, qint64 timeLimitMs = kDefaultTimeLimitMs);
    ~MetafileCanvas();

    // Work the players meter themselves: one record played, or units of
    // their own (bitmap pixels decoded).
    void chargeRecord();
    void chargeWork(qint64 units);
    // Charges count points a record is about to hand over; false when that
    // spends the budget (the record is then not worth reading).
    bool chargePoints(qint64 count);

    // Device context.
    void setMapMode(int mode);
    void setWindowOrg(const QPointF &org);
    void setWindowExt(const QSizeF &ext);
    void setViewportOrg(const QPointF &org);
    void setViewportExt(const QSizeF &ext);
    void offsetWindowOrg(const QPointF &delta);
    void offsetViewportOrg(const QPointF &delta);
    void scaleWindowExt(qreal xNum, qreal xDenom, qreal yNum, qreal yDenom);
    void scaleViewportExt(qreal xNum, qreal xDenom, qreal yNum, qreal yDenom);
    void setWorldTransform(const QTransform &transform);
    // GDI's MWT_IDENTITY (1), MWT_LEFTMULTIPLY (2), MWT_RIGHTMULTIPLY (3), MWT_SET (4).
    void modifyWorldTransform(const QTransform &transform, int mode);
    void setTextColor(const QColor &color);
    void setBkColor(const QColor &color);
    void setBkMode(int mode);
    void setTextAlign(int align);
    void setPolyFillMode(int mode);
    void setArcDirection(int direction);
    void saveDC();
    // relative < 0: that many levels back; > 0: that absolute level.
    void restoreDC(int relative);

    // Objects. The table grows on demand up to a fixed bound.
    void createObject(quint32 index, const Object &object);
    // The lowest empty slot (WMF places new objects there); -1 when full.
    int firstFreeObject() const;
    void deleteObject(quint32 index);
    void selectObject(quint32 index);
    // Stock objects (WHITE_BRUSH 0 ... DC_PEN 19).
    void selectStockObject(int stock);

    // Clipping. GDI's region modes RGN_AND (1), RGN_OR (2), RGN_XOR (3),
    // RGN_DIFF (4) and RGN_COPY (5) combine a new shape with the clip; with
    // no clip selected, the whole picture is the clip.
    void intersectClipRect(const QRectF &logical);
    void excludeClipRect(const QRectF &logical);
    // Rectangles in device units (region data); an empty list with
    // RGN_COPY removes the clip.
    void selectClipRegion(const QVector<QRectF> &device, int mode);
    void offsetClip(const QPointF &logical);
    void resetClip();

    // Drawing, in logical units.
    void moveTo(const QPointF &point);
    void lineTo(const QPointF &point);
    QPointF currentPosition() const { return m_state.position; }
    void polyline(const QPolygonF &points);
    void polylineTo(const QPolygonF &points);
    void polygon(const QPolygonF &points);
    void polyPolygon(const QVector<QPolygonF> &polygons);
    void polyPolyline(const QVector<QPolygonF> &polylines);
    void polyBezier(const QPolygonF &points, bool fromCurrent);
    void rectangle(const QRectF &rect);
    void roundRect(const QRectF &rect, const QSizeF &corner);
    void ellipse(const QRectF &rect);
    void arc(const QRectF &box, const QPointF &start, const QPointF &end, ArcKind kind);
    void setPixel(const QPointF &point, const QColor &color);
    // options: ETO_OPAQUE/ETO_CLIPPED with rect; dx: advances in logical units.
    void text(const QPointF &reference, const QString &string, int options, const QRectF &rect,
        const QVector<qreal> &dx);
    void drawImage(
        const QRectF &target, const QImage &image, const QRectF &source, qreal opacity = 1.0);
    // PatBlt with the selected brush (or plain black/white raster ops).
    void fillRect(const QRectF &rect, const QBrush &brush);
    QBrush currentBrush() const { return m_state.brush; }
    // The brush of a brush object (a stock brush when index has
    // U_STOCK_OBJECT's bit); no brush for anything else.
    QBrush objectBrush(quint32 index) const;
    // A region (rectangles in logical units) filled with brush.
    void fillRegion(const QVector<QRectF> &logical, const QBrush &brush);
    const LogicalFont &currentFont() const { return m_state.font; }

    // Paths.
    void beginPath();
    void endPath();
    void closeFigure();
    void abortPath();
    void fillPath();
    void strokePath();
    void strokeAndFillPath();
    void selectClipPath(int mode);

    bool exhausted() const { return m_exhausted; }

private:
    struct State
    {
        int mapMode = 1;
        QPointF windowOrg;
        QSizeF windowExt { 1, 1 };
        QPointF viewportOrg;
        QSizeF viewportExt { 1, 1 };
        QTransform world;
        LogicalPen pen;
        QBrush brush { Qt::white };
        LogicalFont font;
        QColor textColor = Qt::black;
        QColor bkColor = Qt::white;
        int bkMode = 2; // OPAQUE
        int textAlign = 0;
        Qt::FillRule fillRule = Qt::OddEvenFill;
        bool clockwise = false;
        QPointF position; // logical
        bool hasClip = false;
        QPainterPath clip; // image coordinates
    };

    QTransform pageToDevice() const;
    QTransform logicalToImage() const;
    QPen qtPen() const;
    // Draws (or, inside a path bracket, records) a shape in logical units.
    void draw(const QPainterPath &logical, bool fill, bool stroke);
    void drawInImageSpace(const QPainterPath &path, bool fill, bool stroke, const QPen &pen);
    bool meter(const QRectF &imageBounds);
    void charge(qint64 units);
    void pathGrew(qint64 elements);
    void combineClip(const QPainterPath &shape, int mode);
    void applyClip();
    QPainterPath arcPath(const QRectF &box, const QPointF &start, const QPointF &end, ArcKind kind,
        QPointF *arcEnd) const;

    QImage *m_target;
    QPainter m_painter;
    QTransform m_deviceToImage;
    qreal m_pixelsPerMm;
    State m_state;
    QVector<State> m_saved;
    QVector<Object> m_objects;
    bool m_pathOpen = false;
    QPainterPath m_path; // image coordinates
    qint64 m_work = 0;
    qint64 m_budget;
    qint64 m_timeLimitMs;
    QElapsedTimer m_clock;
    int m_recordsSinceClock = 0;
    bool m_exhausted = false;
};
