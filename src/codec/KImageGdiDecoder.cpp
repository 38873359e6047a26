#include "KImageGdiDecoder.h"

#include <QFile>

#include "codec/ImageLimits.h"
#include "codec/metafile/EmfPlayer.h"
#include "codec/metafile/WmfPlayer.h"

KImageGdiDecoder::KImageGdiDecoder(KImageWrapper *wrapper)
    : KImageDecoderBase(wrapper)
{
}

KImageGdiDecoder::~KImageGdiDecoder() = default;

bool KImageGdiDecoder::decodeFile(const QString &path)
{
    m_frame = QImage();
    m_error.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > ImageLimits::kMaxFileBytes)
        return false;
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError || data.size() < 8)
        return false;

    // An EMF starts with its header record (type 1) carrying " EMF" at 40.
    const bool emf = data.size() >= 44 && data.startsWith(QByteArray("\x01\0\0\0", 4))
        && data.mid(40, 4) == QByteArray(" EMF");
    if (emf) {
        EmfPlayer player(data);
        if (player.parse()) {
            m_frame = player.render();
            m_error = player.errorString();
        }
    } else {
        WmfPlayer player(data);
        if (player.parse()) {
            m_frame = player.render();
            m_error = player.errorString();
        }
    }
    return !m_frame.isNull();
}

QImage KImageGdiDecoder::frameAt(int index) { return index == 0 ? m_frame : QImage(); }

int KImageGdiDecoder::frameCount() const { return m_frame.isNull() ? 0 : 1; }
