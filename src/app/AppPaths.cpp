#include "AppPaths.h"

#include <mutex>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString executablePath()
{
    // /proc/self/exe names the executable even when it was started through a
    // relative path or a symlink, and does not depend on the working directory.
    const QString target = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    return target;
}

} // namespace

QString appDir()
{
    static std::mutex mutex;
    static QString dir;
    std::lock_guard<std::mutex> lock(mutex);
    if (dir.isEmpty()) {
        const QString exe = executablePath();
        if (!exe.isEmpty())
            dir = QFileInfo(exe).absoluteDir().absolutePath();
    }
    return dir;
}

QString resDir()
{
    static const QString dir = appDir() + QDir::separator() + QStringLiteral("res");
    return dir;
}

QString ownFilePath(const QString &name)
{
    const QString dir = appDir();
    if (dir.isEmpty())
        return QString();
    const QStringList candidates { dir + QLatin1Char('/') + name,
        dir + QStringLiteral("/../") + name };
    for (const QString &candidate : candidates) {
        const QFileInfo info(candidate);
        if (info.isFile())
            return info.canonicalFilePath();
    }
    return QString();
}
