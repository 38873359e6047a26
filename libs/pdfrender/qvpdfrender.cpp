#include "qvpdfrender.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <memory>
#include <mutex>

#include <poppler-qt5.h>

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QSizeF>
#include <QString>

#include "PageImageWriter.h"

// Each call opens its own Poppler::Document and renders with its own output
// device, so calls from the interface thread and a worker thread may
// overlap. The one exception is the first page drawn in the process:
// poppler makes its shared sRGB colour profile then, without a lock, and two
// first drawings at once race on it (a lost profile was the least of it). That
// first drawing is done alone.

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
    const QString path = QFile::decodeName(QByteArray(pdfPath));
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

int writeResult(int failure)
{
    switch (failure) {
    case 0:
        return QVPDF_OK;
    case ENOSPC:
    case EDQUOT:
        return QVPDF_ERR_NO_SPACE;
    case EEXIST:
        return QVPDF_ERR_EXISTS;
    default:
        return QVPDF_ERR_WRITE;
    }
}

QImage renderImage(Poppler::Page *page, double dpi)
{
    static std::atomic_bool drawnOnce { false };
    if (drawnOnce.load(std::memory_order_acquire))
        return page->renderToImage(dpi, dpi);
    static std::mutex first;
    const std::lock_guard<std::mutex> lock(first);
    QImage image = page->renderToImage(dpi, dpi);
    drawnOnce.store(true, std::memory_order_release);
    return image;
}

int renderPage(Poppler::Document *document, int page, const char *outputPath)
{
    if (!outputPath || !*outputPath || page < 1 || page > document->numPages())
        return QVPDF_ERR_ARGUMENT;
    const QString target = QFile::decodeName(QByteArray(outputPath));
    const PageImageWriter::Format format = PageImageWriter::formatForPath(target);
    if (format == PageImageWriter::Format::Unsupported)
        return QVPDF_ERR_ARGUMENT;
    const std::unique_ptr<Poppler::Page> pdfPage(document->page(page - 1));
    if (!pdfPage)
        return QVPDF_ERR_RENDER;
    const double dpi = renderDpiFor(pdfPage->pageSizeF());
    QImage image = renderImage(pdfPage.get(), dpi);
    if (image.isNull())
        return QVPDF_ERR_RENDER;
    const int dotsPerMeter = qRound(dpi / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    return writeResult(PageImageWriter::writeImage(image, format, target));
}

void prepareForRendering(Poppler::Document *document)
{
    document->setRenderBackend(Poppler::Document::SplashBackend);
    document->setRenderHint(Poppler::Document::Antialiasing, true);
    document->setRenderHint(Poppler::Document::TextAntialiasing, true);
}

} // namespace

struct QvPdfDocument
{
    std::unique_ptr<Poppler::Document> document;
};

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
        if (PageImageWriter::formatForPath(QFile::decodeName(QByteArray(outputPath)))
            == PageImageWriter::Format::Unsupported)
            return QVPDF_ERR_ARGUMENT;
        int code = QVPDF_OK;
        const std::unique_ptr<Poppler::Document> document = openDocument(pdfPath, password, &code);
        if (!document)
            return code;
        prepareForRendering(document.get());
        return renderPage(document.get(), page, outputPath);
    } catch (...) {
        return QVPDF_ERR_RENDER;
    }
}

__attribute__((visibility("default"))) QvPdfDocument *QvPdfOpen(
    const char *pdfPath, const char *password, int *result)
{
    try {
        int code = QVPDF_OK;
        std::unique_ptr<Poppler::Document> document = openDocument(pdfPath, password, &code);
        if (!document) {
            if (result)
                *result = code;
            return nullptr;
        }
        prepareForRendering(document.get());
        auto *handle = new QvPdfDocument;
        handle->document = std::move(document);
        if (result)
            *result = QVPDF_OK;
        return handle;
    } catch (...) {
        if (result)
            *result = QVPDF_ERR_OPEN;
        return nullptr;
    }
}

__attribute__((visibility("default"))) int QvPdfPageCount(QvPdfDocument *document)
{
    return document ? document->document->numPages() : QVPDF_ERR_ARGUMENT;
}

__attribute__((visibility("default"))) int QvPdfRenderPage(
    QvPdfDocument *document, int page, const char *outputPath)
{
    if (!document)
        return QVPDF_ERR_ARGUMENT;
    try {
        return renderPage(document->document.get(), page, outputPath);
    } catch (...) {
        return QVPDF_ERR_RENDER;
    }
}

__attribute__((visibility("default"))) void QvPdfClose(QvPdfDocument *document) { delete document; }

} // extern "C"
