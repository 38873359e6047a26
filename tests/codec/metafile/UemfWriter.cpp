#include "UemfWriter.h"

#include <cstdlib>
#include <cstring>

#include <uemf.h>
#include <uwmf.h>

#include <QtEndian>

namespace UemfWriter {

namespace {

U_RECTL rectl(const QRect &r)
{
    // GDI rectangles include their right and bottom edges.
    return rectl_set(point32_set(r.left(), r.top()), point32_set(r.right(), r.bottom()));
}

U_RECT16 rect16(const QRect &r)
{
    U_RECT16 out;
    out.left = qint16(r.left());
    out.top = qint16(r.top());
    out.right = qint16(r.left() + r.width());
    out.bottom = qint16(r.top() + r.height());
    return out;
}

QByteArray takeBuffer(const char *buf, size_t used) { return QByteArray(buf, int(used)); }

} // namespace

// --- EMF --------------------------------------------------------------------

struct Emf::Track
{
    EMFTRACK *et = nullptr;
    EMFHANDLES *eht = nullptr;
};

Emf::Emf(const QSize &size)
    : m_track(new Track)
{
    // libUEMF writes the finished file to a path; the bytes stay in its
    // buffer, which is all the tests need.
    emf_start("/dev/null", 4096, 4096, &m_track->et);
    emf_htable_create(128, 128, &m_track->eht);
    const U_RECTL bounds = rectl(QRect(QPoint(0, 0), size));
    const U_RECTL frame = rectl_set(point32_set(0, 0),
        point32_set(qRound(size.width() * 2540.0 / 96.0), qRound(size.height() * 2540.0 / 96.0)));
    add(U_EMRHEADER_set(
        bounds, frame, nullptr, 0, nullptr, sizel_set(960, 960), sizel_set(254, 254), 0));
}

Emf::~Emf()
{
    emf_free(&m_track->et);
    emf_htable_free(&m_track->eht);
    delete m_track;
}

void Emf::add(char *record)
{
    if (record)
        emf_append(reinterpret_cast<U_ENHMETARECORD *>(record), m_track->et, U_REC_FREE);
}

void Emf::fill(const QRect &logical, QRgb color)
{
    const quint32 brush = m_nextObject++;
    add(U_EMRCREATEBRUSHINDIRECT_set(
        brush, logbrush_set(U_BS_SOLID, U_RGB(qRed(color), qGreen(color), qBlue(color)), 0)));
    add(U_EMRSELECTOBJECT_set(brush));
    add(U_EMRSELECTOBJECT_set(U_NULL_PEN));
    add(U_EMRRECTANGLE_set(rectl(logical)));
}

QByteArray Emf::finish()
{
    add(U_EMREOF_set(0, nullptr, m_track->et));
    emf_finish(m_track->et, m_track->eht);
    return takeBuffer(m_track->et->buf, m_track->et->used);
}

// --- WMF --------------------------------------------------------------------

struct Wmf::Track
{
    WMFTRACK *wt = nullptr;
};

Wmf::Wmf(const QRect &box, int unitsPerInch)
    : m_track(new Track)
{
    wmf_start("/dev/null", 4096, 4096, &m_track->wt);
    wmf_header_append(
        reinterpret_cast<U_METARECORD *>(U_WMRHEADER_set(nullptr, 0)), m_track->wt, U_REC_FREE);
    if (unitsPerInch > 0) {
        // Written by hand: libUEMF derives the box from a size in inches,
        // and the tests need boxes with any origin and direction.
        QByteArray p(22, '\0');
        auto put16 = [&p](int at, qint16 v) { qToLittleEndian<qint16>(v, p.data() + at); };
        qToLittleEndian<quint32>(0x9AC6CDD7u, p.data());
        put16(6, qint16(box.left()));
        put16(8, qint16(box.top()));
        put16(10, qint16(box.left() + box.width()));
        put16(12, qint16(box.top() + box.height()));
        put16(14, qint16(unitsPerInch));
        quint16 checksum = 0;
        for (int i = 0; i < 10; ++i)
            checksum ^= qFromLittleEndian<quint16>(p.constData() + 2 * i);
        put16(20, qint16(checksum));
        m_placeable = p;
    }
}

Wmf::~Wmf()
{
    wmf_free(&m_track->wt);
    delete m_track;
}

void Wmf::add(char *record)
{
    if (record)
        wmf_append(reinterpret_cast<U_METARECORD *>(record), m_track->wt, U_REC_FREE);
}

void Wmf::fill(const QRect &logical, QRgb color)
{
    U_WLOGBRUSH brush;
    brush.Style = U_BS_SOLID;
    brush.Color = U_RGB(qRed(color), qGreen(color), qBlue(color));
    brush.Hatch = 0;
    add(U_WMRCREATEBRUSHINDIRECT_set(brush));
    U_PEN pen;
    memset(&pen, 0, sizeof(pen));
    pen.Style = U_PS_NULL;
    add(U_WMRCREATEPENINDIRECT_set(pen));
    add(U_WMRSELECTOBJECT_set(0));
    add(U_WMRSELECTOBJECT_set(1));
    add(U_WMRRECTANGLE_set(rect16(logical)));
    add(U_WMRDELETEOBJECT_set(0));
    add(U_WMRDELETEOBJECT_set(1));
}

QByteArray Wmf::finish()
{
    add(U_WMREOF_set());
    wmf_finish(m_track->wt);
    return m_placeable + takeBuffer(m_track->wt->buf, m_track->wt->used);
}

// --- RLE --------------------------------------------------------------------

namespace {

void encodeRow(QByteArray *out, const QVector<quint8> &row, int bpp)
{
    const int n = row.size();
    int x = 0;
    while (x < n) {
        int run = 1;
        while (x + run < n && run < 255 && row[x + run] == row[x])
            ++run;
        int literal = 0;
        if (run == 1) {
            // A stretch of indices that differ from their neighbours.
            while (x + literal < n && literal < 255
                && (x + literal + 1 >= n || row[x + literal + 1] != row[x + literal]))
                ++literal;
        }
        if (literal >= 3) {
            out->append(char(0)).append(char(literal));
            QByteArray bytes;
            if (bpp == 8) {
                for (int k = 0; k < literal; ++k)
                    bytes.append(char(row[x + k]));
            } else {
                for (int k = 0; k < literal; k += 2)
                    bytes.append(char((row[x + k] << 4) | (k + 1 < literal ? row[x + k + 1] : 0)));
            }
            if (bytes.size() & 1)
                bytes.append('\0');
            out->append(bytes);
            x += literal;
        } else {
            const quint8 v = row[x];
            out->append(char(run)).append(char(bpp == 8 ? v : (v << 4) | v));
            x += run;
        }
    }
}

} // namespace

QByteArray rleEncode(const QVector<QVector<quint8>> &rowsTopDown, int bpp)
{
    QByteArray out;
    for (int y = rowsTopDown.size() - 1; y >= 0; --y) {
        encodeRow(&out, rowsTopDown[y], bpp);
        if (y > 0)
            out += rleEndOfLine();
    }
    out += rleEndOfBitmap();
    return out;
}

QByteArray rleEndOfLine() { return QByteArray("\0\0", 2); }

QByteArray rleEndOfBitmap() { return QByteArray("\0\1", 2); }

QByteArray rleDelta(int right, int up)
{
    QByteArray d("\0\2", 2);
    d.append(char(right)).append(char(up));
    return d;
}

} // namespace UemfWriter
