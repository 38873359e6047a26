#pragma once

#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QThreadPool>
#include <QVector>

#include "app/BatchResult.h"

class KCliCommand;
class KCliReporter;
class QThread;
class QTimer;

// One run of a command over its inputs. The command hands the inputs to the
// engines; their reports come back here queued, one input (row) at a time,
// possibly in several parts (the page slices of one PDF). A failed row is
// reported with the reason its engine gave; only an engine that gave none
// leaves the command to look for one, on a worker thread. When every row has
// its final result the run prints the summary and emits finished(status).
//
// Lives in the interface thread. Owns the engines' pool and, as their
// parent, every engine thread a command starts; the destructor waits for all
// of them, so no report can outlive the run.
class KCliRun : public QObject
{
    Q_OBJECT
public:
    KCliRun(KCliCommand *command, const QString &outputDir, int jobs, KCliReporter *reporter,
        QObject *parent = nullptr);
    ~KCliRun() override;

    // An input that needs work; returns its row.
    int addInput(const QString &path);
    // An input that failed before any work (missing file, empty folder).
    void addFailedInput(const QString &input, const QString &reason);

    // Lets the command start the engines; the result arrives through finished().
    void start();
    bool isFinished() const { return m_finished; }

    // For the commands (interface thread).
    QString outputDir() const { return m_outputDir; }
    int jobs() const { return m_jobs; }
    QThreadPool *pool() { return &m_pool; }
    // (path, row) of the inputs that still need work, in row order.
    QVector<QPair<QString, int>> pendingInputs() const;
    // The row reports in this many parts (default 1), each ending with 4 or 8.
    void setParts(int row, int parts);
    // Fails the row at once with a known reason.
    void failRow(int row, const QString &reason);
    // Parents an engine thread to the run, which waits for it at the end.
    void adoptThread(QThread *thread);

    // Exit status: 0 every input succeeded, 1 some failed, 130 interrupted.
    int exitStatus() const;

public slots:
    // A report of part 0 of result.index.
    void onProcessStatusChanged(const BatchResult &result);
    void onPartStatusChanged(const BatchResult &result, int part);
    // Stops queued work, lets running work end, then finishes (Ctrl-C).
    void interrupt();

signals:
    void finished(int exitStatus);

private:
    struct Row
    {
        QString input;
        int parts = 1;
        int partsDone = 0;
        QVector<QString> partOutputs; // by part; empty where that part failed
        bool done = false;
        bool diagnosing = false;
        QString knownReason;
        QString engineReason; // what the engine said about a failed part
    };

    void partFinished(int row, int part, bool ok, const QString &path, const QString &reason);
    void rowFailed(int row);
    void completeRow(int row, bool ok, const QString &output, const QString &reason);
    void checkFinished();
    void waitForIdleAfterInterrupt();

    KCliCommand *const m_command;
    const QString m_outputDir;
    const int m_jobs;
    KCliReporter *const m_reporter;
    QVector<Row> m_rows;
    QThreadPool m_pool;
    QThreadPool m_diagnosisPool;
    QVector<QPointer<QThread>> m_threads;
    int m_diagnosing = 0;
    int m_succeeded = 0;
    int m_failed = 0;
    bool m_started = false;
    bool m_interrupted = false;
    bool m_finished = false;
    QTimer *m_idlePoll = nullptr;
};
