#include "KvHttp.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkReply>
#include <QTimer>
#include <QUrl>

#include "online/KvHttpUploadOss.h"
#include "online/NetworkReach.h"
#include "online/RequestSigning.h"
#include "online/ServiceEndpoint.h"
#include "online/ServiceTypes.h"

namespace {

const char kJobProperty[] = "qvJobSerial";
const QString kJson = QStringLiteral("application/json");

std::function<QString()> &userIdSource()
{
    static std::function<QString()> source;
    return source;
}

// Shared by every client for the fire-and-forget cancel requests.
QNetworkAccessManager *cancelManager()
{
    static QNetworkAccessManager *manager = nullptr;
    if (!manager)
        manager = new QNetworkAccessManager(QCoreApplication::instance());
    return manager;
}

QJsonObject bodyObject(const QByteArray &body)
{
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    return doc.isObject() ? doc.object() : QJsonObject();
}

QString md5Hex(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

} // namespace

KvHttp::KvHttp(int type)
    : QObject(nullptr)
{
    m_pollTimer = new QTimer(this);
    connect(m_pollTimer, &QTimer::timeout, this, &KvHttp::triggertimerDone);
    setServiceType(type);
}

KvHttp::~KvHttp()
{
    setCancelled(true);
    m_uploader.reset();
}

void KvHttp::setServiceType(int type)
{
    m_serviceType = type;
    const ServiceTypes::Row row = ServiceTypes::row(type);
    if (!row.valid)
        return;
    m_product = row.product;
    m_clientType = row.clientType;
    m_appKey = row.keys.key;
    m_appSecret = row.keys.secret;
}

QString KvHttp::baseUrl() const
{
    return m_baseUrl.isEmpty() ? ServiceEndpoint::baseUrl() : m_baseUrl;
}

void KvHttp::setUserIdSource(std::function<QString()> source)
{
    userIdSource() = std::move(source);
}

QNetworkRequest KvHttp::buildRequest(const QString &url, const QString &method, const QString &path,
    const QString &contentType) const
{
    const QString date = RequestSigning::gmtDate();
    const QString text = RequestSigning::stringToSign(
        method, contentType, date, path, m_appKey, m_clientType, m_sessionId);
    const QString signature = RequestSigning::hmacSignature(m_appSecret, text);

    QNetworkRequest request(QUrl(url, QUrl::TolerantMode));
    request.setRawHeader("Date", date.toUtf8());
    request.setRawHeader("token",
        QStringLiteral("lumistrand:%1:%2:%3").arg(m_product, m_appKey, signature).toUtf8());
    request.setRawHeader("Client-Type", m_clientType.toUtf8());
    request.setRawHeader("Content-type", contentType.toUtf8());
    const QList<QNetworkCookie> cookies { QNetworkCookie("sid", m_sessionId.toUtf8()) };
    request.setHeader(QNetworkRequest::CookieHeader, QVariant::fromValue(cookies));
    return request;
}

QNetworkReply *KvHttp::postJson(const QString &path, const QJsonObject &body, ReplySlot slot)
{
    auto *manager = new QNetworkAccessManager(this);
    connect(manager, &QNetworkAccessManager::finished, this, slot);
    const QNetworkRequest request
        = buildRequest(baseUrl() + path, QStringLiteral("post"), path, kJson);
    QNetworkReply *reply
        = manager->post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
    reply->setProperty(kJobProperty, m_jobSerial);
    return reply;
}

bool KvHttp::takeReply(QNetworkReply *reply, int *status, QByteArray *body)
{
    // An aborted reply (timeout) is closed and has nothing to read.
    *body = reply->isOpen() ? reply->readAll() : QByteArray();
    *status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    reply->manager()->deleteLater();
    reply->deleteLater();
    const QVariant serial = reply->property(kJobProperty);
    const bool current = !serial.isValid() || serial.toULongLong() == m_jobSerial;
    if (current && serial.isValid())
        m_unreachable = NetworkReach::isUnreachable(reply);
    return current;
}

void KvHttp::failJob()
{
    // One report per job: replies still in flight (overlapping polls) are dropped.
    m_pollTimer->stop();
    ++m_jobSerial;
    emit progressError();
}

void KvHttp::startJob(const QList<UploadFile> &files)
{
    ++m_jobSerial;
    m_pollTimer->stop();
    m_uploadMillis = 0;
    m_previewData.clear();
    m_resultData.clear();
    m_resultKey.clear();
    m_previewKey.clear();
    m_failureReason.clear();
    m_unreachable = false;
    m_jobId.clear();
    m_downloadStage = 0;
    m_cancelled = false;

    m_files = files;
    m_sessionId = QStringLiteral("demo-sid");
    m_pendingUploads = files.size();
    const QString base = baseUrl();
    if (base.isEmpty())
        m_unreachable = true; // no service to send anything to
    if (files.isEmpty()) {
        m_jobState = Idle;
        QMetaObject::invokeMethod(this, &KvHttp::progressError, Qt::QueuedConnection);
        return;
    }

    const bool ai = m_serviceType >= 5 && m_serviceType <= 7;
    m_uploader.reset(
        new KvHttpUploadOss(this, base, ai ? QStringLiteral("ai") : QStringLiteral("ocr")));
    connect(
        m_uploader.get(), &KvHttpUploadInterface::uploadFinished, this, &KvHttp::triggerCommitTask);
    connect(m_uploader.get(), &KvHttpUploadInterface::signals_picUpload, this,
        &KvHttp::triggerUploadOneFileFinished);

    m_jobState = Uploading;
    m_stopwatch.start();
    m_uploader->upload(m_files);
}

void KvHttp::setCancelled(bool on)
{
    m_cancelled = on;
    if (!on || m_jobState != Polling)
        return;
    m_pollTimer->stop();
    const QString path = QStringLiteral("/api/v1/cancel/") + m_jobId;
    const QNetworkRequest request = buildRequest(baseUrl() + path, QStringLiteral("delete"), path,
        QStringLiteral("application/x-www-form-urlencoded"));
    QNetworkReply *reply = cancelManager()->deleteResource(request);
    connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    // A cancelled job is over for this client; a late reply must not revive it.
    m_jobState = Idle;
    ++m_jobSerial;
}

void KvHttp::triggerUploadOneFileFinished(int consumeTime, bool bExists)
{
    --m_pendingUploads;
    emit signals_picUpload(consumeTime, bExists);
}

void KvHttp::triggerCommitTask(bool ok)
{
    m_jobState = Uploaded;
    if (!ok) {
        m_unreachable = m_unreachable || m_uploader->unreachable();
        failJob();
        return;
    }
    m_uploadMillis = int(m_stopwatch.elapsed());
    m_stopwatch.restart();
    m_jobState = Committed;

    const UploadFile &file = m_files.first();
    QJsonObject body;
    body.insert(QStringLiteral("key"), m_uploader->uploadedKey());
    body.insert(QStringLiteral("size"), file.size);
    body.insert(QStringLiteral("md5"), md5Hex(file.data));
    body.insert(QStringLiteral("type"), m_product);
    if (ServiceTypes::sendsUserId(m_serviceType))
        body.insert(QStringLiteral("userId"), userIdSource() ? userIdSource()() : QString());
    const bool ai = m_serviceType >= 5 && m_serviceType <= 7;
    postJson(ai ? QStringLiteral("/api/v1/ai/images") : QStringLiteral("/api/v1/ocr/images"), body,
        &KvHttp::triggerQuery);
}

void KvHttp::triggerQuery(QNetworkReply *reply)
{
    if (!reply) {
        failJob();
        return;
    }
    int status = 0;
    QByteArray body;
    if (!takeReply(reply, &status, &body))
        return;
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    const QJsonObject data = doc.object().value(QStringLiteral("data")).toObject();
    if (status != 200 || !doc.isObject() || data.isEmpty()) {
        failJob();
        return;
    }
    m_jobId = data.value(QStringLiteral("jobid")).toString();
    m_pollTimer->start(m_pollIntervalMs);
}

void KvHttp::triggertimerDone()
{
    m_jobState = Polling;
    if (m_cancelled) {
        m_pollTimer->stop();
        return;
    }
    QJsonObject body;
    body.insert(QStringLiteral("jobid"), m_jobId);
    const bool ai = m_serviceType >= 5 && m_serviceType <= 7;
    postJson(ai ? QStringLiteral("/api/v1/ai/query") : QStringLiteral("/api/v1/ocr/query"), body,
        &KvHttp::triggerDownload);
}

void KvHttp::triggerDownload(QNetworkReply *reply)
{
    if (!reply) {
        failJob();
        return;
    }
    int status = 0;
    QByteArray body;
    if (!takeReply(reply, &status, &body))
        return;
    if (status != 200) {
        failJob();
        return;
    }
    const QJsonObject object = bodyObject(body);
    const QString state = object.value(QStringLiteral("status")).toString();
    if (state == QLatin1String("success")) {
        // Overlapping polls can bring a second "success"; the downloads start once.
        if (m_downloadStage != 0)
            return;
        m_pollTimer->stop();
        // The service is done with the job: nothing is left to cancel.
        m_jobState = Idle;
        const QJsonObject result = object.value(QStringLiteral("result")).toObject();
        m_resultKey = result.value(QStringLiteral("key")).toString();
        if (ServiceTypes::hasPreview(m_serviceType))
            m_previewKey = result.value(QStringLiteral("previewImage")).toString();
        if (ServiceTypes::hasPreview(m_serviceType) && !m_previewKey.isEmpty()) {
            m_downloadStage = 1;
            requestDownloadUrl(m_previewKey);
        } else {
            m_downloadStage = 2;
            requestDownloadUrl(m_resultKey);
        }
    } else if (state == QLatin1String("failed")) {
        m_failureReason = object.value(QStringLiteral("reason")).toString();
        if (object.value(QStringLiteral("code")).toInt() != 201) {
            failJob();
            return;
        }
        // A second "failed" from an overlapping poll must not report twice.
        m_pollTimer->stop();
        m_jobState = Idle;
        ++m_jobSerial;
        emit processFinished(201);
    } else if (state == QLatin1String("processing")) {
        emit progressValueChanged(object.value(QStringLiteral("progress")).toInt());
    }
}

void KvHttp::requestDownloadUrl(const QString &key)
{
    QJsonObject body;
    body.insert(QStringLiteral("key"), key);
    const bool ai = m_serviceType >= 5 && m_serviceType <= 7;
    body.insert(QStringLiteral("method"), ai ? QStringLiteral("ai") : QStringLiteral("ocr"));
    postJson(QStringLiteral("/api/v1/object/downloadurl"), body, &KvHttp::triggerOssGetDownloadUrl);
}

void KvHttp::triggerOssGetDownloadUrl(QNetworkReply *reply)
{
    if (!reply) {
        failJob();
        return;
    }
    int status = 0;
    QByteArray body;
    if (!takeReply(reply, &status, &body))
        return;
    if (status != 200) {
        failJob();
        return;
    }
    m_downloadUrl = bodyObject(body)
                        .value(QStringLiteral("data"))
                        .toObject()
                        .value(QStringLiteral("url"))
                        .toString();
    auto *manager = new QNetworkAccessManager(this);
    connect(manager, &QNetworkAccessManager::finished, this, &KvHttp::triggerOssDowndResult);
    QNetworkReply *get = manager->get(QNetworkRequest(QUrl(m_downloadUrl, QUrl::TolerantMode)));
    get->setProperty(kJobProperty, m_jobSerial);
}

void KvHttp::triggerOssDowndResult(QNetworkReply *reply)
{
    if (!reply) {
        failJob();
        return;
    }
    int status = 0;
    QByteArray body;
    if (!takeReply(reply, &status, &body))
        return;
    if (status != 200) {
        failJob();
        return;
    }
    if (ServiceTypes::hasPreview(m_serviceType) && !m_previewKey.isEmpty()
        && m_downloadStage == 1) {
        m_previewData = body;
        m_downloadStage = 2;
        requestDownloadUrl(m_resultKey);
        return;
    }
    m_resultData = body;
    m_downloadStage = 3;
    emit downloadSuccess();
}

void KvHttp::requestUserInfo(const QString &userId)
{
    QJsonObject body;
    body.insert(QStringLiteral("userid"), userId);
    QNetworkReply *reply
        = postJson(QStringLiteral("/api/v1/userInfo"), body, &KvHttp::triggerGetUserInfoFinished);
    // Account requests belong to no job.
    reply->setProperty(kJobProperty, QVariant());
    // A service that never answers must leave the user logged out, not waiting.
    QTimer::singleShot(m_userInfoTimeoutMs, reply, &QNetworkReply::abort);
}

void KvHttp::triggerGetUserInfoFinished(QNetworkReply *reply)
{
    if (!reply)
        return;
    int status = 0;
    QByteArray body;
    takeReply(reply, &status, &body);
    if (status == 200)
        emit userInfoReceived(QString::fromUtf8(body));
}

void KvHttp::sendFeedback(const QString &content, const QString &contact)
{
    QJsonObject body;
    body.insert(QStringLiteral("content"), content);
    body.insert(QStringLiteral("contact"), contact);
    const QString path = QStringLiteral("/api/v1/feedback");
    auto *manager = new QNetworkAccessManager(this);
    connect(manager, &QNetworkAccessManager::finished, manager, [manager](QNetworkReply *reply) {
        reply->deleteLater();
        manager->deleteLater();
    });
    manager->put(buildRequest(baseUrl() + path, QStringLiteral("put"), path, kJson),
        QJsonDocument(body).toJson(QJsonDocument::Compact));
}
