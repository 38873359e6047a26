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

// True when the two colours differ by at most tolerance per channel.
bool colourNear(QRgb a, QRgb b, int tolerance);

// Waits until predicate() holds, processing events; false on timeout.
bool waitUntil(const std::function<bool()> &predicate, int timeoutMs = 10000);

// Names of the regular, non-hidden files in dir, sorted.
QStringList fileNames(const QString &dir);

// Running as root: permission bits do not stop writes.
bool isRoot();

// A PNG whose header (with a valid checksum) announces width x height and
// that holds nothing else.
QByteArray pngHeaderOnly(quint32 width, quint32 height);

} // namespace TestUtils
