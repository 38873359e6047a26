#include "TestUtils.h"

#include <csignal>

#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

namespace TestUtils {

QString dataDir() { return QString::fromLocal8Bit(qgetenv("QUORVEL_TEST_DATA")); }

QString writeFile(const QString &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = QDir(dir).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

QImage quadrantImage(int width, int height, QImage::Format format)
{
    QImage image(width, height, format);
    QPainter painter(&image);
    const int hw = width / 2, hh = height / 2;
    painter.fillRect(0, 0, hw, hh, Qt::red);
    painter.fillRect(hw, 0, width - hw, hh, Qt::green);
    painter.fillRect(hw, hh, width - hw, height - hh, Qt::blue);
    painter.fillRect(0, hh, hw, height - hh, Qt::white);
    return image;
}

QImage halfTransparentImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(QColor(200, 30, 30));
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = width / 2; x < width; ++x)
            line[x] = qRgba(0, 0, 0, 0);
    }
    return image;
}

QImage photoLikeImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator rng(7);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int n = int(rng.bounded(40)) - 20;
            line[x]
                = qRgb(qBound(0, x * 255 / width + n, 255), qBound(0, y * 255 / height + n, 255),
                    qBound(0, (x + y) * 128 / (width + height) + 60 + n, 255));
        }
    }
    return image;
}

QString halfTransparentMismatch(const QImage &decoded, bool keepsAlpha)
{
    if (decoded.isNull())
        return QStringLiteral("no picture");
    const QImage argb = decoded.convertToFormat(QImage::Format_ARGB32);
    const int y = argb.height() / 2;
    const QRgb shown = argb.pixel(argb.width() / 8, y);
    const QRgb hidden = argb.pixel(argb.width() * 7 / 8, y);
    if (!colourNear(shown, qRgb(200, 30, 30), 12))
        return QStringLiteral("opaque half is #%1").arg(shown, 8, 16, QLatin1Char('0'));
    if (keepsAlpha ? qAlpha(hidden) != 0 : !colourNear(hidden, qRgb(255, 255, 255), 6))
        return QStringLiteral("transparent half is #%1").arg(hidden, 8, 16, QLatin1Char('0'));
    return QString();
}

bool underFileSizeLimit(qint64 bytes, const std::function<bool()> &write)
{
    struct rlimit saved;
    if (getrlimit(RLIMIT_FSIZE, &saved) != 0)
        return write();
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = rlim_t(bytes);
    const bool limited = setrlimit(RLIMIT_FSIZE, &small) == 0;
    const bool result = write();
    if (limited)
        setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    return result;
}

bool colourNear(QRgb a, QRgb b, int tolerance)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance
        && qAbs(qBlue(a) - qBlue(b)) <= tolerance && qAbs(qAlpha(a) - qAlpha(b)) <= tolerance;
}

bool waitUntil(const std::function<bool()> &predicate, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!predicate()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

QStringList fileNames(const QString &dir) { return QDir(dir).entryList(QDir::Files, QDir::Name); }

QStringList allFiles(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool isRoot() { return ::geteuid() == 0; }

QByteArray pngHeaderOnly(quint32 width, quint32 height)
{
    QByteArray ihdr("IHDR");
    for (quint32 v : { width, height })
        for (int shift = 24; shift >= 0; shift -= 8)
            ihdr.append(char((v >> shift) & 0xff));
    ihdr.append("\x08\x06\x00\x00\x00", 5);
    quint32 crc = 0xffffffffu; // CRC-32 of the chunk type and data
    for (const char byte : ihdr) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    crc ^= 0xffffffffu;
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    png.append("\x00\x00\x00\x0d", 4);
    png.append(ihdr);
    for (int shift = 24; shift >= 0; shift -= 8)
        png.append(char((crc >> shift) & 0xff));
    png.append(QByteArray("\x00\x00\x00\x00IEND\xae\x42\x60\x82", 12));
    return png;
}

ReadOnlyFolder::ReadOnlyFolder(const QString &dir)
    : m_dir(dir)
{
    if (isRoot()) {
        m_mounted = QProcess::execute(QStringLiteral("mount"),
                        { QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                            QStringLiteral("size=64k,ro"), QStringLiteral("tmpfs"), dir })
            == 0;
        m_readOnly = m_mounted;
    } else {
        m_readOnly = QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
    }
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (m_mounted)
        QProcess::execute(QStringLiteral("umount"), { m_dir });
    else if (m_readOnly)
        QFile::setPermissions(m_dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace TestUtils
