// The login dialog with the real web engine. Runs on the X display when there
// is one (scripts/test.sh provides Xvfb), otherwise offscreen with software
// rendering.
#include <memory>

#include <QApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrlQuery>
#include <QWebEngineView>
#include <QtTest>

#include "FakeService.h"
#include "TestUtils.h"
#include "account/KAccoutManager.h"
#include "account/ui/KWebView.h"
#include "online/BundledService.h"
#include "online/KvHttp.h"
#include "widgets/KMessageTips.h"

namespace {

QString screenshotDir()
{
    const QString dir = QDir::currentPath() + QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    return dir;
}

// Runs f on the login dialog once its page has loaded (the caller then runs it).
void onLoginDialog(std::function<void(KWebView *)> f)
{
    auto *timer = new QTimer();
    timer->setInterval(50);
    QObject::connect(timer, &QTimer::timeout, [timer, f] {
        auto *view = qobject_cast<KWebView *>(QApplication::activeModalWidget());
        if (!view || !view->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        f(view);
    });
    timer->start();
}

bool waitForPage(KWebView *view, const QString &marker, int timeoutMs = 20000)
{
    // Shared: answers to earlier polls may still arrive after this returns.
    auto found = std::make_shared<bool>(false);
    return TestUtils::waitUntil(
        [&] {
            view->webView()->page()->runJavaScript(
                QStringLiteral("document.body ? document.body.innerText : ''"),
                [found, marker](
                    const QVariant &v) { *found = *found || v.toString().contains(marker); });
            return *found;
        },
        timeoutMs);
}

// Closes the next modal window, noting whether it was the login dialog and
// the text of a message.
void closeNextModal(bool *sawWebView, QString *message)
{
    auto *timer = new QTimer();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, sawWebView, message] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        *sawWebView = qobject_cast<KWebView *>(modal) != nullptr;
        if (auto *tips = qobject_cast<KMessageTips *>(modal))
            *message = tips->message();
        modal->close();
    });
    timer->start();
}

void sendMouse(QWidget *w, QEvent::Type type, QPoint pos)
{
    QMouseEvent event(type, pos, w->mapToGlobal(pos), Qt::LeftButton,
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

} // namespace

class tst_KWebView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void authorizeAddress();
    void eitherCallbackLogsInAndClosesTheDialog_data();
    void eitherCallbackLogsInAndClosesTheDialog();
    void closeButtonLeavesTheUserLoggedOut();
    void dragFromTheStripButNotFromTheCloseCorner();
    void noServiceShowsAMessageAndNoDialog();
    void missingEngineShowsAMessageAndNoDialog();
#ifdef QUORVEL_SERVICE_EXE
    void signInOnTheServicePage();
#endif

private:
    FakeService *m_service = nullptr;
    QByteArray m_callbackName = "qqCallBack";
};

void tst_KWebView::initTestCase()
{
    m_service = new FakeService(this);
    QVERIFY(m_service->listen());
    qputenv("QUORVEL_SERVICE_URL", m_service->baseUrl().toUtf8());
    // What the title bar's account button installs.
    KAccoutManager::instance()->setLoginPresenter(&KWebView::runLogin);
    m_service->setHandler([this](const FakeService::Request &r) {
        FakeService::Response page;
        page.contentType = "text/html; charset=utf-8";
        if (r.path() == "/oauth2.0/authorize") {
            // A sign-in form whose submit goes to the callback page.
            const QUrlQuery query(QString::fromLatin1(r.target.mid(r.target.indexOf('?') + 1)));
            const QString back = QUrl::fromPercentEncoding(
                query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyEncoded)
                    .toLatin1());
            page.body = "<html><body><h3>Sign in here</h3><form id=f>"
                        "<input id=n autofocus></form><script>"
                        "document.getElementById('f').onsubmit = function (e) { e.preventDefault();"
                        " location.href = '"
                + back.toUtf8()
                + "?name=' + encodeURIComponent(document.getElementById('n').value); };"
                  "</script></body></html>";
            return page;
        }
        if (r.path() == "/qq/callback") {
            // Calls back while the page is still being parsed.
            page.body = "<html><body><p>Signed in</p><script>window." + m_callbackName
                + "(JSON.stringify({nickname: 'web', userid: 'u-7'}), '');</script></body></html>";
            return page;
        }
        if (r.path() == "/api/v1/userInfo") {
            const QString id = QJsonDocument::fromJson(r.body).object().value("userid").toString();
            if (id != QLatin1String("u-7"))
                return FakeService::json("{}", 404);
            return FakeService::json(R"({"username":"Web User","avatar":""})");
        }
        return FakeService::json("{}", 404);
    });
}

