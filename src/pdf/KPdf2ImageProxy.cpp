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
    static_assert(int(NeedsPassword) == int(QVPDF_ERR_PASSWORD)
            && int(CannotOpen) == int(QVPDF_ERR_OPEN) && int(CannotWrite) == int(QVPDF_ERR_WRITE)
            && int(NoSpace) == int(QVPDF_ERR_NO_SPACE) && int(Exists) == int(QVPDF_ERR_EXISTS),
        "renderer codes");
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

QString KPdf2ImageProxy::errorText(int result)
{
    switch (result) {
    case NeedsPassword:
        return QStringLiteral("the PDF is protected by a password");
    case CannotOpen:
        return QStringLiteral("cannot be opened as a PDF: damaged or not a PDF");
    case CannotRender:
        return QStringLiteral("the page could not be rendered");
    case CannotWrite:
        return QStringLiteral("the page image could not be written");
    case NoSpace:
        return QStringLiteral("no space left on the device");
    case Exists:
        return QStringLiteral("a file of that name appeared meanwhile and was kept");
    case BadArgument:
        return QStringLiteral("no such page");
    case NoRenderer:
        return QStringLiteral("the PDF renderer (libqvpdfrender.so) is missing");
    default:
        return result < 0 ? QStringLiteral("the PDF renderer failed (%1)").arg(result) : QString();
    }
}

int KPdf2ImageProxy::pageCount(const QString &path, const QString &second) const
{
    if (!m_pageCount)
        return NoRenderer;
    if (path.isEmpty())
        return BadArgument;
    const QByteArray file = QFile::encodeName(path);
    const QByteArray password = second.toUtf8();
    return m_pageCount(file.constData(), password.constData());
}

int KPdf2ImageProxy::convertPage(
    const QString &path, const QString &second, int page, const QString &outputPath) const
{
    if (!m_convertPage)
        return NoRenderer;
    if (path.isEmpty() || outputPath.isEmpty())
        return BadArgument;
    const QByteArray file = QFile::encodeName(path);
    const QByteArray password = second.toUtf8();
    const QByteArray output = QFile::encodeName(outputPath);
    const int result
        = m_convertPage(file.constData(), password.constData(), page, output.constData());
    return result >= 0 ? Ok : result;
}

KPdf2ImageProxy::Document::Document(
    const KPdf2ImageProxy *proxy, const QString &path, const QString &second)
    : m_proxy(proxy)
{
    if (!proxy->m_open || !proxy->m_renderPage || !proxy->m_close)
        return;
    m_openResult = BadArgument;
    if (path.isEmpty())
        return;
    const QByteArray file = QFile::encodeName(path);
    const QByteArray password = second.toUtf8();
    m_openResult = CannotOpen;
    m_handle = proxy->m_open(file.constData(), password.constData(), &m_openResult);
    if (m_handle)
        m_openResult = Ok;
    else if (m_openResult >= 0)
        m_openResult = CannotOpen;
}

KPdf2ImageProxy::Document::~Document()
{
    if (m_handle)
        m_proxy->m_close(m_handle);
}

int KPdf2ImageProxy::Document::pageCount() const
{
    return m_handle ? m_proxy->m_documentPageCount(m_handle) : m_openResult;
}

bool KPdf2ImageProxy::Document::renderPage(
    int page, const QString &outputPath, QString *error) const
{
    int result = m_openResult;
    if (m_handle) {
        const QByteArray output = QFile::encodeName(outputPath);
        result = m_proxy->m_renderPage(m_handle, page, output.constData());
    }
    if (result >= 0)
        return true;
    if (error)
        *error = result == BadArgument ? QStringLiteral("the document has no page %1").arg(page)
            : result == CannotRender   ? QStringLiteral("page %1 could not be rendered").arg(page)
                                       : errorText(result);
    return false;
}
