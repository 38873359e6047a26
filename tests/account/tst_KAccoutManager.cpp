#include <QBuffer>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include "FakeService.h"
#include "TestUtils.h"
#include "account/KAccoutManager.h"
#include "app/PSettings.h"
#include "online/KvHttp.h"

namespace {

QByteArray pngBytes(const QColor &colour)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

class tst_KAccoutManager : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void loginResultLogsInAndStoresTheUser_data();
    void loginResultLogsInAndStoresTheUser();
    void ignoredReplies_data();
    void ignoredReplies();
    void restoreLoginAtTheNextStart();
    void restoreWithoutStoredUserSendsNothing();
    void logoutIsAsyncAndKeepsTheIdentifier();
    void defaultAvatarIs46Square();
    void slowServiceLeavesUserLoggedOut();
    void avatarDownloadGivesUp();
    void feedbackIsSent();
    void showLoginUsesThePresenter();

private:
    KAccoutManager *newManager();

    FakeService *m_service = nullptr;
    FakeService::Handler m_userInfo;
    QByteArray m_avatarBody;
    bool m_holdAvatar = false;
};

void tst_KAccoutManager::init()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "quorvel", "quorvel").clear();
    m_service = new FakeService(this);
    QVERIFY(m_service->listen());
    m_avatarBody = pngBytes(Qt::red);
    m_holdAvatar = false;
    m_userInfo = [this](const FakeService::Request &r) {
        const QString id = QJsonDocument::fromJson(r.body).object().value("userid").toString();
        if (id != QLatin1String("u-1"))
            return FakeService::json(R"({"error":"unknown user"})", 404);
        return FakeService::json(R"({"username":"Ada Lovelace","avatar":")"
            + m_service->baseUrl().toUtf8() + R"(/avatar/u-1.png"})");
    };
    m_service->setHandler([this](const FakeService::Request &r) {
        if (r.path() == "/api/v1/userInfo")
            return m_userInfo(r);
        if (r.path().startsWith("/avatar/")) {
            FakeService::Response resp = FakeService::json(m_avatarBody);
            resp.contentType = "image/png";
            resp.hold = m_holdAvatar;
            return resp;
        }
        return FakeService::json(R"({"code":0})");
    });
}

void tst_KAccoutManager::cleanup()
{
    delete m_service;
    m_service = nullptr;
}

KAccoutManager *tst_KAccoutManager::newManager()
{
    auto *manager = new KAccoutManager(m_service);
    manager->client()->setBaseUrl(m_service->baseUrl());
    return manager;
}

void tst_KAccoutManager::loginResultLogsInAndStoresTheUser_data()
{
    QTest::addColumn<QString>("loginResult");
    QTest::newRow("with nickname") << R"({"nickname":"ada","userid":"u-1"})";
    // The name then comes from the user information.
    QTest::newRow("without nickname") << R"({"userid":"u-1"})";
}

void tst_KAccoutManager::loginResultLogsInAndStoresTheUser()
{
    QFETCH(QString, loginResult);
    KAccoutManager *manager = newManager();
    QSignalSpy logined(manager, &KAccoutManager::logined);
    QSignalSpy avatarChanged(manager, &KAccoutManager::avatarChanged);
    manager->onLoginResult(loginResult);
    QVERIFY(!manager->isLoggedIn());
    QVERIFY(logined.wait(5000));
    QVERIFY(manager->isLoggedIn());
    QCOMPARE(manager->userId(), QStringLiteral("u-1"));
    QCOMPARE(manager->displayName(), QStringLiteral("Ada Lovelace"));
    QCOMPARE(PSettings().userId(), QStringLiteral("u-1"));
    QCOMPARE(QSettings(QSettings::NativeFormat, QSettings::UserScope, "quorvel", "quorvel")
                 .value("quorvelUser")
                 .toString(),
        QStringLiteral("u-1"));

    QVERIFY(avatarChanged.wait(5000));
    QCOMPARE(manager->avatar().size(), QSize(8, 8));
    QCOMPARE(manager->avatar().pixel(3, 3), QColor(Qt::red).rgb());
    const auto info = m_service->requestsTo("/api/v1/userInfo");
    QCOMPARE(info.size(), 1);
    QCOMPARE(info.first().body, QByteArray(R"({"userid":"u-1"})"));
    QCOMPARE(info.first().header("Client-Type"), QByteArray("pc-smslogin"));
    // The avatar is a plain GET.
    QVERIFY(!m_service->requestsTo("/avatar/").first().hasHeaderNamed("token"));
}

void tst_KAccoutManager::ignoredReplies_data()
{
    QTest::addColumn<QString>("loginResult");
    QTest::addColumn<int>("userInfoRequests");
    QTest::newRow("login result not JSON") << "nickname=ada" << 0;
    QTest::newRow("login result is an array") << R"(["u-1"])" << 0;
    QTest::newRow("unknown user: service says 404") << R"({"userid":"u-2"})" << 1;
}

void tst_KAccoutManager::ignoredReplies()
{
    QFETCH(QString, loginResult);
    QFETCH(int, userInfoRequests);
    KAccoutManager *manager = newManager();
    QSignalSpy logined(manager, &KAccoutManager::logined);
    manager->onLoginResult(loginResult);
    QTest::qWait(300);
    QCOMPARE(m_service->requestsTo("/api/v1/userInfo").size(), userInfoRequests);
    QCOMPARE(logined.count(), 0);
    QVERIFY(!manager->isLoggedIn());
    QCOMPARE(PSettings().userId(), QString());

    // A user-information body that is not an object is ignored too.
    manager->onUserInfo(QStringLiteral("<html>busy</html>"));
    QVERIFY(!manager->isLoggedIn());
}

