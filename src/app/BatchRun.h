#pragma once

#include <QHash>
#include <QObject>
#include <QPair>
#include <QStringList>
#include <QVector>

#include "app/BatchResult.h"

// The files of one batch tool and the run over them: which files are listed,
// the state, output and reason of each, and whether a run is going on.
//
// Workers are told each file's run id (its row when the run started) and
// send it back in BatchResult::index; the run maps that id to the file, not
// to whatever row now holds that position, so a row deleted during the run
// never moves a result onto its neighbour. A run ends once, when every file
// it started with has a final record (and any extra steps a view announced
// are done).
//
// While a run goes on the list is locked: nothing can be added or cleared,
// and only files whose record is final can be removed.
//
// Lives in the interface thread; records reach it through the owner's
// queued connections. Owned by the file list (or by the command-line run).
class BatchRun : public QObject
{
    Q_OBJECT
public:
    explicit BatchRun(QObject *parent = nullptr);
    ~BatchRun() override;

    // The list.
    QStringList files() const;
    int count() const { return m_entries.size(); }
    int rowOf(const QString &path) const;
    // The record shown for row (index = the row); a default record outside.
    BatchResult result(int row) const;
    // Adds the paths not yet listed, in order; returns those added. Nothing
    // is added during a run.
    QStringList add(const QStringList &paths);
    // Whether row may go now: always between runs, during a run only when
    // its record is final.
    bool canRemove(int row) const;
    bool remove(int row);
    // Empties the list; refused (false) during a run.
    bool clear();

    // The run.
    bool isRunning() const { return m_running; }
    // Starts a run over every listed file: each gets run id = its row and
    // the record "processing". False (and nothing changes) when the list is
    // empty or a run is already going on.
    bool start();
    // Creates the run folder name under parent (never reusing an existing
    // entry) and starts the run. Empty, with why in error, when the folder
    // cannot be made: then nothing starts and every row keeps its state.
    QString startInFolder(const QString &parent, const QString &name, QString *error);
    QString runFolder() const { return m_runFolder; }
    // The row now showing the file with runId in the current run; -1 when it
    // is gone or there is no run.
    int rowOfRunId(int runId) const;
    // (path, run id) of the files of the current run still listed, in row order.
    QVector<QPair<QString, int>> runFiles() const;

    // A worker's record; index is the run id. Records for files no longer
    // listed, for ids of no run, and "processing" after a final record are
    // dropped. A second final record replaces the first (a combined
    // document that fails after its pages were added) but is not counted
    // again.
    void apply(const BatchResult &record);
    // Sets row's record directly (between runs: the list's own states).
    void setRowResult(int row, const BatchResult &record);
    // Work of the run that is not a file (writing a combined document):
    // the run does not end while any is open.
    void beginStep();
    void endStep();

    int succeededCount() const { return m_succeeded; }
    int failedCount() const { return m_failed; }

signals:
    // A row's record changed (result.index = the row now).
    void resultChanged(int row, const BatchResult &result);
    // A run began (true) or ended (false): the owner locks or unlocks its controls.
    void runningChanged(bool running);
    // Emitted once per run, after the last record.
    void finished(int succeeded, int failed);

private:
    struct Entry
    {
        QString path;
        int runId = -1; // -1: not part of the current run
        BatchResult result;
    };

    void checkEnd();
    void endMemoryReuse();

    QVector<Entry> m_entries;
    QHash<QString, int> m_listed; // path -> nothing; quick duplicate test
    QString m_runFolder;
    bool m_running = false;
    bool m_reusingMemory = false; // MemoryReuse::beginBatch() for this run
    int m_outstanding = 0; // run files without a final record yet
    int m_openSteps = 0;
    int m_succeeded = 0;
    int m_failed = 0;
};
