#include "KBatchProcessCompressTask.h"

#include <QColorSpace>
#include <QFileInfo>
#include <QPainter>

#include "app/FileUtils.h"
#include "codec/KImageWrapper.h"
#include "codec/OutputFormat.h"
#include "compress/JpegSizeSearch.h"

KBatchProcessCompressTask::KBatchProcessCompressTask(const BatchCompressParams &params)
    : m_params(params)
{
    registerWorkerMetaTypes();
}

void KBatchProcessCompressTask::run()
{
    for (const auto &file : m_params.files) {
        QString written;
        QString error;
        const bool ok = compressOne(file.first, &written, &error);
        if (ok)
            emit processStatusChanged({ file.second, BatchResult::Succeeded, written, QString() });
        else
            emit processStatusChanged({ file.second, BatchResult::Failed, QString(), error });
    }
}

bool KBatchProcessCompressTask::compressOne(const QString &source, QString *written, QString *error)
{
    // An empty size field arrives as 0: no JPEG can be smaller than that, and
    // the search would shrink every picture to nothing before it gave up.
    if (m_params.quality <= 0 && m_params.byteLimit() <= 0) {
        *error
            = QStringLiteral("no size limit was given: enter the largest size the file may have");
        return false;
    }
    QImage frame;
    {
        // Only the frame outlives the wrapper: once the search shrinks the
        // picture, the full-size pixels are released.
        KImageWrapper wrapper;
        if (!wrapper.load(source) || wrapper.loadState() != KImageWrapper::Loaded) {
            *error = wrapper.errorString();
            return false;
        }
        frame = wrapper.frameAt(0);
    }
    if (frame.isNull()) {
        *error = QStringLiteral("not enough memory for the image");
        return false;
    }
    if (frame.hasAlphaChannel()) {
        // JPEG keeps no alpha; what was transparent becomes white, as in every
        // other JPEG the program writes, rather than whatever colour hid under it.
        QImage flat(frame.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        flat.setColorSpace(frame.colorSpace());
        QPainter painter(&flat);
        painter.drawImage(0, 0, frame);
        painter.end();
        frame = flat;
    }

    // The whole search runs in memory; only the final bytes reach the disk.
    QByteArray bytes;
    const bool encoded = m_params.quality > 0
        ? JpegSizeSearch::encode(frame, m_params.quality, &bytes)
        : JpegSizeSearch::run(std::move(frame), m_params.byteLimit(), &bytes, {});
    if (!encoded) {
        *error = QStringLiteral("the image could not be encoded as JPEG");
        return false;
    }

    const QString name = QFileInfo(source).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? name : name.left(dot);
    const QString ext = outputExtension(m_params.outputFormat);
    // base + ".ext": the naming rule strips one suffix, which keeps inner dots of the base.
    const QString path
        = reserveUniqueFilePath(m_params.outputDir, base + QLatin1Char('.') + ext, ext, error);
    if (path.isEmpty())
        return false;
    if (!writeFileAtomically(path, bytes, error)) {
        releaseReservedPath(path);
        return false;
    }
    *written = path;
    return true;
}
