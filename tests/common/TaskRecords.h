#pragma once

#include <QByteArray>
#include <QObject>
#include <QTest>
#include <QVector>

#include "app/BatchResult.h"
#include "codec/OutputFormat.h"

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

// Every output format as a test row: the format, the name the toolkit's
// reader gives it, and whether it keeps transparency (JPG and BMP put it on
// white).
inline void addOutputFormatRows()
{
    QTest::addColumn<OutputFormat>("format");
    QTest::addColumn<QByteArray>("readerFormat");
    QTest::addColumn<bool>("keepsAlpha");
    QTest::newRow("JPG: white where transparent")
        << OutputFormat::Jpg << QByteArray("jpeg") << false;
    QTest::newRow("PNG") << OutputFormat::Png << QByteArray("png") << true;
    QTest::newRow("BMP: white where transparent")
        << OutputFormat::Bmp << QByteArray("bmp") << false;
    QTest::newRow("WEBP") << OutputFormat::Webp << QByteArray("webp") << true;
    QTest::newRow("TIF") << OutputFormat::Tif << QByteArray("tiff") << true;
}
