#pragma once

#include "online/KvHttpUploadInterface.h"

class QNetworkReply;

// Object-storage upload: asks the service for a presigned URL for a fresh
// object key, then PUTs the bytes there. Interface thread; owned by KvHttp.
class KvHttpUploadOss : public KvHttpUploadInterface
{
    Q_OBJECT
public:
    KvHttpUploadOss(KvHttp *owner, const QString &baseUrl, const QString &category);

    void upload(const QList<UploadFile> &files) override;
    void cancel() override;

    // category/<md5><{uuid}><seconds>/<six hex of the uuid>.<suffix>
    static QString objectKey(
        const QString &category, const UploadFile &file, const QString &uuid, qint64 seconds);

private slots:
    void triggerStartUpload(QNetworkReply *reply);
    void triggerUploadFinished(QNetworkReply *reply);

private:
    QString m_category;
};
