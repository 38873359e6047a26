#pragma once

#include <functional>

#include <QImage>
#include <QObject>
#include <QString>

class KvHttp;
class PSettings;
class QNetworkReply;

// The login state of the program's one user: identifier, name, avatar. Logs in
// from the web page's login result, completes the login with the service's
// user information, remembers the identifier for the next start and tells the
// interface by signals. Interface thread only. instance() is the process-wide
// manager (never destroyed); tests may build their own.
class KAccoutManager : public QObject
{
    Q_OBJECT
public:
    explicit KAccoutManager(QObject *parent = nullptr);
    ~KAccoutManager() override;

    static KAccoutManager *instance();

    bool isLoggedIn() const { return m_loggedIn; }
    QString userId() const { return m_userId; }
    QString displayName() const { return m_displayName; }
    QString avatarUrl() const { return m_avatarUrl; }
    // The downloaded avatar, or the default picture at 46 x 46.
    QImage avatar() const;

    void showLogin();
    void restoreLogin();
    void logout();
    void sendFeedback(const QString &content, const QString &contact);

    // Shows the login page and returns when it closes. Set by the interface
    // (the web view lives on the GUI side); without one, showLogin() only says so.
    using LoginPresenter = std::function<void(KAccoutManager *)>;
    void setLoginPresenter(LoginPresenter presenter) { m_presenter = std::move(presenter); }

    // Limit for the user-information request and the avatar download (15 s).
    void setRequestTimeout(int ms);

    KvHttp *client() const { return m_client; }

signals:
    void logined();
    void logouted();
    void avatarChanged();

public slots:
    void onLoginResult(const QString &json);
    void onUserInfo(const QString &json);

protected slots:
    void onQQLogin();
    void onGetUserAvatar(QNetworkReply *reply);
    void onLogouted();

private:
    bool m_loggedIn = false;
    QString m_userId;
    QString m_displayName;
    QString m_avatarUrl;
    QImage m_avatarImage;
    KvHttp *m_client = nullptr;
    PSettings *m_settings = nullptr;
    LoginPresenter m_presenter;
    int m_requestTimeoutMs = 15000;
};
