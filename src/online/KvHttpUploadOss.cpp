#include "KvHttpUploadOss.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrl>
#include <QUuid>

#include "online/KvHttp.h"
#include "online/NetworkReach.h"

KvHttpUploadOss::KvHttpUploadOss(KvHttp *owner, const QString &baseUrl, const QString &category)
    : KvHttpUploadInterface(owner, baseUrl)
    , m_category(category)
{
}

QString KvHttpUploadOss::objectKey(
    const QString &category, const UploadFile &file, const QString &uuid, qint64 seconds)
{
    const QString md5
        = QString::fromLatin1(QCryptographicHash::hash(file.data, QCryptographicHash::Md5).toHex());
    return category + QLatin1Char('/') + md5 + uuid + QString::number(seconds) + QLatin1Char('/')
        + uuid.mid(1, 6) + QLatin1Char('.') + file.suffix;
}

void KvHttpUploadOss::upload(const QList<UploadFile> &files)
{
    m_files = files;
    if (m_currentIndex >= m_files.size()) {
        QMetaObject::invokeMethod(
            this, [this] { emit uploadFinished(false); }, Qt::QueuedConnection);
        return;
    }
    const UploadFile &file = m_files.at(m_currentIndex);
    m_objectKey = objectKey(
        m_category, file, QUuid::createUuid().toString(), QDateTime::currentSecsSinceEpoch());

    const QString path = QStringLiteral("/api/v1/object/uploadurl");
    QJsonObject body;
    body.insert(QStringLiteral("key"), m_objectKey);
    // Parented to this uploader: replacing it drops a request still in flight.
    auto *manager = new QNetworkAccessManager(this);
    connect(manager, &QNetworkAccessManager::finished, this, &KvHttpUploadOss::triggerStartUpload);
    manager->post(m_owner->buildRequest(m_baseUrl + path, QStringLiteral("post"), path,
                      QStringLiteral("application/json")),
        QJsonDocument(body).toJson(QJsonDocument::Compact));
}

void KvHttpUploadOss::cancel() { m_cancelled = true; }

void KvHttpUploadOss::triggerStartUpload(QNetworkReply *reply)
{
    if (!reply) {
        emit uploadFinished(false);
        return;
    }
    const QByteArray body = reply->isOpen() ? reply->readAll() : QByteArray();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    m_unreachable = NetworkReach::isUnreachable(reply);
    reply->manager()->deleteLater();
    reply->deleteLater();
    reply->close();
    if (status != 200) {
        emit uploadFinished(false);
        return;
    }
    const QString url = QJsonDocument::fromJson(body)
                            .object()
                            .value(QStringLiteral("data"))
                            .toObject()
                            .value(QStringLiteral("url"))
                            .toString();
    QNetworkRequest request { QUrl(url, QUrl::TolerantMode) };
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/ocet-stream"));
    request.setRawHeader("x-oss-meta-author", "lumistrand");
    auto *manager = new QNetworkAccessManager(this);
    connect(
        manager, &QNetworkAccessManager::finished, this, &KvHttpUploadOss::triggerUploadFinished);
    manager->put(request, m_files.at(m_currentIndex).data);
}

void KvHttpUploadOss::triggerUploadFinished(QNetworkReply *reply)
{
    if (!reply) {
        emit uploadFinished(false);
        return;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    m_unreachable = NetworkReach::isUnreachable(reply);
    reply->manager()->deleteLater();
    reply->deleteLater();
    if (status == 200) {
        emit uploadFinished(true);
        return;
    }
    emit signals_picUpload(0, false);
    emit uploadFinished(false);
}
