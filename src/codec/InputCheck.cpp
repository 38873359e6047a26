#include "InputCheck.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

namespace {

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    return QStringLiteral("not a file");
}

QString errnoText(int error) { return QString::fromLocal8Bit(strerror(error)); }

} // namespace

namespace InputCheck {

QString regularFileProblem(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat before;
    if (::stat(native.constData(), &before) != 0)
        return errno == ENOENT ? QStringLiteral("no such file")
                               : QStringLiteral("cannot be read: ") + errnoText(errno);
    if (!S_ISREG(before.st_mode))
        return QStringLiteral("not a regular file (%1)").arg(kindOf(before.st_mode));
    // The entry may have changed since; what the descriptor shows counts.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return QStringLiteral("cannot be read: ") + errnoText(errno);
    struct stat opened;
    const bool regular = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode);
    ::close(fd);
    if (!regular)
        return QStringLiteral("not a regular file (%1)").arg(kindOf(opened.st_mode));
    return QString();
}

} // namespace InputCheck