void tst_KWebView::init()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "quorvel", "quorvel").clear();
    KAccoutManager *account = KAccoutManager::instance();
    if (account->isLoggedIn()) {
        QSignalSpy out(account, &KAccoutManager::logouted);
        account->logout();
        QVERIFY(out.wait(2000));
    }
    m_service->clearRequests();
}

void tst_KWebView::authorizeAddress()
{
    QCOMPARE(KWebView::authorizeUrl(QStringLiteral("http://127.0.0.1:8080")),
        QStringLiteral("http://127.0.0.1:8080/oauth2.0/authorize?response_type=code&client_id="
                       "588743635&redirect_uri=http%3a%2f%2f127.0.0.1%3a8080%2fqq%2fcallback"));
}

void tst_KWebView::eitherCallbackLogsInAndClosesTheDialog_data()
{
    QTest::addColumn<QByteArray>("callback");
    QTest::newRow("qqCallBack") << QByteArray("qqCallBack");
    QTest::newRow("weixinCallBack") << QByteArray("weixinCallBack");
}

void tst_KWebView::eitherCallbackLogsInAndClosesTheDialog()
{
    QFETCH(QByteArray, callback);
    m_callbackName = callback;
    KAccoutManager *account = KAccoutManager::instance();
    QSignalSpy logined(account, &KAccoutManager::logined);
    bool typed = false;
    onLoginDialog([&](KWebView *view) {
        if (!waitForPage(view, QStringLiteral("Sign in here"))) {
            view->closeButton()->click();
            return;
        }
        QTest::qWait(200);
        QWidget *target = view->webView()->focusProxy();
        QTest::keyClicks(target, QStringLiteral("web"));
        QTest::keyClick(target, Qt::Key_Return);
        typed = true;
    });
    account->showLogin();
    QVERIFY(typed);
    QCOMPARE(logined.count(), 1);
    QVERIFY(account->isLoggedIn());
    QCOMPARE(account->userId(), QStringLiteral("u-7"));
    QCOMPARE(account->displayName(), QStringLiteral("Web User"));
    const auto callbacks = m_service->requestsTo("/qq/callback");
    QCOMPARE(callbacks.size(), 1);
    QCOMPARE(callbacks.first().target, QByteArray("/qq/callback?name=web"));
    // The dialog is deleted once exec() has returned.
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<KWebView *>(w));
}

void tst_KWebView::closeButtonLeavesTheUserLoggedOut()
{
    KAccoutManager *account = KAccoutManager::instance();
    bool loaded = false;
    onLoginDialog([&](KWebView *view) {
        loaded = waitForPage(view, QStringLiteral("Sign in here"));
        view->webView()->grab().save(screenshotDir() + QStringLiteral("/login-page-fake.png"));
        QTest::mouseClick(view->closeButton(), Qt::LeftButton);
    });
    account->showLogin();
    QVERIFY(loaded);
    QVERIFY(!account->isLoggedIn());
    QCOMPARE(m_service->requestsTo("/api/v1/userInfo").size(), 0);
}

