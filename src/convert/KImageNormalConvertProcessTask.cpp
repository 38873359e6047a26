#include "KImageNormalConvertProcessTask.h"

#include <QFileInfo>

#include "codec/ImageFormats.h"
#include "codec/KImageWrapper.h"

KImageNormalConvertProcessTask::KImageNormalConvertProcessTask(
    const QString &outputDir, int row, const QString &sourcePath, OutputFormat outputFormat)
    : m_outputDir(outputDir)
    , m_row(row)
    , m_sourcePath(sourcePath)
    , m_outputFormat(outputFormat)
{
    registerWorkerMetaTypes();
}

QString KImageNormalConvertProcessTask::baseNameOf(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

void KImageNormalConvertProcessTask::run()
{
    emit processStatusChanged({ m_row, BatchResult::Processing, QString(), QString() });

    BatchResult result { m_row, BatchResult::Failed, QString(), QString() };
    const QString ext = outputExtension(m_outputFormat);
    if (ext.isEmpty()) {
        result.reason = QStringLiteral("unknown output format");
    } else {
        // One wrapper per task: wrappers are never shared between threads.
        // It reserves a free name and writes through a temporary file, so
        // concurrent tasks never share or half-write an output.
        KImageWrapper wrapper;
        const ImageFormatRecord *format = ImageFormats::global().formatForExtension(ext);
        const QString written = wrapper.convertFileAs(
            m_sourcePath, format, m_outputDir, baseNameOf(m_sourcePath), &result.reason);
        if (!written.isEmpty()) {
            result.status = BatchResult::Succeeded;
            result.path = written;
            result.reason.clear();
        }
    }
    emit processStatusChanged(result);
}
