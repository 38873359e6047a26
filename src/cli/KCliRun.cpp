#include "KCliRun.h"

#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include "app/MemoryReuse.h"
#include "cli/KCliCommand.h"
#include "cli/KCliReporter.h"

KCliRun::KCliRun(KCliCommand *command, const QString &outputDir, int jobs, KCliReporter *reporter,
    QObject *parent)
    : QObject(parent)
    , m_command(command)
    , m_outputDir(outputDir)
    , m_jobs(jobs)
    , m_reporter(reporter)
{
    registerWorkerMetaTypes();
    m_pool.setMaxThreadCount(jobs);
    // Reasons are looked for one at a time beside the work; failures are rare.
    m_diagnosisPool.setMaxThreadCount(1);
}

KCliRun::~KCliRun()
{
    m_pool.clear();
    for (const QPointer<QThread> &thread : qAsConst(m_threads)) {
        if (thread) {
            thread->requestInterruption();
            thread->wait();
        }
    }
    m_pool.waitForDone();
    m_diagnosisPool.waitForDone();
}

int KCliRun::addInput(const QString &path)
{
    Row row;
    row.input = path;
    row.partOutputs.resize(1);
    m_rows.append(row);
    return m_rows.size() - 1;
}

void KCliRun::addFailedInput(const QString &input, const QString &reason)
{
    const int row = addInput(input);
    m_rows[row].knownReason = reason;
    m_rows[row].done = true; // reported by start(), before any work
}

QVector<QPair<QString, int>> KCliRun::pendingInputs() const
{
    QVector<QPair<QString, int>> pending;
    for (int i = 0; i < m_rows.size(); ++i) {
        if (!m_rows[i].done)
            pending.append({ m_rows[i].input, i });
    }
    return pending;
}

void KCliRun::setParts(int row, int parts)
{
    Row &r = m_rows[row];
    r.parts = qMax(1, parts);
    r.partOutputs.resize(r.parts);
}

void KCliRun::adoptThread(QThread *thread)
{
    thread->setParent(this);
    m_threads.append(thread);
}

void KCliRun::start()
{
    m_reporter->setTotal(m_rows.size());
    // Inputs that failed before any work are printed first.
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].done) {
            m_rows[i].done = false;
            completeRow(i, false, QString(), m_rows[i].knownReason);
        }
    }
    m_started = true;
    const int pending = pendingInputs().size();
    // The process ends with the run, so the batch is never ended: the
    // system takes the memory back at exit.
    if (pending > m_jobs)
        MemoryReuse::beginBatch();
    if (pending > 0)
        m_command->start(this);
    // Everything may have been settled synchronously; finish from the event
    // loop so that the caller is already waiting for finished().
    QMetaObject::invokeMethod(this, &KCliRun::checkFinished, Qt::QueuedConnection);
}

void KCliRun::failRow(int row, const QString &reason)
{
    if (m_rows[row].done)
        return;
    completeRow(row, false, QString(), reason);
}

void KCliRun::onProcessStatusChanged(const BatchResult &result) { onPartStatusChanged(result, 0); }

void KCliRun::onPartStatusChanged(const BatchResult &result, int part)
{
    if (result.index < 0 || result.index >= m_rows.size())
        return;
    if (result.status != BatchResult::Succeeded && result.status != BatchResult::Failed)
        return; // "processing": nothing to show beyond the bar
    partFinished(
        result.index, part, result.status == BatchResult::Succeeded, result.path, result.reason);
}

void KCliRun::partFinished(int row, int part, bool ok, const QString &path, const QString &reason)
{
    Row &r = m_rows[row];
    if (r.done || r.diagnosing || part < 0 || part >= r.parts)
        return;
    if (ok)
        r.partOutputs[part] = path;
    else if (!reason.isEmpty())
        r.engineReason = reason;
    if (++r.partsDone < r.parts)
        return;
    // A document counts only when every part was written (a disk that
    // fills up half way is a failure, whatever was written before); its
    // output is the first part's first file.
    for (const QString &output : qAsConst(r.partOutputs)) {
        if (output.isEmpty()) {
            rowFailed(row);
            return;
        }
    }
    completeRow(row, true, r.partOutputs.value(0), QString());
}

