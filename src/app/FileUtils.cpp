#include "FileUtils.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace {

QString stemOf(const QString &name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
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

// Creates path exclusively. Returns 0 on success, otherwise errno.
int createExclusive(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

} // namespace

QString uniqueFilePath(const QString &dir, const QString &name, const QString &ext)
{
    const QString stem = stemOf(name);
    for (int n = 0;; ++n) {
        const QString candidate = candidatePath(dir, stem, ext, n);
        if (!isRegularFile(candidate))
            return candidate;
    }
}

QString reserveUniqueFilePath(const QString &dir, const QString &name, const QString &ext)
{
    const QString stem = stemOf(name);
    for (int n = 0;; ++n) {
        const QString candidate = candidatePath(dir, stem, ext, n);
        if (isRegularFile(candidate))
            continue;
        const int error = createExclusive(candidate);
        if (error == 0)
            return candidate;
        // EEXIST: somebody took it (or a folder/other entry has that name) - try the next.
        if (error != EEXIST && error != EISDIR)
            return QString();
        if (n > 1000000)
            return QString();
    }
}

QString uniqueDirPath(const QString &dir, const QString &name)
{
    QDir().mkpath(dir);
    QString candidate = dir + QLatin1Char('/') + name;
    for (int n = 1;; ++n) {
        if (!QFileInfo(candidate).isDir()) {
            if (QDir().mkdir(candidate))
                return candidate;
            // Lost a race for the folder: look further. Any other failure
            // (a file of that name, no permission) returns the path as it is.
            if (!QFileInfo(candidate).isDir())
                return candidate;
        }
        candidate = QStringLiteral("%1/%2(%3)").arg(dir, name, QString::number(n));
    }
}

QString siblingTempPath(const QString &target)
{
    const QFileInfo info(target);
    const QString suffix = info.suffix();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString token = QString::number(QRandomGenerator::global()->generate64(), 36);
        QString path = info.absolutePath() + QStringLiteral("/.") + info.completeBaseName()
            + QStringLiteral(".part-") + token;
        if (!suffix.isEmpty())
            path += QLatin1Char('.') + suffix;
        const int error = createExclusive(path);
        if (error == 0)
            return path;
        if (error != EEXIST)
            return QString();
    }
    return QString();
}

bool replaceFile(const QString &from, const QString &to)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    QFile::remove(from);
    return false;
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    const QString temp = siblingTempPath(path);
    if (temp.isEmpty())
        return false;
    QFile file(temp);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()
        || !file.flush()) {
        file.close();
        QFile::remove(temp);
        return false;
    }
    file.close();
    return replaceFile(temp, path);
}
