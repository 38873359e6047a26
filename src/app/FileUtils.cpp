#include "FileUtils.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>

namespace {

QString stemOf(const QString &name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

bool entryExists(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

bool isRegularFile(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

QString candidatePath(const QString &dir, const QString &stem, const QString &ext, int n)
{
    if (n == 0)
        return dir + QLatin1Char('/') + stem + QLatin1Char('.') + ext;
    return QStringLiteral("%1/%2(%3).%5").arg(dir, stem, QString::number(n), ext);
}

void setError(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
}

// Names handed out by reserveUniqueFilePath and not yet put in place or
// given back, and the folders already cleaned of stale temporary files.
struct Reservations
{
    QMutex mutex;
    QSet<QString> names;
    QSet<QString> cleanedDirs;
};

Reservations &reservations()
{
    static Reservations r;
    return r;
}

// ".qv-" + 8 hex digits of the process id + "-" + 12 random base-36 digits
// + ".part", then the target's suffix.
const QRegularExpression &tempNamePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\.qv-([0-9a-f]{8})-[0-9a-z]{12}\\.part(\\.[^./]{1,8})?$"));
    return pattern;
}

QString randomToken()
{
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    QString token(12, QLatin1Char('0'));
    for (int i = 0; i < 12; ++i)
        token[i] = QLatin1Char(digits[QRandomGenerator::global()->bounded(36)]);
    return token;
}

// Links from to the free name to without ever replacing a file there.
// Returns 0 or errno.
int linkWithoutReplacing(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    // File systems without RENAME_NOREPLACE: a hard link fails on an
    // existing name just the same.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP)
        return errno;
    // No hard links either (FAT): the narrow window between the check and
    // the rename is all that is left.
    struct stat st;
    if (::lstat(to.constData(), &st) == 0)
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

} // namespace

QString fileErrorReason(int errnoValue)
{
    switch (errnoValue) {
    case ENOSPC:
        return QStringLiteral("no space left on the device");
    case EDQUOT:
        return QStringLiteral("the disk quota is used up");
    case EROFS:
        return QStringLiteral("the folder is on a read-only file system");
    case EACCES:
    case EPERM:
        return QStringLiteral("no permission to write there");
    case ENAMETOOLONG:
        return QStringLiteral("the file name is too long for this file system");
    case EFBIG:
        return QStringLiteral("the file is too large for this file system");
    case EIO:
        return QStringLiteral("the device reported an input/output error");
    case EEXIST:
        return QStringLiteral("a file of that name appeared meanwhile and was kept");
    default:
        return QString::fromLocal8Bit(strerror(errnoValue));
    }
}

bool isTempFileName(const QString &fileName)
{
    return tempNamePattern().match(fileName).hasMatch();
}

int removeStaleTempFiles(const QString &dir)
{
    const QDir folder(dir);
    const QStringList names
        = folder.entryList({ QStringLiteral(".qv-*") }, QDir::Files | QDir::Hidden | QDir::System);
    const QDateTime dayAgo = QDateTime::currentDateTimeUtc().addDays(-1);
    int removed = 0;
    for (const QString &name : names) {
        const QRegularExpressionMatch match = tempNamePattern().match(name);
        if (!match.hasMatch())
            continue;
        const pid_t pid = pid_t(match.captured(1).toUInt(nullptr, 16));
        const bool writerGone = pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH;
        const QFileInfo info(folder.filePath(name));
        if ((writerGone || info.lastModified().toUTC() < dayAgo) && QFile::remove(info.filePath()))
            ++removed;
    }
    return removed;
}

QString uniqueFilePath(const QString &dir, const QString &name, const QString &ext)
{
    const QString stem = stemOf(name);
    for (int n = 0;; ++n) {
        const QString candidate = candidatePath(dir, stem, ext, n);
        if (!isRegularFile(candidate))
            return candidate;
    }
}

QString fileErrorText(int errnoValue, const QString &path)
{
    switch (errnoValue) {
    case ENOSPC:
    case EDQUOT:
        return fileErrorReason(errnoValue);
    case EACCES:
    case EPERM:
        return QStringLiteral("permission denied: %1").arg(path);
    case EROFS:
        return QStringLiteral("%1 is on a read-only disk").arg(path);
    case ENOENT:
        return QStringLiteral("%1 does not exist").arg(path);
    case ENOTDIR:
        return QStringLiteral("%1 is not a folder").arg(path);
    case ENAMETOOLONG:
        return QStringLiteral("the name is too long: %1").arg(path);
    default:
        return QStringLiteral("%1: %2").arg(
            path, QString::fromLocal8Bit(std::strerror(errnoValue)));
    }
}

QString folderWriteProblem(const QString &dir)
{
    const QByteArray native = QFile::encodeName(dir);
    if (::access(native.constData(), W_OK | X_OK) != 0)
        return fileErrorText(errno, dir);
    struct statvfs fs;
    if (::statvfs(native.constData(), &fs) == 0) {
        if (fs.f_flag & ST_RDONLY)
            return fileErrorText(EROFS, dir);
        // Less than a block or two left counts as full.
        if (fs.f_bavail < 2 || (fs.f_files > 0 && fs.f_favail == 0))
            return fileErrorText(ENOSPC, dir);
    }
    return QString();
}

QString reserveUniqueFilePath(
    const QString &dir, const QString &name, const QString &ext, QString *error)
{
    const QFileInfo folder(dir);
    if (!folder.isDir()) {
        setError(error, QStringLiteral("the output folder %1 does not exist").arg(dir));
        return QString();
    }
    if (::access(QFile::encodeName(dir).constData(), W_OK | X_OK) != 0) {
        setError(error, fileErrorReason(errno));
        return QString();
    }
    Reservations &r = reservations();
    const QString stem = stemOf(name);
    QMutexLocker lock(&r.mutex);
    const QString canonicalDir = folder.canonicalFilePath();
    if (!r.cleanedDirs.contains(canonicalDir)) {
        r.cleanedDirs.insert(canonicalDir);
        removeStaleTempFiles(dir);
    }
    for (int n = 0; n <= 1000000; ++n) {
        const QString candidate = candidatePath(dir, stem, ext, n);
        // Any entry blocks a name (a folder, a dangling link); so does a
        // reservation of another writer in this process.
        if (r.names.contains(candidate) || entryExists(candidate))
            continue;
        r.names.insert(candidate);
        return candidate;
    }
    setError(error, QStringLiteral("no free file name left"));
    return QString();
}

void releaseReservedPath(const QString &path)
{
    Reservations &r = reservations();
    QMutexLocker lock(&r.mutex);
    r.names.remove(path);
}

QString uniqueDirPath(const QString &dir, const QString &name, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = QStringLiteral("cannot create the output folder: %1").arg(why);
        return QString();
    };
    if (dir.isEmpty())
        return fail(QStringLiteral("no folder was chosen"));
    if (!QFileInfo(dir).isDir()) {
        // mkpath does not say why; the parent chain does.
        if (!QDir().mkpath(dir)) {
            QString existing = dir;
            while (!existing.isEmpty() && !QFileInfo::exists(existing))
                existing = QFileInfo(existing).path();
            if (QFileInfo(existing).isDir())
                return fail(fileErrorText(QFileInfo(existing).isWritable() ? EIO : EACCES, dir));
            return fail(fileErrorText(ENOTDIR, existing));
        }
    }
    for (int n = 0; n < 1000000; ++n) {
        const QString candidate = n == 0
            ? dir + QLatin1Char('/') + name
            : QStringLiteral("%1/%2(%3)").arg(dir, name, QString::number(n));
        // Any entry of that name (a folder, a plain file, a link) is passed
        // by; mkdir itself is the test, so a race for the name is lost safely.
        const QByteArray native = QFile::encodeName(candidate);
        if (::mkdir(native.constData(), 0755) == 0)
            return candidate;
        const int code = errno;
        if (code != EEXIST)
            return fail(fileErrorText(code, code == ENAMETOOLONG ? candidate : dir));
    }
    return fail(QStringLiteral("no free folder name left in %1").arg(dir));
}

QString siblingTempPath(const QString &target, QString *error)
{
    const QFileInfo info(target);
    QString suffix = info.suffix();
    if (suffix.size() > 8 || suffix.contains(QLatin1Char('/')))
        suffix.clear();
    const QString prefix = info.absolutePath()
        + QStringLiteral("/.qv-%1-").arg(uint(::getpid()), 8, 16, QLatin1Char('0'));
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString path = prefix + randomToken() + QStringLiteral(".part");
        if (!suffix.isEmpty())
            path += QLatin1Char('.') + suffix;
        const QByteArray native = QFile::encodeName(path);
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) {
            setError(error, fileErrorReason(errno));
            return QString();
        }
    }
    setError(error, QStringLiteral("no free temporary name"));
    return QString();
}

