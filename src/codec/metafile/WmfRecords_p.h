#pragma once

#include <cstring>
#include <initializer_list>

#include <QColor>
#include <QPolygonF>
#include <QRectF>
#include <QString>

#include "codec/metafile/MetafileCanvas.h"

// The WMF record handlers, one file per record family:
//   WmfStateRecords.cpp    objects, colours, modes, SaveDC/RestoreDC
//   WmfMappingRecords.cpp  mapping mode, window and viewport
//   WmfDrawingRecords.cpp  lines and shapes
//   WmfClipRecords.cpp     clip rectangles
//   WmfTextRecords.cpp     text output
//   WmfBitmapRecords.cpp   bitmaps and raster operations
// WmfPlayer has already checked that every record lies inside the file;
// handlers read every parameter through Params, which never reads past the
// record.
namespace WmfRecords {

// One record's parameters: 16-bit words after the 6-byte record header,
// each read only when the record holds it.
class Params
{
public:
    Params(quint16 function, const uchar *record, qint64 size)
        : m_function(function)
        , m_data(record + 6)
        , m_words((size - 6) / 2)
    {
    }

    // The record type: the low byte of the function number.
    int type() const { return m_function & 0xFF; }
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
    // (x, y) stored as y, x.
    QPointF reversedPoint(qint64 index) const { return QPointF(s(index + 1), s(index)); }
    // Rectangles stored as bottom, right, top, left.
    QRectF reversedRect(qint64 index) const
    {
        return QRectF(QPointF(s(index + 3), s(index + 2)), QPointF(s(index + 1), s(index)));
    }

private:
    quint16 m_function;
    const uchar *m_data;
    qint64 m_words;
};

using Handler = void (*)(const Params &, MetafileCanvas &);

// Handlers by record type; types without one are skipped.
class HandlerTable
{
public:
    void set(std::initializer_list<int> types, Handler handler)
    {
        for (int type : types)
            if (type >= 0 && type < 256)
                m_handlers[type] = handler;
    }
    Handler at(int type) const { return m_handlers[type & 0xFF]; }

private:
    Handler m_handlers[256] = {};
};

// The table of every family, built once.
const HandlerTable &handlers();

void addStateRecords(HandlerTable &table);
void addMappingRecords(HandlerTable &table);
void addDrawingRecords(HandlerTable &table);
void addClipRecords(HandlerTable &table);
void addTextRecords(HandlerTable &table);
void addBitmapRecords(HandlerTable &table);

// 8-bit text in the code page of a GDI character set.
QString decodeText(const uchar *bytes, qint64 length, int charset);

} // namespace WmfRecords
