#include "OnlineViewTesting.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QPainter>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>

#include "ServiceSignIn.h"
#include "TestUtils.h"
#include "account/KAccoutManager.h"
#include "online/BundledService.h"
#include "widgets/KMessageTips.h"

namespace OnlineViewTesting {

QString startServiceAndLogIn(QString *error)
{
    static QTemporaryDir data;
    static BundledService *service = nullptr;
    static QString url;
    if (!url.isEmpty())
        return url;
    if (!service)
        service = new BundledService(qApp);
    url = service->ensureRunning(QStringLiteral(QUORVEL_SERVICE_EXE), data.path(), 30000);
    if (url.isEmpty()) {
        *error = service->errorString();
        return QString();
    }
    qputenv("QUORVEL_SERVICE_URL", url.toUtf8());
    const QString login = signInOnService(url, QStringLiteral("Tester"));
    if (login.isEmpty()) {
        *error = QStringLiteral("the service's sign-in pages gave no login result");
        url.clear();
        return QString();
    }
    KAccoutManager *account = KAccoutManager::instance();
    QSignalSpy logined(account, &KAccoutManager::logined);
    account->onLoginResult(login);
    if (!account->isLoggedIn() && !logined.wait(15000)) {
        *error = QStringLiteral("the account manager did not log in");
        url.clear();
        return QString();
    }
    return url;
}

QImage renderedWords(const QString &words, const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(qMax(20, size.height() / 3));
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(image.rect().adjusted(30, 0, -30, 0), Qt::AlignVCenter | Qt::AlignLeft, words);
    return image;
}

QImage noiseImage(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = 0xFF000000u | (random.generate() & 0xFFFFFFu);
    }
    return image;
}

KMessageTips *visibleTips(QWidget *owner, int timeoutMs)
{
    KMessageTips *found = nullptr;
    TestUtils::waitUntil(
        [&] {
            for (KMessageTips *tips : owner->findChildren<KMessageTips *>()) {
                if (tips->isVisible()) {
                    found = tips;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

void screenshot(QWidget *widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    widget->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace OnlineViewTesting
