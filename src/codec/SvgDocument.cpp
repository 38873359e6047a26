#include "SvgDocument.h"

#include <qvsvgrender.h>

#include <QImage>

#include "codec/LazyLibrary.h"

namespace {

LazyLibrary &renderLibrary()
{
    static LazyLibrary library(LazyLibrary::ownLibraryPath(QStringLiteral("libqvsvgrender.so")),
        QStringLiteral("SVG support (libqvsvgrender.so)"));
    return library;
}

template <typename Function> Function entry(const char *name)
{
    return renderLibrary().entry<Function>(name);
}

} // namespace

std::unique_ptr<SvgDocument> SvgDocument::parse(const QByteArray &document, QString *why)
{
    if (!renderLibrary().load(why))
        return nullptr;
    static const auto open = entry<decltype(&QvSvgOpen)>("QvSvgOpen");
    QvSvgDocument *parsed = open(document.constData(), document.size());
    if (!parsed)
        return nullptr;
    return std::unique_ptr<SvgDocument>(new SvgDocument(parsed));
}

SvgDocument::SvgDocument(QvSvgDocument *document)
    : m_document(document)
{
}

SvgDocument::~SvgDocument()
{
    static const auto close = entry<decltype(&QvSvgClose)>("QvSvgClose");
    close(m_document);
}

QRectF SvgDocument::viewBox() const
{
    static const auto viewBox = entry<decltype(&QvSvgViewBox)>("QvSvgViewBox");
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    viewBox(m_document, &x, &y, &width, &height);
    return QRectF(x, y, width, height);
}

bool SvgDocument::render(QImage *image) const
{
    static const auto render = entry<decltype(&QvSvgRender)>("QvSvgRender");
    if (!image || image->isNull() || image->format() != QImage::Format_ARGB32_Premultiplied)
        return false;
    return render(m_document, image->bits(), image->width(), image->height(),
               int(image->bytesPerLine()))
        == 0;
}
