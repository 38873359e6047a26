#include "ProcessCompressThread.h"

#include <QColorSpace>
#include <QFileInfo>
#include <QPainter>

#include "app/FileUtils.h"
#include "codec/OutputFormat.h"
#include "compress/JpegSizeSearch.h"

ProcessCompressThread::ProcessCompressThread(
    const QImage &source, const CompressParams &params, QObject *parent)
    : QThread(parent)
    , m_source(source)
    , m_params(params)
{
    qRegisterMetaType<ProcessCompressThread::Status>();
}

ProcessCompressThread::~ProcessCompressThread()
{
    stop();
    wait();
}

void ProcessCompressThread::run()
{
    const QString fileName = QFileInfo(m_params.sourcePath).fileName();
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString baseName = dot < 0 ? fileName : fileName.left(dot);
    const QString ext = outputExtension(m_params.outputFormat);
    const QString outputPath = uniqueFilePath(m_params.outputDir, baseName, ext);

    QImage image = m_source;
    if (m_params.outputFormat == OutputFormat::Jpg && !image.isNull()) {
        // JPEG has no transparency: flatten onto white.
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        flat.setColorSpace(image.colorSpace());
        QPainter painter(&flat);
        painter.drawImage(0, 0, image);
        painter.end();
        image = flat;
    }

    bool ok = false;
    m_error.clear();
    if (image.isNull()) {
        m_error = QStringLiteral("there is no picture to compress");
    } else if (m_params.quality <= 0 && m_params.byteLimit() <= 0) {
        m_error
            = QStringLiteral("no size limit was given: enter the largest size the file may have");
    } else if (m_params.quality > 0) {
        emit processStatusChanged(Status::Working, 50);
        ok = JpegSizeSearch::encode(image, m_params.quality, &m_result);
        m_usedQuality = m_params.quality;
        m_usedSize = image.size();
    } else {
        ok = JpegSizeSearch::run(
            image, m_params.byteLimit(), &m_result,
            [this](int counter) { emit processStatusChanged(Status::Working, counter); }, &m_stop,
            &m_usedQuality, &m_usedSize);
    }
    if (!ok) {
        m_result.clear();
        if (m_error.isEmpty())
            m_error = m_stop ? QStringLiteral("stopped")
                             : QStringLiteral("the picture cannot be made as small as %1 KB")
                                   .arg(m_params.byteLimit() / 1024);
    }
    if (ok)
        emit processStatusChanged(Status::Succeeded, 100, outputPath);
    else
        emit processStatusChanged(Status::Failed, 100);
}
