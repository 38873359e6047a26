#include "KAccoutManager.h"

#include <cstdio>

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QUrl>

#include "app/PSettings.h"
#include "online/KvHttp.h"

namespace {
const int kAccountType = 9;
}

KAccoutManager::KAccoutManager(QObject *parent)
    : QObject(parent)
    , m_client(new KvHttp(kAccountType))
    , m_settings(new PSettings(this))
{
    m_client->setParent(this);
    m_client->setUserInfoTimeout(m_requestTimeoutMs);
    connect(m_client, &KvHttp::userInfoReceived, this, &KAccoutManager::onUserInfo);
}

KAccoutManager::~KAccoutManager() = default;

KAccoutManager *KAccoutManager::instance()
{
    static KAccoutManager *const manager = [] {
        auto *m = new KAccoutManager();
        // Word and Excel recognition jobs carry the user's identifier.
        KvHttp::setUserIdSource([m] { return m->userId(); });
        return m;
    }();
    return manager;
}

void KAccoutManager::setRequestTimeout(int ms)
{
    m_requestTimeoutMs = ms;
    m_client->setUserInfoTimeout(ms);
}

QImage KAccoutManager::avatar() const
{
    if (!m_avatarImage.isNull())
        return m_avatarImage;
    return QImage(QStringLiteral(":/Resources/normalUserPic.png"))
        .scaled(46, 46, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

void KAccoutManager::showLogin() { onQQLogin(); }

void KAccoutManager::onQQLogin()
{
    if (m_presenter)
        m_presenter(this);
    else
        std::fprintf(stderr, "quorvel: no login page is available in this program\n");
}

void KAccoutManager::restoreLogin()
{
    const QString stored = m_settings->userId();
    if (stored.isEmpty())
        return;
    m_userId = stored;
    m_client->requestUserInfo(m_userId);
}

void KAccoutManager::onLoginResult(const QString &json)
{
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8());
    if (!doc.isObject())
        return;
    const QJsonObject object = doc.object();
    m_displayName = object.value(QStringLiteral("nickname")).toString();
    m_userId = object.value(QStringLiteral("userid")).toString();
    m_client->requestUserInfo(m_userId);
}

void KAccoutManager::onUserInfo(const QString &json)
{
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8());
    if (!doc.isObject())
        return;
    const QJsonObject object = doc.object();
    m_displayName = object.value(QStringLiteral("username")).toString();
    m_avatarUrl = object.value(QStringLiteral("avatar")).toString();

    if (!m_avatarUrl.isEmpty()) {
        auto *manager = new QNetworkAccessManager(this);
        connect(manager, &QNetworkAccessManager::finished, this, &KAccoutManager::onGetUserAvatar);
        QNetworkReply *reply = manager->get(QNetworkRequest(QUrl(m_avatarUrl)));
        // A picture that never comes must not hold a connection for ever; the
        // default picture stays.
        QTimer::singleShot(m_requestTimeoutMs, reply, &QNetworkReply::abort);
    }

    m_loggedIn = true;
    m_settings->setUserId(m_userId);
    emit logined();
}

void KAccoutManager::onGetUserAvatar(QNetworkReply *reply)
{
    if (!reply)
        return;
    const QByteArray body = reply->isOpen() ? reply->readAll() : QByteArray();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    reply->manager()->deleteLater();
    reply->deleteLater();
    if (status != 200)
        return;
    const QImage image = QImage::fromData(body);
    // A body that is no picture keeps the default one.
    if (image.isNull())
        return;
    m_avatarImage = image;
    emit avatarChanged();
}

void KAccoutManager::logout()
{
    m_loggedIn = false;
    m_displayName.clear();
    m_avatarUrl.clear();
    QMetaObject::invokeMethod(this, "onLogouted", Qt::QueuedConnection);
}

void KAccoutManager::onLogouted() { emit logouted(); }

void KAccoutManager::sendFeedback(const QString &content, const QString &contact)
{
    m_client->sendFeedback(content, contact);
}
