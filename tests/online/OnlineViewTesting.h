#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

class KMessageTips;
class QWidget;

// What the online view tests share: the real quorvel-service on a free
// loopback port with its own data folder, a user logged in on it through its
// own pages, rendered pictures of words, and the views' notices.
namespace OnlineViewTesting {

// Starts the service (once per test program), points the program's clients
// at it through QUORVEL_SERVICE_URL and logs a user in through the account
// manager. Returns the base URL, or empty with *error.
QString startServiceAndLogIn(QString *error);

// Black words on white, large enough for clean recognition.
QImage renderedWords(const QString &words, const QSize &size = QSize(900, 120));

// A picture of random noise: a PNG of it barely compresses.
QImage noiseImage(const QSize &size);

// The notice the widget shows now (the visible KMessageTips below it), or
// null when none appears within timeoutMs.
KMessageTips *visibleTips(QWidget *owner, int timeoutMs = 5000);

// Saves widget.grab() as dir/name.png when QUORVEL_SCREENSHOT_DIR is set.
void screenshot(QWidget *widget, const QString &name);

// A loopback port nothing listens on.
quint16 closedPort();

} // namespace OnlineViewTesting
