#include "BatchRun.h"

#include <QThread>

#include "app/FileUtils.h"
#include "app/MemoryReuse.h"

BatchRun::BatchRun(QObject *parent)
    : QObject(parent)
{
    registerWorkerMetaTypes();
}

BatchRun::~BatchRun() { endMemoryReuse(); }

void BatchRun::endMemoryReuse()
{
    if (m_reusingMemory)
        MemoryReuse::endBatch();
    m_reusingMemory = false;
}

QStringList BatchRun::files() const
{
    QStringList paths;
    paths.reserve(m_entries.size());
    for (const Entry &e : m_entries)
        paths << e.path;
    return paths;
}

int BatchRun::rowOf(const QString &path) const
{
    if (!m_listed.contains(path))
        return -1;
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].path == path)
            return i;
    }
    return -1;
}

BatchResult BatchRun::result(int row) const
{
    if (row < 0 || row >= m_entries.size())
        return BatchResult();
    BatchResult r = m_entries[row].result;
    r.index = row;
    return r;
}

QStringList BatchRun::add(const QStringList &paths)
{
    QStringList added;
    if (m_running)
        return added;
    for (const QString &path : paths) {
        if (path.isEmpty() || m_listed.contains(path))
            continue;
        Entry e;
        e.path = path;
        e.result.index = m_entries.size();
        m_entries.append(e);
        m_listed.insert(path, 0);
        added << path;
    }
    return added;
}

bool BatchRun::canRemove(int row) const
{
    if (row < 0 || row >= m_entries.size())
        return false;
    return !m_running || m_entries[row].runId < 0
        || BatchResult::isFinal(m_entries[row].result.status);
}

bool BatchRun::remove(int row)
{
    if (!canRemove(row))
        return false;
    m_listed.remove(m_entries[row].path);
    m_entries.removeAt(row);
    return true;
}

bool BatchRun::clear()
{
    if (m_running)
        return false;
    m_entries.clear();
    m_listed.clear();
    return true;
}

bool BatchRun::start()
{
    if (m_running || m_entries.isEmpty())
        return false;
    m_running = true;
    m_outstanding = m_entries.size();
    m_openSteps = 0;
    m_succeeded = 0;
    m_failed = 0;
    for (int i = 0; i < m_entries.size(); ++i) {
        m_entries[i].runId = i;
        m_entries[i].result = BatchResult { i, BatchResult::Processing, QString(), QString() };
    }
    // More files than the workers of a tool (one per core) can take at once:
    // each worker's next file reuses the memory of its last.
    m_reusingMemory = m_entries.size() > QThread::idealThreadCount();
    if (m_reusingMemory)
        MemoryReuse::beginBatch();
    emit runningChanged(true);
    for (int i = 0; i < m_entries.size(); ++i)
        emit resultChanged(i, m_entries[i].result);
    return true;
}

QString BatchRun::startInFolder(const QString &parent, const QString &name, QString *error)
{
    if (m_running || m_entries.isEmpty()) {
        if (error)
            *error = m_running ? QStringLiteral("a run is already going on")
                               : QStringLiteral("there are no files to process");
        return QString();
    }
    const QString folder = uniqueDirPath(parent, name, error);
    if (folder.isEmpty())
        return QString();
    m_runFolder = folder;
    start();
    return folder;
}

QVector<QPair<QString, int>> BatchRun::runFiles() const
{
    QVector<QPair<QString, int>> files;
    for (const Entry &e : m_entries) {
        if (e.runId >= 0)
            files.append({ e.path, e.runId });
    }
    return files;
}

int BatchRun::rowOfRunId(int runId) const
{
    if (runId < 0 || !m_running)
        return -1;
    // Rows only ever move up when earlier rows go, so the file is at or
    // before the row it started on.
    for (int i = qMin(runId, m_entries.size() - 1); i >= 0; --i) {
        if (m_entries[i].runId == runId)
            return i;
    }
    return -1;
}

void BatchRun::apply(const BatchResult &record)
{
    if (!m_running)
        return;
    const int row = rowOfRunId(record.index);
    if (row < 0)
        return;
    Entry &e = m_entries[row];
    const bool wasFinal = BatchResult::isFinal(e.result.status);
    const bool isFinal = BatchResult::isFinal(record.status);
    if (wasFinal && !isFinal)
        return;
    e.result = record;
    e.result.index = row;
    if (isFinal && record.status == BatchResult::Failed && e.result.reason.isEmpty())
        e.result.reason = QStringLiteral("could not be processed");
    if (isFinal) {
        if (wasFinal) {
            // A second word on the same file: move it between the counts.
            if (record.status == BatchResult::Failed) {
                m_succeeded = qMax(0, m_succeeded - 1);
                ++m_failed;
            } else {
                m_failed = qMax(0, m_failed - 1);
                ++m_succeeded;
            }
        } else {
            --m_outstanding;
            if (record.status == BatchResult::Succeeded)
                ++m_succeeded;
            else
                ++m_failed;
        }
    }
    emit resultChanged(row, e.result);
    checkEnd();
}

void BatchRun::setRowResult(int row, const BatchResult &record)
{
    if (row < 0 || row >= m_entries.size() || m_running)
        return;
    m_entries[row].result = record;
    m_entries[row].result.index = row;
    emit resultChanged(row, m_entries[row].result);
}

void BatchRun::beginStep()
{
    if (m_running)
        ++m_openSteps;
}

void BatchRun::endStep()
{
    if (!m_running || m_openSteps == 0)
        return;
    --m_openSteps;
    checkEnd();
}

void BatchRun::checkEnd()
{
    if (!m_running || m_outstanding > 0 || m_openSteps > 0)
        return;
    m_running = false;
    endMemoryReuse();
    for (Entry &e : m_entries)
        e.runId = -1;
    emit runningChanged(false);
    emit finished(m_succeeded, m_failed);
}
