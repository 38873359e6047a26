#pragma once

#include <cstddef>
#include <cstring>
#include <initializer_list>

#include <uemf.h>

#include <QColor>
#include <QImage>
#include <QPolygonF>
#include <QRectF>
#include <QTransform>
#include <QVector>

#include "codec/metafile/MetafileCanvas.h"

// The EMF record handlers, one file per record family:
//   EmfStateRecords.cpp    objects, colours, modes, SaveDC/RestoreDC
//   EmfMappingRecords.cpp  mapping mode, window and viewport, world transform
//   EmfDrawingRecords.cpp  lines, curves and shapes
//   EmfPathRecords.cpp     path brackets and what is done with a path
//   EmfClipRecords.cpp     clip rectangles and regions
//   EmfTextRecords.cpp     text output
//   EmfBitmapRecords.cpp   bitmaps and raster operations
// EmfPlayer has already checked that every record lies inside the file and
// passes libUEMF's own consistency check; handlers still read every field
// through Record, which never reads past the record.
namespace EmfRecords {

// A bounds-checked view of one record.
class Record
{
public:
    Record(quint32 type, const uchar *data, qint64 size)
        : m_type(type)
        , m_data(data)
        , m_size(size)
    {
    }

    quint32 type() const { return m_type; }
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
    quint32 m_type;
    const uchar *m_data;
    qint64 m_size;
};

using Handler = void (*)(const Record &, MetafileCanvas &);

// Handlers by record type; types without one are skipped.
class HandlerTable
{
public:
    void set(std::initializer_list<quint32> types, Handler handler)
    {
        for (quint32 type : types)
            if (type <= U_EMR_MAX)
                m_handlers[type] = handler;
    }
    Handler at(quint32 type) const { return type <= U_EMR_MAX ? m_handlers[type] : nullptr; }

private:
    Handler m_handlers[U_EMR_MAX + 1] = {};
};

// The table of every family, built once.
const HandlerTable &handlers();

void addStateRecords(HandlerTable &table);
void addMappingRecords(HandlerTable &table);
void addDrawingRecords(HandlerTable &table);
void addPathRecords(HandlerTable &table);
void addClipRecords(HandlerTable &table);
void addTextRecords(HandlerTable &table);
void addBitmapRecords(HandlerTable &table);

inline QColor colorOf(const U_COLORREF &c) { return QColor(c.Red, c.Green, c.Blue); }

inline QPointF pointOf(const U_POINTL &p) { return QPointF(p.x, p.y); }

inline QRectF rectOf(const U_RECTL &r)
{
    return QRectF(QPointF(r.left, r.top), QPointF(r.right, r.bottom));
}

// The rectangles of the RGNDATA of cbRgnData bytes at dataAt; false when
// it is malformed. More than a few thousand rectangles come back as their
// bounding box.
bool regionRects(const Record &r, qint64 dataAt, quint32 cbRgnData, QVector<QRectF> *rects);

// The DIB a record carries (header and bits at the given offsets), or a
// null image. bottomUp, when given, tells whether its rows run bottom-up.
QImage dibOf(const Record &r, quint32 usage, quint32 offBmi, quint32 cbBmi, quint32 offBits,
    quint32 cbBits, bool withAlpha, bool *bottomUp);

} // namespace EmfRecords
