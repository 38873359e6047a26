#pragma once

#include <memory>

#include <QObject>
#include <QPair>
#include <QString>
#include <QVector>

class KCliOnlineCommand;
class KCliRun;
class KvHttp;
class QImage;
class QTimer;

// Runs a command-line run's inputs through the online service, strictly one
// job at a time, each with the same time limit as the recognition views.
// Every file ends in its own row: written, or failed with the reason (a file
// that cannot be decoded, a job the service failed or never finished, a
// result that cannot be written); the run then goes on with the next file.
//
// Lives on the interface thread as a child of the run; the client and its
// timer are its own.
class KCliOnlineJobs : public QObject
{
    Q_OBJECT
public:
    KCliOnlineJobs(KCliOnlineCommand *command, KCliRun *run);
    ~KCliOnlineJobs() override;

    void start();

    // The user identifier sent with recognition jobs: the stored login, or
    // "cli" when nobody is logged in.
    static QString cliUserId();

private slots:
    void onDownloadSuccess();
    void onProgressError();
    void onProcessFinished(int code);
    void onTimeout();

private:
    // Frame 0 of path, or why it cannot be had.
    static QString decodeFirstFrame(const QString &path, QImage *frame);
    void startNext();
    void finishCurrent(bool ok, const QString &output, const QString &reason);
    bool stillPending(int row) const;

    KCliOnlineCommand *const m_command;
    KCliRun *const m_run;
    std::unique_ptr<KvHttp> m_client;
    QTimer *m_timeout = nullptr;
    QVector<QPair<QString, int>> m_queue;
    int m_next = 0;
    bool m_busy = false;
    QString m_currentPath;
    int m_currentRow = -1;
};
