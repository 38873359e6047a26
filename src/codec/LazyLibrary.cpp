#include "LazyLibrary.h"

#include <cstdio>
#include <cstdlib>

#include <dlfcn.h>

#include <QFile>

#include "app/AppPaths.h"

LazyLibrary::LazyLibrary(const QByteArray &fileName, const QString &what)
    : m_fileName(fileName)
    , m_what(what)
{
}

QByteArray LazyLibrary::ownLibraryPath(const QString &fileName)
{
    const QString path = ownFilePath(fileName);
    return QFile::encodeName(path.isEmpty() ? appDir() + QLatin1Char('/') + fileName : path);
}

bool LazyLibrary::load(QString *why)
{
    std::call_once(m_once, [this] {
        // Local binding: the library's symbols stay out of the global scope,
        // where they would meet the functions of the same names defined here.
        m_handle = ::dlopen(m_fileName.constData(), RTLD_NOW | RTLD_LOCAL);
        if (!m_handle) {
            const char *reason = ::dlerror();
            m_error = QStringLiteral("%1 is not installed or cannot be loaded (%2)")
                          .arg(m_what,
                              reason ? QString::fromLocal8Bit(reason)
                                     : QString::fromLocal8Bit(m_fileName));
        }
    });
    if (!m_handle && why)
        *why = m_error;
    return m_handle != nullptr;
}

void *LazyLibrary::function(const char *name)
{
    QString why;
    void *address = load(&why) ? ::dlsym(m_handle, name) : nullptr;
    if (!address) {
        if (why.isEmpty())
            why = QStringLiteral("%1 has no function %2")
                      .arg(QString::fromLocal8Bit(m_fileName), QString::fromLatin1(name));
        std::fprintf(stderr, "quorvel: %s\n", why.toLocal8Bit().constData());
        std::abort();
    }
    return address;
}
