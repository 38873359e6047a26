#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTextEdit>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

#include "FakeService.h"
#include "TestUtils.h"
#include "account/KAccoutManager.h"
#include "account/ui/KFeedBackView.h"
#include "account/ui/KLoginButton.h"
#include "account/ui/KUserMenuWidget.h"
#include "account/ui/KUserTitleMenu.h"
#include "app/ui/KMoreMenu.h"
#include "app/ui/KTitleBar.h"
#include "online/KvHttp.h"

namespace {

QByteArray avatarPng()
{
    QImage image(96, 96, QImage::Format_RGB32);
    image.fill(QColor(0x2E, 0x8B, 0x57));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QString screenshotDir()
{
    const QString dir = QDir::currentPath() + QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    return dir;
}

QString loginText() { return QCoreApplication::translate("KLoginButton", "ClickLogin"); }

template <typename T> QList<T *> liveTopLevels()
{
    QList<T *> out;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *t = qobject_cast<T *>(w))
            out << t;
    }
    return out;
}

// Runs f on the next modal dialog once it shows (the caller then enters exec()).
void onNextModal(std::function<void(QWidget *)> f)
{
    auto *timer = new QTimer();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, f] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        f(modal);
    });
    timer->start();
}

} // namespace

class tst_KLoginButton : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void loggedOutButtonsOpenTheLogin();
    void loginShowsNameAvatarAndMenu();
    void longNameIsElided();
    void logoutFromTheMenuAndLoginAgainMakesANewMenu();
    void feedbackCommitSendsEvenEmptyAndClosesThenIsDeleted();
    void feedbackSendsTheTexts();

private:
    void loginAs(const QString &userId);

    FakeService *m_service = nullptr;
    QString m_name = QStringLiteral("Ada Lovelace");
    int m_presented = 0;
};

void tst_KLoginButton::initTestCase()
{
    // The program's own wording, as the screenshots should show it.
    auto *translator = new QTranslator(this);
    QVERIFY(translator->load(QCoreApplication::applicationDirPath() + "/../res/quorvel.qm"));
    QCoreApplication::installTranslator(translator);
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "quorvel", "quorvel").clear();
    m_service = new FakeService(this);
    QVERIFY(m_service->listen());
    m_service->setHandler([this](const FakeService::Request &r) {
        if (r.path() == "/api/v1/userInfo") {
            const QString id = QJsonDocument::fromJson(r.body).object().value("userid").toString();
            QJsonObject info;
            info.insert(QStringLiteral("username"), m_name);
            info.insert(QStringLiteral("avatar"),
                QString(m_service->baseUrl() + QStringLiteral("/avatar/") + id));
            return FakeService::json(QJsonDocument(info).toJson(QJsonDocument::Compact));
        }
        if (r.path().startsWith("/avatar/")) {
            FakeService::Response resp = FakeService::json(avatarPng());
            resp.contentType = "image/png";
            return resp;
        }
        return FakeService::json(R"({"code":0})");
    });
    KAccoutManager::instance()->client()->setBaseUrl(m_service->baseUrl());
}

void tst_KLoginButton::init()
{
    // No stored user: a new account button must not log anyone in by itself.
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "quorvel", "quorvel").clear();
    KAccoutManager *account = KAccoutManager::instance();
    if (account->isLoggedIn()) {
        QSignalSpy out(account, &KAccoutManager::logouted);
        account->logout();
        QVERIFY(out.wait(2000));
    }
    m_service->clearRequests();
    m_name = QStringLiteral("Ada Lovelace");
    m_presented = 0;
}

void tst_KLoginButton::loginAs(const QString &userId)
{
    KAccoutManager *account = KAccoutManager::instance();
    QSignalSpy logined(account, &KAccoutManager::logined);
    QSignalSpy avatar(account, &KAccoutManager::avatarChanged);
    account->onLoginResult(QStringLiteral(R"({"nickname":"x","userid":"%1"})").arg(userId));
    QVERIFY(logined.wait(5000));
    QVERIFY(avatar.count() > 0 || avatar.wait(5000));
}

void tst_KLoginButton::loggedOutButtonsOpenTheLogin()
{
    KTitleBar bar;
    auto *button = bar.findChild<KLoginButton *>();
    QVERIFY(button);
    KAccoutManager::instance()->setLoginPresenter([this](KAccoutManager *) { ++m_presented; });
    QCOMPARE(button->nameButton()->text(), loginText());
    QVERIFY(!button->userMenu());
    QVERIFY(!button->iconButton()->menu());
    QTest::mouseClick(button->nameButton(), Qt::LeftButton);
    QTest::mouseClick(button->iconButton(), Qt::LeftButton);
    QCOMPARE(m_presented, 2);
    bar.grab().save(screenshotDir() + QStringLiteral("/titlebar-logged-out.png"));
}

