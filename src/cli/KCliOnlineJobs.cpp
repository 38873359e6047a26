#include "KCliOnlineJobs.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTimer>

#include "app/BatchResult.h"
#include "app/PSettings.h"
#include "cli/FailureReasons.h"
#include "cli/KCliOnlineCommand.h"
#include "cli/KCliRun.h"
#include "codec/KImageWrapper.h"
#include "online/KvHttp.h"
#include "online/OnlineUploads.h"
#include "online/ServiceEndpoint.h"
#include "online/UploadFile.h"

KCliOnlineJobs::KCliOnlineJobs(KCliOnlineCommand *command, KCliRun *run)
    : QObject(run)
    , m_command(command)
    , m_run(run)
{
    m_timeout = new QTimer(this);
    m_timeout->setSingleShot(true);
    m_timeout->setInterval(KCliOnlineCommand::jobTimeoutMs());
    connect(m_timeout, &QTimer::timeout, this, &KCliOnlineJobs::onTimeout);
}

KCliOnlineJobs::~KCliOnlineJobs() = default;

QString KCliOnlineJobs::cliUserId()
{
    const QString stored = PSettings().userId();
    return stored.isEmpty() ? QStringLiteral("cli") : stored;
}

void KCliOnlineJobs::start()
{
    m_queue = m_run->pendingInputs();
    QStringList inputs;
    for (const auto &entry : qAsConst(m_queue))
        inputs.append(entry.first);
    m_command->beginRun(inputs);

    const QString url = ServiceEndpoint::baseUrl();
    if (url.isEmpty()) {
        for (const auto &entry : qAsConst(m_queue))
            m_run->failRow(entry.second,
                QStringLiteral("the online service is not available (set QUORVEL_SERVICE_URL "
                               "or install quorvel-service beside quorvel-cli)"));
        return;
    }
    // Read once: the command line never logs in or out during a run.
    const QString userId = cliUserId();
    KvHttp::setUserIdSource([userId]() { return userId; });
    m_client.reset(new KvHttp(m_command->serviceType()));
    m_client->setBaseUrl(url);
    connect(m_client.get(), &KvHttp::downloadSuccess, this, &KCliOnlineJobs::onDownloadSuccess);
    connect(m_client.get(), &KvHttp::progressError, this, &KCliOnlineJobs::onProgressError);
    connect(m_client.get(), &KvHttp::processFinished, this, &KCliOnlineJobs::onProcessFinished);
    startNext();
}

bool KCliOnlineJobs::stillPending(int row) const
{
    // An interrupted run settles the rows it did not reach by itself.
    for (const auto &entry : m_run->pendingInputs()) {
        if (entry.second == row)
            return true;
    }
    return false;
}

QString KCliOnlineJobs::decodeFirstFrame(const QString &path, QImage *frame)
{
    KImageWrapper wrapper;
    if (!wrapper.load(path) || wrapper.loadState() != KImageWrapper::Loaded
        || wrapper.frameCount() == 0) {
        return wrapper.errorString().isEmpty() ? QStringLiteral("cannot be decoded")
                                               : wrapper.errorString();
    }
    *frame = wrapper.frameAt(0);
    return frame->isNull() ? QStringLiteral("not enough memory for the image") : QString();
}

void KCliOnlineJobs::startNext()
{
    while (m_next < m_queue.size()) {
        const QString path = m_queue[m_next].first;
        const int row = m_queue[m_next].second;
        ++m_next;
        if (!stillPending(row))
            continue;
        QString reason = FailureReasons::fileProblem(path);
        QImage image;
        if (reason.isEmpty())
            reason = decodeFirstFrame(path, &image);
        if (!reason.isEmpty()) {
            m_run->failRow(row, reason);
            continue;
        }
        const QSize target = m_command->uploadSize(image.size(), QFileInfo(path).size());
        const UploadFile file = OnlineUploads::prepareUpload(path, image, target);
        if (file.name.isEmpty()) {
            m_run->failRow(row, QStringLiteral("cannot be read"));
            continue;
        }
        m_currentPath = path;
        m_currentRow = row;
        m_busy = true;
        BatchResult processing;
        processing.index = row;
        processing.status = BatchResult::Processing;
        m_run->onProcessStatusChanged(processing);
        m_timeout->start();
        m_client->startJob({ file });
        return;
    }
}

void KCliOnlineJobs::finishCurrent(bool ok, const QString &output, const QString &reason)
{
    m_busy = false;
    m_timeout->stop();
    if (ok) {
        BatchResult done;
        done.index = m_currentRow;
        done.status = BatchResult::Succeeded;
        done.path = output;
        m_run->onProcessStatusChanged(done);
    } else {
        m_run->failRow(m_currentRow, reason);
    }
    // From the event loop: the client is still inside its reply handler.
    QMetaObject::invokeMethod(this, &KCliOnlineJobs::startNext, Qt::QueuedConnection);
}

void KCliOnlineJobs::onDownloadSuccess()
{
    if (!m_busy)
        return;
    QString error;
    const QString output
        = m_command->writeResult(m_currentPath, m_client->resultData(), m_run->outputDir(), &error);
    finishCurrent(!output.isEmpty(), output, error);
}

void KCliOnlineJobs::onProgressError()
{
    if (!m_busy)
        return;
    const QString reason = m_client->failureReason();
    finishCurrent(false, QString(),
        reason.isEmpty()
            ? QStringLiteral("the online service could not be reached or did not complete the job")
            : QStringLiteral("the online service failed the job: %1").arg(reason));
}

void KCliOnlineJobs::onProcessFinished(int code)
{
    if (!m_busy)
        return;
    const QString reason = m_client->failureReason();
    QString text = QStringLiteral("the online service failed the job (code %1)").arg(code);
    if (!reason.isEmpty())
        text += QStringLiteral(": ") + reason;
    finishCurrent(false, QString(), text);
}

void KCliOnlineJobs::onTimeout()
{
    if (!m_busy)
        return;
    m_client->setCancelled(true);
    finishCurrent(false, QString(),
        QStringLiteral("the online service did not finish within %1 seconds")
            .arg(qMax(1, KCliOnlineCommand::jobTimeoutMs() / 1000)));
}