void KCliRun::rowFailed(int row)
{
    Row &r = m_rows[row];
    const QString known = r.engineReason.isEmpty() ? r.knownReason : r.engineReason;
    if (!known.isEmpty()) {
        completeRow(row, false, QString(), known);
        return;
    }
    r.diagnosing = true;
    ++m_diagnosing;
    const KCliCommand *command = m_command;
    const QString input = r.input;
    const QString outputDir = m_outputDir;
    KCliRun *run = this;
    m_diagnosisPool.start([command, input, outputDir, run, row]() {
        // Worker thread. The run waits for this pool before it goes, and the
        // answer is queued to the interface thread with the run as context,
        // so it is dropped if the run is gone by then.
        const QString reason = command->explainFailure(input, outputDir);
        QMetaObject::invokeMethod(
            run,
            [run, row, reason]() {
                run->m_rows[row].diagnosing = false;
                --run->m_diagnosing;
                run->completeRow(row, false, QString(), reason);
            },
            Qt::QueuedConnection);
    });
}

void KCliRun::completeRow(int row, bool ok, const QString &output, const QString &reason)
{
    Row &r = m_rows[row];
    if (r.done)
        return;
    r.done = true;
    CliRowResult result;
    result.input = r.input;
    result.ok = ok;
    result.output = output;
    result.bytes = ok ? QFileInfo(output).size() : 0;
    result.error = ok ? QString() : (reason.isEmpty() ? QStringLiteral("failed") : reason);
    if (ok)
        ++m_succeeded;
    else
        ++m_failed;
    m_reporter->rowFinished(result);
    if (m_started)
        checkFinished();
}

void KCliRun::checkFinished()
{
    if (m_finished || !m_started || m_diagnosing > 0)
        return;
    for (const Row &r : qAsConst(m_rows)) {
        if (!r.done)
            return;
    }
    m_finished = true;
    if (m_idlePoll)
        m_idlePoll->stop();
    m_reporter->summary(m_succeeded, m_failed, m_outputDir, m_interrupted);
    // Queued: the run may settle while start() is still on the stack, before
    // the caller's event loop runs, and an exit asked for then would be lost.
    const int status = exitStatus();
    QMetaObject::invokeMethod(
        this, [this, status]() { emit finished(status); }, Qt::QueuedConnection);
}

int KCliRun::exitStatus() const
{
    if (m_interrupted)
        return 130;
    return m_failed > 0 ? 1 : 0;
}

void KCliRun::interrupt()
{
    if (m_interrupted || m_finished)
        return;
    m_interrupted = true;
    m_reporter->error(QStringLiteral("interrupted: finishing the files in progress"));
    // Queued work is dropped; running work ends normally, so no file is left
    // half written.
    m_pool.clear();
    for (const QPointer<QThread> &thread : qAsConst(m_threads)) {
        if (thread)
            thread->requestInterruption();
    }
    m_idlePoll = new QTimer(this);
    m_idlePoll->setInterval(50);
    connect(m_idlePoll, &QTimer::timeout, this, &KCliRun::waitForIdleAfterInterrupt);
    m_idlePoll->start();
}

void KCliRun::waitForIdleAfterInterrupt()
{
    if (m_pool.activeThreadCount() > 0)
        return;
    for (const QPointer<QThread> &thread : qAsConst(m_threads)) {
        if (thread && thread->isRunning())
            return;
    }
    m_idlePoll->stop();
    // Reports the workers posted before they ended are delivered before this
    // queued call; whatever has no result by then was never processed.
    QMetaObject::invokeMethod(
        this,
        [this]() {
            for (int i = 0; i < m_rows.size(); ++i) {
                Row &r = m_rows[i];
                if (r.done || r.diagnosing)
                    continue;
                r.done = false;
                completeRow(i, false, QString(), QStringLiteral("not processed: interrupted"));
            }
            checkFinished();
        },
        Qt::QueuedConnection);
}
