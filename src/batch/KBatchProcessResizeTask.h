#pragma once

#include <QObject>
#include <QPair>
#include <QRunnable>
#include <QVector>

#include "app/BatchResult.h"
#include "batch/ResizeParams.h"
#include "codec/OutputFormat.h"

// Resizes one group of files (same base name) one after the other into the
// run folder. Created on the interface thread, run once on the page's pool and
// deleted by it; reports per file through processStatusChanged (queued).
class KBatchProcessResizeTask : public QObject, public QRunnable
{
    Q_OBJECT
public:
    KBatchProcessResizeTask(const QString &runFolder, const QVector<QPair<QString, int>> &files,
        const ResizeParams &params, OutputFormat outputFormat);

    void run() override;

signals:
    void processStatusChanged(const BatchResult &result);

private:
    QString resizeOne(const QString &path, QString *error) const;

    const QString m_runFolder;
    const QVector<QPair<QString, int>> m_files;
    const ResizeParams m_params;
    const OutputFormat m_outputFormat;
};