void tst_KAccoutManager::restoreLoginAtTheNextStart()
{
    {
        KAccoutManager *first = newManager();
        QSignalSpy logined(first, &KAccoutManager::logined);
        first->onLoginResult(QStringLiteral(R"({"nickname":"ada","userid":"u-1"})"));
        QVERIFY(logined.wait(5000));
        delete first;
    }
    // The next start: a fresh manager starts logged out and logs the same user
    // in once the user information arrives.
    KAccoutManager *next = newManager();
    QSignalSpy logined(next, &KAccoutManager::logined);
    next->restoreLogin();
    QVERIFY(!next->isLoggedIn());
    QCOMPARE(next->userId(), QStringLiteral("u-1"));
    QVERIFY(logined.wait(5000));
    QVERIFY(next->isLoggedIn());
    QCOMPARE(next->displayName(), QStringLiteral("Ada Lovelace"));
}

void tst_KAccoutManager::restoreWithoutStoredUserSendsNothing()
{
    KAccoutManager *manager = newManager();
    manager->restoreLogin();
    QTest::qWait(200);
    QCOMPARE(m_service->requests().size(), 0);
    QVERIFY(!manager->isLoggedIn());
}

void tst_KAccoutManager::logoutIsAsyncAndKeepsTheIdentifier()
{
    KAccoutManager *manager = newManager();
    QSignalSpy logined(manager, &KAccoutManager::logined);
    QSignalSpy avatarChanged(manager, &KAccoutManager::avatarChanged);
    manager->onLoginResult(QStringLiteral(R"({"userid":"u-1"})"));
    QVERIFY(logined.wait(5000));
    QVERIFY(avatarChanged.wait(5000));

    QSignalSpy logouted(manager, &KAccoutManager::logouted);
    manager->logout();
    QVERIFY(!manager->isLoggedIn());
    QCOMPARE(logouted.count(), 0);
    QVERIFY(logouted.wait(1000));
    QCOMPARE(logouted.count(), 1);
    QCOMPARE(manager->userId(), QStringLiteral("u-1"));
    QCOMPARE(manager->displayName(), QString());
    QCOMPARE(PSettings().userId(), QStringLiteral("u-1"));
    // The downloaded picture is kept.
    QCOMPARE(manager->avatar().size(), QSize(8, 8));
}

void tst_KAccoutManager::defaultAvatarIs46Square()
{
    KAccoutManager *manager = newManager();
    const QImage avatar = manager->avatar();
    QVERIFY(!avatar.isNull());
    QCOMPARE(avatar.size(), QSize(46, 46));
}

void tst_KAccoutManager::slowServiceLeavesUserLoggedOut()
{
    m_userInfo = [](const FakeService::Request &) {
        FakeService::Response r;
        r.hold = true;
        return r;
    };
    KAccoutManager *manager = newManager();
    manager->setRequestTimeout(300);
    QSignalSpy logined(manager, &KAccoutManager::logined);
    manager->onLoginResult(QStringLiteral(R"({"userid":"u-1"})"));
    QVERIFY(TestUtils::waitUntil([&] { return m_service->abandonedConnections() == 1; }, 5000));
    QCOMPARE(logined.count(), 0);
    QVERIFY(!manager->isLoggedIn());
}

void tst_KAccoutManager::avatarDownloadGivesUp()
{
    m_holdAvatar = true;
    KAccoutManager *manager = newManager();
    manager->setRequestTimeout(300);
    QSignalSpy logined(manager, &KAccoutManager::logined);
    QSignalSpy avatarChanged(manager, &KAccoutManager::avatarChanged);
    manager->onLoginResult(QStringLiteral(R"({"userid":"u-1"})"));
    QVERIFY(logined.wait(5000));
    QVERIFY(TestUtils::waitUntil([&] { return m_service->abandonedConnections() == 1; }, 5000));
    QCOMPARE(avatarChanged.count(), 0);
    QCOMPARE(manager->avatar().size(), QSize(46, 46));
}

void tst_KAccoutManager::feedbackIsSent()
{
    KAccoutManager *manager = newManager();
    manager->sendFeedback(QStringLiteral("Sehr gut, 很好"), QString());
    QVERIFY(TestUtils::waitUntil(
        [&] { return m_service->requestsTo("/api/v1/feedback").size() == 1; }, 5000));
    const FakeService::Request r = m_service->requestsTo("/api/v1/feedback").first();
    QCOMPARE(r.method, QByteArray("PUT"));
    QCOMPARE(r.body, QStringLiteral(R"({"contact":"","content":"Sehr gut, 很好"})").toUtf8());
    QCOMPARE(r.header("Content-type"), QByteArray("application/json"));
    QVERIFY(r.header("token").startsWith("lumistrand:login:"));
}

void tst_KAccoutManager::showLoginUsesThePresenter()
{
    KAccoutManager *manager = newManager();
    int shown = 0;
    manager->setLoginPresenter([&shown](KAccoutManager *m) {
        ++shown;
        m->onLoginResult(QStringLiteral(R"({"userid":"u-1"})"));
    });
    QSignalSpy logined(manager, &KAccoutManager::logined);
    manager->showLogin();
    QCOMPARE(shown, 1);
    QVERIFY(logined.wait(5000));
}

QTEST_GUILESS_MAIN(tst_KAccoutManager)
#include "tst_KAccoutManager.moc"
