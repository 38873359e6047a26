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
        emit processStatusChanged({ file.second, BatchResult::Processing, QString(), QString() });
        QString error;
        const QString written = resizeOne(file.first, &error);
        if (written.isEmpty())
            emit processStatusChanged({ file.second, BatchResult::Failed, QString(), error });
        else
            emit processStatusChanged({ file.second, BatchResult::Succeeded, written, QString() });
    }
}

QString KBatchProcessResizeTask::resizeOne(const QString &path, QString *error) const
{
    const QImage frame = BatchOutput::firstFrame(path, error);
    if (frame.isNull())
        return QString();
    const QSize target = m_params.targetFor(frame.size());
    if (target.width() <= 0 || target.height() <= 0) {
        *error = QStringLiteral("%1 x %2 pixels resized gives %3 x %4, an empty image")
                     .arg(frame.width())
                     .arg(frame.height())
                     .arg(target.width())
                     .arg(target.height());
        return QString();
    }
    if (!ImageLimits::sizeAllowed(target.width(), target.height())) {
        *error = QStringLiteral("too large: %1 x %2 pixels (the limit is %3 pixels)")
                     .arg(target.width())
                     .arg(target.height())
                     .arg(ImageLimits::kMaxPixels);
        return QString();
    }
    const QImage scaled = frame.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return BatchOutput::write(scaled, m_runFolder, path, m_outputFormat, error);
}
