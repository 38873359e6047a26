#pragma once

#include <functional>
#include <memory>

#include <QElapsedTimer>
#include <QList>
#include <QNetworkRequest>
#include <QObject>

#include "online/UploadFile.h"

class KvHttpUploadInterface;
class QJsonObject;
class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// The one client of the online service: signs requests, runs a job (upload,
// create, poll every 2 s, download) and reports by signals. Lives on the
// interface thread and is owned by the view or account manager that created it;
// every network reply comes back on that thread through the event loop.
class KvHttp : public QObject
{
    Q_OBJECT
public:
    enum JobState { Idle, Uploading, Uploaded, Committed, Polling };

    explicit KvHttp(int type);
    ~KvHttp() override;

    void setServiceType(int type);
    int serviceType() const { return m_serviceType; }

    void startJob(const QList<UploadFile> &files);
    void setCancelled(bool on);

    void requestUserInfo(const QString &userId);
    void sendFeedback(const QString &content, const QString &contact);

    QByteArray resultData() const { return m_resultData; }
    QByteArray previewData() const { return m_previewData; }
    QString resultKey() const { return m_resultKey; }
    // The service's "reason" text of a job it reported failed; empty otherwise.
    QString failureReason() const { return m_failureReason; }
    // True when the last job failed because the service could not be reached
    // at all (no address, connection refused or dropped, no answer).
    bool serviceUnreachable() const { return m_unreachable; }
    QString jobId() const { return m_jobId; }
    JobState jobState() const { return m_jobState; }
    int downloadStage() const { return m_downloadStage; }
    int uploadMillis() const { return m_uploadMillis; }

    QString product() const { return m_product; }
    QString clientType() const { return m_clientType; }
    QString appKey() const { return m_appKey; }
    QString sessionId() const { return m_sessionId; }

    // The service address: the one given here, otherwise the shared endpoint
    // (QUORVEL_SERVICE_URL or the bundled service), asked for on first need.
    void setBaseUrl(const QString &url) { m_baseUrl = url; }
    QString baseUrl() const;

    // A signed request with the full header set; method and content type only
    // enter the signature, the caller picks the HTTP verb.
    QNetworkRequest buildRequest(const QString &url, const QString &method, const QString &path,
        const QString &contentType) const;

    // Where create-job requests of types 1 to 4 read the user identifier.
    static void setUserIdSource(std::function<QString()> source);

    // How long the user-information request may take before it is given up.
    void setUserInfoTimeout(int ms) { m_userInfoTimeoutMs = ms; }

    // Poll interval, 2000 ms; tests shorten it.
    void setPollInterval(int ms) { m_pollIntervalMs = ms; }

signals:
    void downloadSuccess();
    void processFinished(int code);
    void progressError();
    void progressValueChanged(int value);
    void signals_picUpload(int consumeTime, bool bExists);
    // The user-information reply body (status 200 only).
    void userInfoReceived(const QString &json);

private slots:
    void triggerUploadOneFileFinished(int consumeTime, bool bExists);
    void triggerCommitTask(bool ok);
    void triggerQuery(QNetworkReply *reply);
    void triggerDownload(QNetworkReply *reply);
    void triggertimerDone();
    void triggerOssGetDownloadUrl(QNetworkReply *reply);
    void triggerOssDowndResult(QNetworkReply *reply);
    void triggerGetUserInfoFinished(QNetworkReply *reply);

private:
    using ReplySlot = void (KvHttp::*)(QNetworkReply *);
    QNetworkReply *postJson(const QString &path, const QJsonObject &body, ReplySlot slot);
    void requestDownloadUrl(const QString &key);
    void failJob();
    // Reads the reply, schedules it and its manager for deletion. False for a
    // reply of an earlier job, which must not touch the current one.
    bool takeReply(QNetworkReply *reply, int *status, QByteArray *body);

    bool m_cancelled = false;
    int m_serviceType = -1;
    QList<UploadFile> m_files;
    QString m_clientType;
    QString m_appKey;
    QString m_appSecret;
    QString m_sessionId;
    QString m_baseUrl;
    int m_pendingUploads = 0;
    QString m_product;
    QString m_jobId;
    QByteArray m_resultData;
    QByteArray m_previewData;
    int m_downloadStage = 0;
    JobState m_jobState = Idle;
    QString m_resultKey;
    QString m_failureReason;
    bool m_unreachable = false;
    QString m_previewKey;
    QString m_downloadUrl;
    int m_uploadMillis = 0;
    QElapsedTimer m_stopwatch;
    QTimer *m_pollTimer = nullptr;
    std::unique_ptr<KvHttpUploadInterface> m_uploader;
    quint64 m_jobSerial = 0;
    int m_userInfoTimeoutMs = 15000;
    int m_pollIntervalMs = 2000;
};
