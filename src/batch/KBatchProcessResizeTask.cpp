#include "KBatchProcessResizeTask.h"

#include "batch/BatchOutput.h"
#include "codec/ImageLimits.h"

KBatchProcessResizeTask::KBatchProcessResizeTask(const QString &runFolder,
    const QVector<QPair<QString, int>> &files, const ResizeParams &params,
    OutputFormat outputFormat)
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
    // The target follows from the picture's full size; a JPEG is then decoded
    // at the smallest of libjpeg's 1/8 steps that keeps twice the target, and
    // the smooth scaling does the rest from there. With less than twice, that
    // last step would blur more than averaging the full picture down does.
    const ResizeParams params = m_params;
    QSize full;
    QImage frame = BatchOutput::firstFrame(path, error, [&full, params](const QSize &size) {
        full = size;
        const QSize target = params.targetFor(size);
        return target.isValid() ? (target * 2).boundedTo(size) : target;
    });
    if (frame.isNull())
        return QString();
    const QSize source = full.isValid() ? full : frame.size();
    const QSize target = m_params.targetFor(source);
    if (target.width() <= 0 || target.height() <= 0) {
        *error = QStringLiteral("%1 x %2 pixels resized gives %3 x %4, an empty image")
                     .arg(source.width())
                     .arg(source.height())
                     .arg(target.width())
                     .arg(target.height());
        return QString();
    }
    // The scaler would allocate the target whatever its size.
    if (!ImageLimits::sizeAllowed(target.width(), target.height())) {
        *error = ImageLimits::tooLargeReason(target.width(), target.height());
        return QString();
    }
    if (frame.size() == target)
        return BatchOutput::write(frame, m_runFolder, path, m_outputFormat, error);
    const QImage scaled = frame.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    frame = QImage(); // not held through the encode
    return BatchOutput::write(scaled, m_runFolder, path, m_outputFormat, error);
}
