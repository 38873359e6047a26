#include "KBatchProcessResizeTask.h"

#include "batch/BatchOutput.h"
#include "codec/ImageLimits.h"

KBatchProcessResizeTask::KBatchProcessResizeTask(const QString &runFolder,
    const QVector<QPair<QString, int>> &files, const ResizeParams &params, int outputFormat)
    : m_runFolder(runFolder)
    , m_files(files)
    , m_params(params)
    , m_outputFormat(outputFormat)
{
    registerWorkerMetaTypes();
}

void KBatchProcessResizeTask::run()
{
    for (const auto &file : m_files) {
        emit processStatusChanged({ file.second, BatchResult::Processing, QString() });
        const QString written = resizeOne(file.first);
        emit processStatusChanged({ file.second,
            written.isEmpty() ? BatchResult::Failed : BatchResult::Succeeded, written });
    }
}

QString KBatchProcessResizeTask::resizeOne(const QString &path) const
{
    const QImage frame = BatchOutput::firstFrame(path);
    const QSize target = m_params.targetFor(frame.size());
    if (frame.isNull() || target.width() <= 0 || target.height() <= 0)
        return QString();
    // The scaler would allocate the target whatever its size.
    if (!ImageLimits::sizeAllowed(target.width(), target.height()))
        return QString();
    const QImage scaled = frame.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return BatchOutput::write(scaled, m_runFolder, path, m_outputFormat);
}
