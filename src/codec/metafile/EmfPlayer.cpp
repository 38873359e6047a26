#include "EmfPlayer.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include <uemf.h>
#include <uemf_safe.h>

#include "codec/ImageLimits.h"
#include "codec/metafile/EmfRecords_p.h"
#include "codec/metafile/MetafileCanvas.h"

namespace {

// libUEMF's record checks may read a few bytes past a short record; the
// copy of the file is padded with zeros so those reads stay inside it.
constexpr int kPadding = 64;

} // namespace

namespace EmfRecords {

const HandlerTable &handlers()
{
    static const HandlerTable table = [] {
        HandlerTable t;
        addStateRecords(t);
        addMappingRecords(t);
        addDrawingRecords(t);
        addPathRecords(t);
        addClipRecords(t);
        addTextRecords(t);
        addBitmapRecords(t);
        return t;
    }();
    return table;
}

} // namespace EmfRecords

EmfPlayer::EmfPlayer(const QByteArray &data)
    : m_data(data)
{
}

bool EmfPlayer::parse()
{
    const qint64 size = m_data.size();
    m_data.append(QByteArray(kPadding, '\0'));
    const auto *data = reinterpret_cast<const uchar *>(m_data.constData());
    const EmfRecords::Record first(U_EMR_HEADER, data, size);
    U_EMRHEADER header;
    if (!first.read(&header, U_SIZE_EMRHEADER_MIN) || header.emr.iType != U_EMR_HEADER
        || header.dSignature != U_ENHMETA_SIGNATURE || header.emr.nSize < U_SIZE_EMRHEADER_MIN
        || header.emr.nSize > size)
        return false;

    if (header.szlDevice.cx > 0 && header.szlMillimeters.cx > 0) {
        const qreal ppm = qreal(header.szlDevice.cx) / header.szlMillimeters.cx;
        if (ppm > 0.1 && ppm < 1000)
            m_pixelsPerMm = ppm;
    }
    qreal ppmY = m_pixelsPerMm;
    if (header.szlDevice.cy > 0 && header.szlMillimeters.cy > 0) {
        const qreal ppm = qreal(header.szlDevice.cy) / header.szlMillimeters.cy;
        if (ppm > 0.1 && ppm < 1000)
            ppmY = ppm;
    }
    const U_RECTL &frame = header.rclFrame;
    m_frameInDevice = QRectF(frame.left / 100.0 * m_pixelsPerMm, frame.top / 100.0 * ppmY,
        (qreal(frame.right) - frame.left) / 100.0 * m_pixelsPerMm,
        (qreal(frame.bottom) - frame.top) / 100.0 * ppmY);
    if (!(m_frameInDevice.width() >= 1 && m_frameInDevice.height() >= 1)) {
        const U_RECTL &bounds = header.rclBounds;
        m_frameInDevice = QRectF(bounds.left, bounds.top, qreal(bounds.right) - bounds.left + 1,
            qreal(bounds.bottom) - bounds.top + 1);
    }
    // The frame is kept in 0.01 mm, so a whole number of pixels comes back
    // a few hundredths off: round those, round anything else up.
    auto pixels = [](qreal extent) {
        const qreal nearest = std::round(extent);
        return std::fabs(extent - nearest) <= 0.1 ? nearest : std::ceil(extent);
    };
    const qreal width = pixels(m_frameInDevice.width());
    const qreal height = pixels(m_frameInDevice.height());
    if (!(width >= 1 && height >= 1)
        || !ImageLimits::sizeAllowed(
            qint64(qMin<qreal>(width, 1e12)), qint64(qMin<qreal>(height, 1e12))))
        return false;
    m_size = QSize(int(width), int(height));

    // The record chain must be whole: a truncated file fails here.
    qint64 pos = 0;
    while (pos + 8 <= size) {
        quint32 type, length;
        memcpy(&type, data + pos, 4);
        memcpy(&length, data + pos + 4, 4);
        if (length < 8 || (length & 3) || length > size - pos)
            return false;
        pos += length;
        if (type == U_EMR_EOF) {
            m_length = pos;
            return true;
        }
    }
    return false;
}

QImage EmfPlayer::render(qint64 paintBudget, qint64 timeLimitMs)
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
    QTransform deviceToImage;
    deviceToImage.scale(
        m_size.width() / m_frameInDevice.width(), m_size.height() / m_frameInDevice.height());
    deviceToImage.translate(-m_frameInDevice.left(), -m_frameInDevice.top());
    bool exhausted;
    {
        MetafileCanvas canvas(&image, deviceToImage, m_pixelsPerMm, paintBudget, timeLimitMs);
        play(canvas);
        exhausted = canvas.exhausted();
    }
    if (exhausted) {
        m_error = QStringLiteral("the drawing is too complex to render");
        return QImage();
    }
    return image;
}

void EmfPlayer::play(MetafileCanvas &canvas) const
{
    const EmfRecords::HandlerTable &table = EmfRecords::handlers();
    const auto *data = reinterpret_cast<const uchar *>(m_data.constData());
    for (qint64 pos = 0; pos < m_length && !canvas.exhausted();) {
        quint32 type, length;
        memcpy(&type, data + pos, 4);
        memcpy(&length, data + pos + 4, 4);
        const EmfRecords::Record r(type, data + pos, length);
        pos += length;
        canvas.chargeRecord();
        const EmfRecords::Handler handler = table.at(type);
        if (!handler || !U_emf_record_safe(reinterpret_cast<const char *>(r.at(0))))
            continue;
        handler(r, canvas);
    }
}
