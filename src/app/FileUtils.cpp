#include "FileUtils.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QUrl>

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

QString fileErrorText(int errnoValue, const QString &path)
{
    switch (errnoValue) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("the disk is full");
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
    const QString stem = stemOf(name);
    for (int n = 0;; ++n) {
        const QString candidate = candidatePath(dir, stem, ext, n);
        if (isRegularFile(candidate))
            continue;
        const int code = createExclusive(candidate);
        if (code == 0)
            return candidate;
        // EEXIST: somebody took it (or a folder/other entry has that name) - try the next.
        if (code != EEXIST && code != EISDIR) {
            if (error)
                *error = fileErrorText(code, dir);
            return QString();
        }
        if (n > 1000000) {
            if (error)
                *error = QStringLiteral("no free file name left in %1").arg(dir);
            return QString();
        }
    }
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

bool replaceFile(const QString &from, const QString &to, QString *error)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    if (error)
        *error = fileErrorText(errno, QFileInfo(to).path());
    QFile::remove(from);
    return false;
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    const QString folder = QFileInfo(path).path();
    errno = 0;
    const QString temp = siblingTempPath(path);
    if (temp.isEmpty()) {
        if (error)
            *error = fileErrorText(errno ? errno : EACCES, folder);
        return false;
    }
    // Written with plain calls so that the reason (a full disk above all)
    // is the system's own.
    const QByteArray native = QFile::encodeName(temp);
    const int fd = ::open(native.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    int code = fd < 0 ? errno : 0;
    qint64 done = 0;
    while (code == 0 && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno != EINTR)
                code = errno;
            continue;
        }
        done += n;
    }
    if (fd >= 0) {
        if (code == 0 && ::fsync(fd) != 0 && errno != EINVAL)
            code = errno;
        if (::close(fd) != 0 && code == 0)
            code = errno;
    }
    if (code != 0) {
        ::unlink(native.constData());
        if (error)
            *error = fileErrorText(code, folder);
        return false;
    }
    return replaceFile(temp, path, error);
}

void openFile(const QString &path)
{
    if (path.isEmpty())
        return;
    // fromLocalFile percent-encodes "#" and friends, so the launcher never
    // reads part of the path as a fragment.
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void revealInFolder(const QString &path)
{
    if (path.isEmpty())
        return;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QDBusMessage call
        = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList { QUrl::fromLocalFile(absolute).toString() } << QString();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(absolute).absolutePath()));
}

QPixmap roundedIcon(const QIcon &icon, int radius)
{
    const QSize size(2 * radius, 2 * radius);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (radius <= 0)
        return QPixmap::fromImage(image);

    QImage mask(size, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::black);
    {
        QPainter painter(&mask);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        QPainterPath circle;
        circle.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), radius, radius);
        painter.fillPath(circle, Qt::transparent);
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(0, 0, mask);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOut);
    painter.drawPixmap(
        0, 0, icon.pixmap(size).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    painter.end();
    return QPixmap::fromImage(image);
}