void tst_KWebView::dragFromTheStripButNotFromTheCloseCorner()
{
    KWebView view(QStringLiteral("qqLogin"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.size(), QSize(750, 560));
    QCOMPARE(view.webView()->geometry(), QRect(0, 30, 750, 530));
    const QPoint start = view.pos();
    sendMouse(&view, QEvent::MouseButtonPress, QPoint(100, 10));
    sendMouse(&view, QEvent::MouseMove, QPoint(140, 35));
    sendMouse(&view, QEvent::MouseButtonRelease, QPoint(140, 35));
    QCOMPARE(view.pos(), start + QPoint(40, 25));
    // The page moves with the dialog: it is inside it.
    QCOMPARE(view.webView()->mapTo(&view, QPoint(0, 0)), QPoint(0, 30));

    const QPoint moved = view.pos();
    sendMouse(&view, QEvent::MouseButtonPress, QPoint(750 - 10, 10));
    sendMouse(&view, QEvent::MouseMove, QPoint(700, 40));
    sendMouse(&view, QEvent::MouseButtonRelease, QPoint(700, 40));
    QCOMPARE(view.pos(), moved);
}

void tst_KWebView::noServiceShowsAMessageAndNoDialog()
{
    // No address configured and no service beside this executable.
    const QByteArray previous = qgetenv("QUORVEL_SERVICE_URL");
    qunsetenv("QUORVEL_SERVICE_URL");
    QString message;
    bool sawWebView = false;
    closeNextModal(&sawWebView, &message);
    KAccoutManager::instance()->showLogin();
    qputenv("QUORVEL_SERVICE_URL", previous);
    QVERIFY(!sawWebView);
    QVERIFY2(
        message.contains(QStringLiteral("online service is not available")), qPrintable(message));
    QVERIFY(!KAccoutManager::instance()->isLoggedIn());
}

void tst_KWebView::missingEngineShowsAMessageAndNoDialog()
{
    qputenv("QTWEBENGINEPROCESS_PATH", "/nonexistent/QtWebEngineProcess");
    QVERIFY(!KWebView::engineProblem().isEmpty());
    QString message;
    bool sawWebView = false;
    closeNextModal(&sawWebView, &message);
    KWebView::runLogin(KAccoutManager::instance());
    qunsetenv("QTWEBENGINEPROCESS_PATH");
    QVERIFY(!sawWebView);
    QVERIFY2(
        message.contains(QStringLiteral("/nonexistent/QtWebEngineProcess")), qPrintable(message));
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<KWebView *>(w));
    QVERIFY(!KAccoutManager::instance()->isLoggedIn());
}

#ifdef QUORVEL_SERVICE_EXE
void tst_KWebView::signInOnTheServicePage()
{
    // The real service's sign-in page: type a name, press Enter.
    QTemporaryDir data;
    QVERIFY(data.isValid());
    BundledService service;
    const QString url
        = service.ensureRunning(QStringLiteral(QUORVEL_SERVICE_EXE), data.path(), 30000);
    QVERIFY2(!url.isEmpty(), qPrintable(service.errorString()));
    const QByteArray previous = qgetenv("QUORVEL_SERVICE_URL");
    qputenv("QUORVEL_SERVICE_URL", url.toUtf8());

    KAccoutManager *account = KAccoutManager::instance();
    QSignalSpy logined(account, &KAccoutManager::logined);
    bool pageShown = false;
    QString address;
    onLoginDialog([&](KWebView *view) {
        address = view->url();
        pageShown = waitForPage(view, QStringLiteral("Sign in"));
        QTest::qWait(300);
        view->grab().save(screenshotDir() + QStringLiteral("/login-dialog.png"));
        if (!pageShown) {
            view->closeButton()->click();
            return;
        }
        QWidget *target = view->webView()->focusProxy();
        QTest::keyClicks(target, QStringLiteral("Grace Hopper"));
        QTest::qWait(100);
        view->grab().save(screenshotDir() + QStringLiteral("/login-dialog-typed.png"));
        QTest::keyClick(target, Qt::Key_Return);
    });
    account->showLogin();
    qputenv("QUORVEL_SERVICE_URL", previous);

    QVERIFY(pageShown);
    QCOMPARE(address, KWebView::authorizeUrl(url));
    QCOMPARE(logined.count(), 1);
    QVERIFY(account->isLoggedIn());
    QCOMPARE(account->displayName(), QStringLiteral("Grace Hopper"));
    QCOMPARE(account->userId().size(), 32);
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<KWebView *>(w));
}
#endif

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    KWebView::prepareEngine();
    QApplication app(argc, argv);
    tst_KWebView test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_KWebView.moc"
