#include "qvpdfrender.h"

#include <cmath>
#include <memory>

#include <poppler-qt5.h>

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QString>

#include "PageImageWriter.h"

// Each call opens its own Poppler::Document and renders with its own output
// device; poppler guards its process-wide state itself, so calls from the
// interface thread and a worker thread may overlap.

namespace {

constexpr double kRenderDpi = 150.0;
// A page larger than this (in pixels) is rendered at a lower resolution
// instead of asking for gigabytes: 256 MB of 32-bit pixels, and the
// 32767-pixel side that QImage allows.
constexpr double kMaxPixels = 64.0 * 1024 * 1024;
constexpr double kMaxSide = 32000.0;

// The document, or null with why in *code.
std::unique_ptr<Poppler::Document> openDocument(
    const char *pdfPath, const char *password, int *code)
{
    *code = QVPDF_ERR_OPEN;
    if (!pdfPath || !*pdfPath)
        return nullptr;
    const QString path = QString::fromUtf8(pdfPath);
    const QByteArray secret = password ? QByteArray(password) : QByteArray();
    std::unique_ptr<Poppler::Document> document(Poppler::Document::load(path, secret, secret));
    if (!document)
        return nullptr;
    if (document->isLocked()) {
        *code = QVPDF_ERR_PASSWORD;
        return nullptr;
    }
    *code = QVPDF_OK;
    return document;
}

double renderDpiFor(const QSizeF &points)
{
    double dpi = kRenderDpi;
    const double width = points.width() * dpi / 72.0;
    const double height = points.height() * dpi / 72.0;
    if (width <= 0 || height <= 0)
        return dpi;
    double scale = 1.0;
    if (width * height > kMaxPixels)
        scale = std::sqrt(kMaxPixels / (width * height));
    scale = std::min({ scale, kMaxSide / width, kMaxSide / height });
    return dpi * scale;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) int GetPdfPageCount(
    const char *pdfPath, const char *password)
{
    try {
        int code = QVPDF_OK;
        const std::unique_ptr<Poppler::Document> document = openDocument(pdfPath, password, &code);
        if (!document)
            return code;
        return document->numPages();
    } catch (...) {
        return QVPDF_ERR_OPEN;
    }
}

__attribute__((visibility("default"))) int Convert2ImageByPage(
    const char *pdfPath, const char *password, int page, const char *outputPath)
{
    try {
        if (!outputPath || !*outputPath || page < 1)
            return QVPDF_ERR_ARGUMENT;
        const QString target = QString::fromUtf8(outputPath);
        const PageImageWriter::Format format = PageImageWriter::formatForPath(target);
        if (format == PageImageWriter::Format::Unsupported)
            return QVPDF_ERR_ARGUMENT;

        int code = QVPDF_OK;
        const std::unique_ptr<Poppler::Document> document = openDocument(pdfPath, password, &code);
        if (!document)
            return code;
        if (page > document->numPages())
            return QVPDF_ERR_ARGUMENT;
        document->setRenderBackend(Poppler::Document::SplashBackend);
        document->setRenderHint(Poppler::Document::Antialiasing, true);
        document->setRenderHint(Poppler::Document::TextAntialiasing, true);
        const std::unique_ptr<Poppler::Page> pdfPage(document->page(page - 1));
        if (!pdfPage)
            return QVPDF_ERR_RENDER;

        const double dpi = renderDpiFor(pdfPage->pageSizeF());
        QImage image = pdfPage->renderToImage(dpi, dpi);
        if (image.isNull())
            return QVPDF_ERR_RENDER;
        const int dotsPerMeter = qRound(dpi / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return PageImageWriter::writeImage(image, format, target) ? QVPDF_OK : QVPDF_ERR_WRITE;
    } catch (...) {
        return QVPDF_ERR_RENDER;
    }
}

} // extern "C"
