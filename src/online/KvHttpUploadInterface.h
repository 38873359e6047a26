#pragma once

#include <QList>
#include <QObject>

#include "online/UploadFile.h"

class KvHttp;

// Uploads the input file of a job to object storage and reports once with
// uploadFinished(bool). Interface thread; owned by its KvHttp, which replaces it
// with each job (destroying an uploader drops its requests in flight).
class KvHttpUploadInterface : public QObject
{
    Q_OBJECT
public:
    KvHttpUploadInterface(KvHttp *owner, const QString &baseUrl);

    virtual void upload(const QList<UploadFile> &files) = 0;
    virtual void cancel() = 0;

    QString uploadedKey() const { return m_objectKey; }
    // True when the upload failed because the service or the storage could
    // not be reached at all (no HTTP answer), not because it refused.
    bool unreachable() const { return m_unreachable; }

signals:
    void signals_picUpload(int consumeTime, bool bExists);
    void uploadFinished(bool ok);

protected:
    bool m_cancelled = false;
    bool m_unreachable = false;
    QString m_baseUrl;
    int m_currentIndex = 0;
    QString m_objectKey;
    QList<UploadFile> m_files;
    KvHttp *m_owner = nullptr;
};
