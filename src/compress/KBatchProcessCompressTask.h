#pragma once

#include <QObject>
#include <QRunnable>

#include "app/BatchResult.h"
#include "compress/BatchCompressParams.h"

// Compresses one group of files (same base name) one after the other, so
// that their outputs get distinct names. Created on the interface thread, run
// once on the view's pool, deleted by the pool; reports per file through
// processStatusChanged, queued to the view.
class KBatchProcessCompressTask : public QObject, public QRunnable
{
    Q_OBJECT
public:
    explicit KBatchProcessCompressTask(const BatchCompressParams &params);

    void run() override;

signals:
    void processStatusChanged(const BatchResult &result);

private:
    bool compressOne(const QString &source, QString *written, QString *error);

    const BatchCompressParams m_params;
};
