#include "WmfPlayer.h"

#include <cmath>
#include <cstring>

#include <uwmf.h>

#include "codec/ImageLimits.h"
#include "codec/metafile/MetafileCanvas.h"
#include "codec/metafile/WmfRecords_p.h"

namespace {

constexpr quint32 kPlaceableKey = 0x9AC6CDD7;
constexpr qreal kDisplayDpi = 96.0;

} // namespace

namespace WmfRecords {

const HandlerTable &handlers()
{
    static const HandlerTable table = [] {
        HandlerTable t;
        addStateRecords(t);
        addMappingRecords(t);
        addDrawingRecords(t);
        addClipRecords(t);
        addTextRecords(t);
        addBitmapRecords(t);
        return t;
    }();
    return table;
}

} // namespace WmfRecords

WmfPlayer::WmfPlayer(const QByteArray &data)
    : m_data(data)
{
}

bool WmfPlayer::parse()
{
    const auto *data = reinterpret_cast<const uchar *>(m_data.constData());
    const qint64 size = m_data.size();
    qint64 pos = 0;
    bool placeable = false;
    if (size >= 22) {
        quint32 key;
        memcpy(&key, data, 4);
        placeable = key == kPlaceableKey;
    }
    if (placeable) {
        qint16 left, top, right, bottom;
        quint16 inch;
        memcpy(&left, data + 6, 2);
        memcpy(&top, data + 8, 2);
        memcpy(&right, data + 10, 2);
        memcpy(&bottom, data + 12, 2);
        memcpy(&inch, data + 14, 2);
        if (inch == 0)
            inch = 1440;
        m_window = QRectF(left, top, qreal(right) - left, qreal(bottom) - top);
        m_size = QSize(int(std::ceil(std::fabs(m_window.width()) * kDisplayDpi / inch)),
            int(std::ceil(std::fabs(m_window.height()) * kDisplayDpi / inch)));
        pos = 22;
    }
    if (pos + 18 > size)
        return false;
    quint16 type, headerWords;
    memcpy(&type, data + pos, 2);
    memcpy(&headerWords, data + pos + 2, 2);
    if ((type != 1 && type != 2) || headerWords != 9)
        return false;
    m_first = pos + 18;

    // Walk the chain: it must end with META_EOF inside the file.
    const char *blimit = m_data.constData() + size;
    bool sizeFromWindow = !placeable;
    for (qint64 at = m_first; at + 6 <= size;) {
        const size_t length = U_WMRRECSAFE_get(m_data.constData() + at, blimit);
        quint32 words;
        memcpy(&words, data + at, 4);
        // libUEMF doubles the word count in 32 bits; a count that wraps is
        // as corrupt as one that runs past the end.
        if (length < 6 || qint64(length) != qint64(words) * 2)
            return false;
        quint16 function;
        memcpy(&function, data + at + 4, 2);
        if (function == 0) {
            m_length = at + qint64(length);
            break;
        }
        if (sizeFromWindow && (function & 0xFF) == U_WMR_SETWINDOWEXT) {
            const WmfRecords::Params p(function, data + at, qint64(length));
            if (p.has(0, 2)) {
                m_size = QSize(qAbs(int(p.s(1))), qAbs(int(p.s(0))));
                m_window.setSize(QSizeF(p.s(1), p.s(0)));
                sizeFromWindow = false;
            }
        } else if (sizeFromWindow && (function & 0xFF) == U_WMR_SETWINDOWORG) {
            const WmfRecords::Params p(function, data + at, qint64(length));
            if (p.has(0, 2))
                m_window.moveTopLeft(QPointF(p.s(1), p.s(0)));
        }
        at += qint64(length);
    }
    if (m_length <= 0)
        return false;
    return ImageLimits::sizeAllowed(m_size.width(), m_size.height());
}

QImage WmfPlayer::render(qint64 paintBudget, qint64 timeLimitMs)
{
    m_error.clear();
    if (m_length <= 0 || m_size.isEmpty()) {
        m_error = QStringLiteral("the file is damaged");
        return QImage();
    }
    QImage image(m_size, QImage::Format_RGB32);
    if (image.isNull()) {
        m_error = QStringLiteral("not enough memory to render the drawing");
        return QImage();
    }
    image.fill(Qt::white);
    bool exhausted;
    {
        MetafileCanvas canvas(&image, QTransform(), kDisplayDpi / 25.4, paintBudget, timeLimitMs);
        canvas.setMapMode(U_MM_ANISOTROPIC);
        canvas.setViewportOrg(QPointF(0, 0));
        canvas.setViewportExt(QSizeF(m_size));
        canvas.setWindowOrg(m_window.topLeft());
        canvas.setWindowExt(m_window.size());
        play(canvas);
        exhausted = canvas.exhausted();
    }
    if (exhausted) {
        m_error = QStringLiteral("the drawing is too complex to render");
        return QImage();
    }
    return image;
}

void WmfPlayer::play(MetafileCanvas &canvas) const
{
    const WmfRecords::HandlerTable &table = WmfRecords::handlers();
    const auto *data = reinterpret_cast<const uchar *>(m_data.constData());
    for (qint64 at = m_first; at < m_length && !canvas.exhausted();) {
        quint32 words;
        quint16 function;
        memcpy(&words, data + at, 4);
        memcpy(&function, data + at + 4, 2);
        const qint64 length = qint64(words) * 2;
        const WmfRecords::Params p(function, data + at, length);
        at += length;
        canvas.chargeRecord();
        if (const WmfRecords::Handler handler = table.at(p.type()))
            handler(p, canvas);
    }
}
