#pragma once

#include <functional>

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QObject>
#include <QSignalSpy>
#include <QString>
#include <QTemporaryDir>

// Small helpers shared by the tests: sandboxes, fixture makers, waiting.
namespace TestUtils {

// Folder of committed fixtures (tests/data).
QString dataDir();

// Writes bytes to dir/name and returns the path (fails the test on error via QVERIFY in callers).
QString writeFile(const QString &dir, const QString &name, const QByteArray &bytes);

// An image of the given size split into four coloured quadrants (red, green,
// blue, white from top-left clockwise), so orientation can be checked by pixels.
QImage quadrantImage(int width, int height, QImage::Format format = QImage::Format_RGB32);

// Same, but the right half is fully transparent.
QImage halfTransparentImage(int width, int height);

// A photo-like picture: smooth gradients plus noise (fixed seed), so that
// JPEG sizes follow the quality and a cut-off file really misses pixels.
QImage photoLikeImage(int width, int height);

// Why a decoded copy of halfTransparentImage() is wrong, empty when it is
// right: the opaque half keeps its colour, the transparent half stays
// transparent (keepsAlpha) or lies on white.
QString halfTransparentMismatch(const QImage &decoded, bool keepsAlpha);

// True when the two colours differ by at most tolerance per channel.
bool colourNear(QRgb a, QRgb b, int tolerance);

// Runs write with files limited to bytes (the process's file size limit,
// whose short writes are what a full disk gives) and returns its result;
// the limit is lifted again afterwards.
bool underFileSizeLimit(qint64 bytes, const std::function<bool()> &write);

// Waits until predicate() holds, processing events; false on timeout.
bool waitUntil(const std::function<bool()> &predicate, int timeoutMs = 10000);

// Names of the regular, non-hidden files in dir, sorted.
QStringList fileNames(const QString &dir);

// Names of every file in dir, hidden ones included, sorted: all that a run
// left behind there.
QStringList allFiles(const QString &dir);

// The whole content of a file; empty when it cannot be read.
QByteArray readFile(const QString &path);

// Running as root: permission bits do not stop writes.
bool isRoot();

// A PNG whose header (with a valid checksum) announces width x height and
// that holds nothing else.
QByteArray pngHeaderOnly(quint32 width, quint32 height);

// Makes an existing folder unwritable for the life of the object: a small
// read-only tmpfs is mounted on it when running as root (whom permission bits
// do not stop), its write permission is taken away otherwise. Undone when
// destroyed. isReadOnly() says whether that worked.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString &dir);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder &) = delete;
    ReadOnlyFolder &operator=(const ReadOnlyFolder &) = delete;

    bool isReadOnly() const { return m_readOnly; }
    // Part of the reason the program gives for a write refused here: a
    // read-only file system, or missing permission.
    QString refusal() const
    {
        return m_mounted ? QStringLiteral("read-only") : QStringLiteral("no permission");
    }

private:
    QString m_dir;
    bool m_mounted = false;
    bool m_readOnly = false;
};

} // namespace TestUtils