bool replaceFile(const QString &from, const QString &to, QString *error)
{
    const QByteArray nativeFrom = QFile::encodeName(from);
    const QByteArray nativeTo = QFile::encodeName(to);
    Reservations &r = reservations();
    bool reserved;
    {
        QMutexLocker lock(&r.mutex);
        reserved = r.names.contains(to);
    }
    int result;
    if (reserved || !entryExists(to))
        result = linkWithoutReplacing(nativeFrom, nativeTo);
    else
        result = ::rename(nativeFrom.constData(), nativeTo.constData()) == 0 ? 0 : errno;
    // Given back only now that the file is there: until then another
    // writer could be handed the same, still free, name.
    if (reserved) {
        QMutexLocker lock(&r.mutex);
        r.names.remove(to);
    }
    if (result == 0)
        return true;
    ::unlink(nativeFrom.constData());
    setError(error, fileErrorReason(result));
    return false;
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    const QString temp = siblingTempPath(path, error);
    if (temp.isEmpty())
        return false;
    const QByteArray native = QFile::encodeName(temp);
    const int fd = ::open(native.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    int failure = fd < 0 ? errno : 0;
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (failure == 0 && left > 0) {
        const ssize_t n = ::write(fd, data, size_t(qMin<qint64>(left, 1 << 20)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure = n < 0 ? errno : EIO;
            break;
        }
        data += n;
        left -= n;
    }
    // Some file systems (NFS, FUSE) only report a full disk when the file
    // is closed.
    if (fd >= 0 && ::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure != 0) {
        ::unlink(native.constData());
        setError(error, fileErrorReason(failure));
        return false;
    }
    return replaceFile(temp, path, error);
}
