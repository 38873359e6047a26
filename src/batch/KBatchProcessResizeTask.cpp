#include "KBatchProcessResizeTask.h"

#include <QFile>

#include "app/FileUtils.h"
#include "batch/BatchNaming.h"
#include "codec/ImageFormats.h"
#include "codec/KImageWrapper.h"
#include "codec/SystemImageEncoder.h"

KBatchProcessResizeTask::KBatchProcessResizeTask(const QString &runFolder,
                                                 const QVector<QPair<QString, int>> &files,
                                                 const ResizeParams &params, int outputFormat)
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
                                    written.isEmpty() ? BatchResult::Failed : BatchResult::Succeeded,
                                    written });
    }
}

QString KBatchProcessResizeTask::resizeOne(const QString &path) const
{
    const QString ext = outputExtension(m_outputFormat);
    const ImageFormatRecord *format = ImageFormats::global().formatForExtension(ext);
    if (ext.isEmpty() || format->type < 0)
        return QString();
    KImageWrapper wrapper;
    if (!wrapper.load(path) || wrapper.loadState() != KImageWrapper::Loaded)
        return QString();
    const QImage frame = wrapper.frameAt(0);
    const QSize target = m_params.targetFor(frame.size());
    if (target.width() <= 0 || target.height() <= 0)
        return QString();
    QImage scaled = frame.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (scaled.isNull())
        return QString();
    if (format->type == ImageFormatBmp || format->type == ImageFormatJpeg)
        scaled = flattenedOntoWhite(scaled);

    // A reserved name is never handed to another task; the encoder writes
    // through a temporary sibling, so a failure leaves nothing behind.
    const QString output = reserveUniqueFilePath(m_runFolder, BatchNaming::outputName(path, ext), ext);
    if (output.isEmpty())
        return QString();
    if (!saveWithSystemEncoder(scaled, format->type, output)) {
        QFile::remove(output);
        return QString();
    }
    return output;
}
