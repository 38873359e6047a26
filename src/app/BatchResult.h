#pragma once

#include <QMetaType>
#include <QString>

// Status record every batch worker emits per file, by value through queued
// signals, to the view that owns the file list.
struct BatchResult
{
    // Values are flags of old and stay as they are: 1, 2, 4, 8.
    enum Status { NotStarted = 1, Processing = 2, Succeeded = 4, Failed = 8 };

    int index = -1; // row of the file in the view's list when the run started
    Status status = NotStarted;
    QString path; // the written output (empty until there is one)
    // Failed records: why, in one plain line for the user ("truncated",
    // "the disk is full", ...). Empty otherwise.
    QString reason;

    static bool isFinal(Status status) { return status == Succeeded || status == Failed; }
};

Q_DECLARE_METATYPE(BatchResult)
Q_DECLARE_METATYPE(BatchResult::Status)

// Per-file progress of a multi-page job (PDF pages to images).
struct ProcessProgress
{
    int index = -1; // row of the file
    int value = 0; // percent of the file's selected pages handled, 0..100
};

Q_DECLARE_METATYPE(ProcessProgress)

// Registers "BatchResult" and "ProcessProgress" for queued connections.
// Idempotent; called before any worker can emit.
void registerWorkerMetaTypes();
