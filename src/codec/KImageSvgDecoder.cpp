#include "KImageSvgDecoder.h"

#include <cmath>

#include <QFile>
#include <QGuiApplication>

#include "codec/ImageLimits.h"
#include "codec/SvgDocument.h"
#include "codec/SvgDocumentCheck.h"

KImageSvgDecoder::KImageSvgDecoder(KImageWrapper *wrapper)
    : KImageDecoderBase(wrapper)
{
}

KImageSvgDecoder::~KImageSvgDecoder() = default;

bool KImageSvgDecoder::decodeFile(const QString &path)
{
    m_loaded = false;
    m_renderSize = QSize();
    m_document.reset();
    // Text in SVG needs the GUI application's font database; without one
    // the renderer would abort the process.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return false;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > ImageLimits::kMaxFileBytes)
        return false;
    const QByteArray raw = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    bool ok = false;
    const QByteArray document = SvgDocumentCheck::inflateIfCompressed(raw, &ok);
    std::optional<QRectF> declared;
    QString reason;
    if (!ok || !SvgDocumentCheck::isSafe(document, &declared, &reason)) {
        setErrorString(reason);
        return false;
    }
    // A declared but empty view box would otherwise "load" at a default
    // size the document never asked for.
    if (declared && !(declared->width() > 0 && declared->height() > 0))
        return false;

    std::unique_ptr<SvgDocument> parsed = SvgDocument::parse(document, &reason);
    if (!parsed) {
        setErrorString(reason);
        return false;
    }
    // In floating point: far-off view boxes overflow QRect's integers.
    const QRectF box = parsed->viewBox();
    const qreal width = std::round(box.width());
    const qreal height = std::round(box.height());
    if (!std::isfinite(width) || !std::isfinite(height) || width > ImageLimits::kMaxPixels
        || height > ImageLimits::kMaxPixels
        || !ImageLimits::sizeAllowed(qint64(width), qint64(height))) {
        if (std::isfinite(width) && std::isfinite(height) && width < 1e15 && height < 1e15)
            setErrorString(ImageLimits::tooLargeReason(qint64(width), qint64(height)));
        return false;
    }
    const QSize size(static_cast<int>(width), static_cast<int>(height));
    m_document = std::move(parsed);
    m_renderSize = size;
    m_loaded = true;
    return true;
}

QImage KImageSvgDecoder::frameAt(int index)
{
    if (!m_loaded || index != 0)
        return QImage();
    QImage image(m_renderSize, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return QImage();
    image.fill(Qt::transparent);
    return m_document->render(&image) ? image : QImage();
}

int KImageSvgDecoder::frameCount() const { return m_loaded ? 1 : 0; }
