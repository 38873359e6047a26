#include "KPdf2ImageProxy.h"

#include <type_traits>

#include <QByteArray>

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
    m_loaded = true;
    // The library's own declarations must keep matching what is called here.
    static_assert(std::is_same<PageCountFn, QvGetPdfPageCountFn>::value, "GetPdfPageCount");
    static_assert(
        std::is_same<ConvertPageFn, QvConvert2ImageByPageFn>::value, "Convert2ImageByPage");
    static_assert(int(NeedsPassword) == int(QVPDF_ERR_PASSWORD)
            && int(CannotOpen) == int(QVPDF_ERR_OPEN) && int(CannotWrite) == int(QVPDF_ERR_WRITE),
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
    const QByteArray file = path.toUtf8();
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
    const QByteArray file = path.toUtf8();
    const QByteArray password = second.toUtf8();
    const QByteArray output = outputPath.toUtf8();
    const int result
        = m_convertPage(file.constData(), password.constData(), page, output.constData());
    return result >= 0 ? Ok : result;
}
