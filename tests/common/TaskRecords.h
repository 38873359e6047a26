#pragma once

#include <QObject>
#include <QVector>

#include "app/BatchResult.h"

// Runs a batch task (a QRunnable with a processStatusChanged(BatchResult)
// signal) to its end in the calling thread and returns every record it sent,
// in order.
template <typename Task> QVector<BatchResult> recordRun(Task &task)
{
    QVector<BatchResult> records;
    const QMetaObject::Connection connection = QObject::connect(&task, &Task::processStatusChanged,
        [&records](const BatchResult &r) { records.append(r); });
    task.run();
    QObject::disconnect(connection);
    return records;
}

// The final records (succeeded or failed) among them, in order.
inline QVector<BatchResult> finalRecords(const QVector<BatchResult> &records)
{
    QVector<BatchResult> finals;
    for (const BatchResult &r : records) {
        if (BatchResult::isFinal(r.status))
            finals.append(r);
    }
    return finals;
}
