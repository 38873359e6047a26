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
    const QByteArray file = path.toUtf8();
    const QByteArray password = second.toUtf8();
    return m_pageCount(file.constData(), password.constData());
}

bool KPdf2ImageProxy::convertPage(
    const QString &path, const QString &second, int page, const QString &outputPath) const
{
    if (!m_convertPage || path.isEmpty() || outputPath.isEmpty())
        return false;
    const QByteArray file = path.toUtf8();
    const QByteArray password = second.toUtf8();
    const QByteArray output = outputPath.toUtf8();
    return m_convertPage(file.constData(), password.constData(), page, output.constData()) >= 0;
}
