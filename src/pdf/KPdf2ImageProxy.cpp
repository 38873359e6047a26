#include "KPdf2ImageProxy.h"

#include <type_traits>

#include <QByteArray>
#include <QFile>

#include "app/AppPaths.h"
#include "qvpdfrender.h"

KPdf2ImageProxy *KPdf2ImageProxy::instance()
{
    static KPdf2ImageProxy proxy(defaultLibraryPath());
    return &proxy;
}

KPdf2ImageProxy::KPdf2ImageProxy(const QString &libraryPath, QObject *parent)
    : QObject(parent)
    , m_library(libraryPath)
{
    if (!m_library.load())
        return;
    m_pageCount = reinterpret_cast<PageCountFn>(m_library.resolve("GetPdfPageCount"));
    m_convertPage = reinterpret_cast<ConvertPageFn>(m_library.resolve("Convert2ImageByPage"));
    m_open = reinterpret_cast<QvPdfOpenFn>(m_library.resolve("QvPdfOpen"));
    m_documentPageCount = reinterpret_cast<QvPdfPageCountFn>(m_library.resolve("QvPdfPageCount"));
    m_renderPage = reinterpret_cast<QvPdfRenderPageFn>(m_library.resolve("QvPdfRenderPage"));
    m_close = reinterpret_cast<QvPdfCloseFn>(m_library.resolve("QvPdfClose"));
    m_loaded = true;
    // The library's own declarations must keep matching what is called here.
    static_assert(std::is_same<PageCountFn, QvGetPdfPageCountFn>::value, "GetPdfPageCount");
    static_assert(
        std::is_same<ConvertPageFn, QvConvert2ImageByPageFn>::value, "Convert2ImageByPage");
}

KPdf2ImageProxy::~KPdf2ImageProxy()
{
    if (m_loaded)
        m_library.unload();
}

QString KPdf2ImageProxy::defaultLibraryPath()
{
    return appDir() + QStringLiteral("/libqvpdfrender.so");
}

int KPdf2ImageProxy::pageCount(const QString &path, const QString &second) const
{
    if (!m_pageCount || path.isEmpty())
        return -1;
    const QByteArray file = QFile::encodeName(path);
    const QByteArray password = second.toUtf8();
    return m_pageCount(file.constData(), password.constData());
}

bool KPdf2ImageProxy::convertPage(
    const QString &path, const QString &second, int page, const QString &outputPath) const
{
    if (!m_convertPage || path.isEmpty() || outputPath.isEmpty())
        return false;
    const QByteArray file = QFile::encodeName(path);
    const QByteArray password = second.toUtf8();
    const QByteArray output = QFile::encodeName(outputPath);
    return m_convertPage(file.constData(), password.constData(), page, output.constData()) >= 0;
}

KPdf2ImageProxy::Document::Document(
    const KPdf2ImageProxy *proxy, const QString &path, const QString &second)
    : m_proxy(proxy)
{
    if (!proxy->m_open || !proxy->m_renderPage || !proxy->m_close || path.isEmpty())
        return;
    const QByteArray file = QFile::encodeName(path);
    const QByteArray password = second.toUtf8();
    m_handle = proxy->m_open(file.constData(), password.constData(), nullptr);
}

KPdf2ImageProxy::Document::~Document()
{
    if (m_handle)
        m_proxy->m_close(m_handle);
}

int KPdf2ImageProxy::Document::pageCount() const
{
    return m_handle ? m_proxy->m_documentPageCount(m_handle) : -1;
}

bool KPdf2ImageProxy::Document::renderPage(
    int page, const QString &outputPath, QString *error) const
{
    int result = QVPDF_ERR_OPEN;
    if (m_handle) {
        const QByteArray output = QFile::encodeName(outputPath);
        result = m_proxy->m_renderPage(m_handle, page, output.constData());
    }
    if (result >= 0)
        return true;
    if (error) {
        switch (result) {
        case QVPDF_ERR_NO_SPACE:
            *error = QStringLiteral("no space left on the device");
            break;
        case QVPDF_ERR_EXISTS:
            *error = QStringLiteral("a file of that name appeared meanwhile and was kept");
            break;
        case QVPDF_ERR_WRITE:
            *error = QStringLiteral("the image could not be written");
            break;
        case QVPDF_ERR_RENDER:
            *error = QStringLiteral("page %1 could not be rendered").arg(page);
            break;
        case QVPDF_ERR_ARGUMENT:
            *error = QStringLiteral("the document has no page %1").arg(page);
            break;
        default:
            *error = QStringLiteral("cannot be opened as a PDF");
            break;
        }
    }
    return false;
}