void tst_KLoginButton::loginShowsNameAvatarAndMenu()
{
    KTitleBar bar;
    auto *button = bar.findChild<KLoginButton *>();
    const QImage before = button->iconButton()->icon().pixmap(24, 24).toImage();
    loginAs(QStringLiteral("u-1"));
    QCOMPARE(button->nameButton()->text().left(3), QStringLiteral("Ada"));
    QVERIFY(button->userMenu());
    QCOMPARE(button->iconButton()->menu(), button->userMenu());
    // The round avatar replaced the default picture.
    const QImage after = button->iconButton()->icon().pixmap(30, 30).toImage();
    QVERIFY(after != before);
    QCOMPARE(QColor(after.pixel(15, 15)).rgb(), QColor(0x2E, 0x8B, 0x57).rgb());
    QCOMPARE(qAlpha(after.pixel(0, 0)), 0);
    // A click while logged in does not open the login again.
    KAccoutManager::instance()->setLoginPresenter([this](KAccoutManager *) { ++m_presented; });
    QTest::mouseClick(button->nameButton(), Qt::LeftButton);
    QCOMPARE(m_presented, 0);
    bar.grab().save(screenshotDir() + QStringLiteral("/titlebar-logged-in.png"));

    KUserMenuWidget *menuWidget = button->userMenu()->menuWidget();
    QCOMPARE(menuWidget->nameLabel()->text(), QStringLiteral("Ada Lovelace"));
    QCOMPARE(menuWidget->avatarLabel()->pixmap(Qt::ReturnByValue).size(), QSize(46, 46));
    button->userMenu()->popup(QPoint(0, 0));
    QVERIFY(QTest::qWaitForWindowExposed(button->userMenu()));
    button->userMenu()->grab().save(screenshotDir() + QStringLiteral("/user-menu.png"));
    button->userMenu()->close();
}

void tst_KLoginButton::longNameIsElided()
{
    m_name = QStringLiteral("Bartholomew Fitzgerald-Montgomery");
    KLoginButton button;
    loginAs(QStringLiteral("u-long"));
    const QString shown = button.nameButton()->text();
    QVERIFY2(shown.endsWith(QChar(0x2026)), qPrintable(shown));
    QVERIFY(shown.size() < m_name.size());
    QVERIFY(button.nameButton()->fontMetrics().horizontalAdvance(shown)
        <= button.nameButton()->width());
}

void tst_KLoginButton::logoutFromTheMenuAndLoginAgainMakesANewMenu()
{
    KLoginButton button;
    loginAs(QStringLiteral("u-1"));
    QPointer<KUserTitleMenu> first = button.userMenu();
    QVERIFY(first);
    QSignalSpy out(KAccoutManager::instance(), &KAccoutManager::logouted);
    QTest::mouseClick(first->menuWidget()->logoutButton(), Qt::LeftButton);
    QVERIFY(!KAccoutManager::instance()->isLoggedIn());
    QVERIFY(out.wait(2000));
    QVERIFY(TestUtils::waitUntil([&] { return first.isNull(); }, 2000));
    QVERIFY(!button.iconButton()->menu());
    QCOMPARE(button.nameButton()->text(), loginText());
    QCOMPARE(KAccoutManager::instance()->userId(), QStringLiteral("u-1"));

    loginAs(QStringLiteral("u-1"));
    QVERIFY(button.userMenu());
    QCOMPARE(button.iconButton()->menu(), button.userMenu());
}

void tst_KLoginButton::feedbackCommitSendsEvenEmptyAndClosesThenIsDeleted()
{
    QPushButton more;
    KMoreMenu menu(&more, &more);
    bool sawDialog = false;
    onNextModal([&](QWidget *modal) {
        auto *view = qobject_cast<KFeedBackView *>(modal);
        sawDialog = view != nullptr;
        if (!view) {
            modal->close();
            return;
        }
        view->grab().save(screenshotDir() + QStringLiteral("/feedback.png"));
        QTest::mouseClick(view->commitButton(), Qt::LeftButton);
    });
    menu.onTriggedFeedBack(false);
    QVERIFY(sawDialog);
    QVERIFY(TestUtils::waitUntil(
        [&] { return m_service->requestsTo("/api/v1/feedback").size() == 1; }, 5000));
    QCOMPARE(m_service->requestsTo("/api/v1/feedback").first().body,
        QByteArray(R"({"contact":"","content":""})"));
    // The form is gone once it has closed.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(liveTopLevels<KFeedBackView>().size(), 0);
}

void tst_KLoginButton::feedbackSendsTheTexts()
{
    KFeedBackView view;
    view.show();
    QTest::keyClicks(view.contentEdit(), QStringLiteral("The batch tool is great"));
    QTest::keyClicks(view.contactEdit(), QStringLiteral("ada@example.org"));
    view.grab().save(screenshotDir() + QStringLiteral("/feedback-filled.png"));
    QTest::mouseClick(view.commitButton(), Qt::LeftButton);
    QVERIFY(!view.isVisible());
    QVERIFY(TestUtils::waitUntil(
        [&] { return m_service->requestsTo("/api/v1/feedback").size() == 1; }, 5000));
    QCOMPARE(m_service->requestsTo("/api/v1/feedback").first().body,
        QByteArray(R"({"contact":"ada@example.org","content":"The batch tool is great"})"));
}

QTEST_MAIN(tst_KLoginButton)
#include "tst_KLoginButton.moc"
