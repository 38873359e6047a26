#include "RenderFiles.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace RenderFiles {

QString createTempBeside(const QString &target, int *errnoValue)
{
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    const QFileInfo info(target);
    const QString suffix = info.suffix().size() <= 8 ? info.suffix() : QString();
    // The program's own temporary names, so that it clears them away
    // after a run that was killed.
    const QString prefix = info.absolutePath()
        + QStringLiteral("/.qv-%1-").arg(uint(::getpid()), 8, 16, QLatin1Char('0'));
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString token(12, QLatin1Char('0'));
        for (int i = 0; i < 12; ++i)
            token[i] = QLatin1Char(digits[QRandomGenerator::global()->bounded(36)]);
        QString path = prefix + token + QStringLiteral(".part");
        if (!suffix.isEmpty())
            path += QLatin1Char('.') + suffix;
        const int fd = ::open(
            QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) {
            *errnoValue = errno;
            return QString();
        }
    }
    *errnoValue = EEXIST;
    return QString();
}

int linkInPlace(const QString &temp, const QString &target)
{
    const QByteArray from = QFile::encodeName(temp);
    const QByteArray to = QFile::encodeName(target);
    int result = 0;
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) != 0) {
        result = errno;
        if (result == EINVAL || result == ENOSYS || result == ENOTSUP) {
            result = ::link(from.constData(), to.constData()) == 0 ? 0 : errno;
            if (result == 0)
                ::unlink(from.constData());
        }
    }
    if (result != 0)
        ::unlink(from.constData());
    return result;
}

} // namespace RenderFiles
