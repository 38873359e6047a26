#include "KImageJPGCompressView.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageReader>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/FileUtils.h"
#include "codec/ImageFormats.h"
#include "compress/ProcessCompressThread.h"
#include "compress/ui/KHighQualitySetting.h"
#include "compress/ui/KNormalCompressSettig.h"
#include "compress/ui/KSourceLoader.h"
#include "widgets/DesktopIntegration.h"
#include "widgets/KFileOpenTips.h"
#include "widgets/KImageContentView.h"
#include "widgets/KImageLoadView.h"
#include "widgets/StyleSheets.h"
#include "widgets/ViewParts.h"

KImageJPGCompressView::KImageJPGCompressView(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(886, 600);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_content = new KImageContentView(this);
    m_content->setHintText(
        tr("*please add convert file, support heic,raw,jpg,gif,png,bmp,tiff,webp etc format"));
    layout->addWidget(m_content);

    auto *row = new QHBoxLayout();
    row->setContentsMargins(16, 0, 16, 0);
    row->setSpacing(0);
    m_normal = new KNormalCompressSettig(this);
    m_custom = new KHighQualitySetting(this);
    row->addWidget(m_normal);
    row->addWidget(m_custom);
    row->addSpacing(16);
    auto *buttons = new QVBoxLayout();
    buttons->setContentsMargins(0, 10, 0, 0);
    buttons->setSpacing(0);
    m_start = createActionButton(tr("start compress"), this);
    m_save = createActionButton(tr("save result"), this);
    buttons->addWidget(m_start);
    buttons->addSpacing(10);
    buttons->addWidget(m_save);
    buttons->addStretch();
    row->addLayout(buttons);
    row->addStretch();
    layout->addLayout(row);
    layout->addStretch();
    m_start->setEnabled(false);
    m_save->setEnabled(false);

    connect(m_content, &KImageContentView::addFile, this, &KImageJPGCompressView::onAddFile);
    connect(m_content, &KImageContentView::clearFile, this, &KImageJPGCompressView::onClearFile);
    connect(m_normal, &KNormalCompressSettig::statusChanged, this,
        &KImageJPGCompressView::onCompressSettingStatusChanged);
    connect(m_custom, &KHighQualitySetting::statusChanged, this,
        &KImageJPGCompressView::onCompressSettingStatusChanged);
    connect(m_normal, &KNormalCompressSettig::statusChanged, m_custom,
        &KHighQualitySetting::onNormalModeSelected);
    connect(m_custom, &KHighQualitySetting::statusChanged, m_normal,
        &KNormalCompressSettig::onHighCompressModeChanged);
    connect(m_normal, &KNormalCompressSettig::selectFormatChanged, this,
        &KImageJPGCompressView::onSelectFormatChanged);
    m_loader = new KSourceLoader(tr("image compress"), this);
    connect(m_loader, &KSourceLoader::loaded, this, &KImageJPGCompressView::onSourceLoaded);
    connect(m_loader, &KSourceLoader::cancelled, this, [this]() {
        m_sourcePath.clear();
        showNoSource(
            tr("*please add convert file, support heic,raw,jpg,gif,png,bmp,tiff,webp etc format"));
        emit sourceLoaded(false);
    });
    connect(m_start, &QPushButton::clicked, this, &KImageJPGCompressView::onStartCompress);
    connect(m_save, &QPushButton::clicked, this, &KImageJPGCompressView::onSaveFile);
}

KImageJPGCompressView::~KImageJPGCompressView()
{
    releaseEngine();
    if (m_progress)
        m_progress->close();
}

void KImageJPGCompressView::releaseEngine()
{
    if (!m_engine)
        return;
    // Never destroy an engine whose thread still runs: ask it to stop between
    // two encodes and wait for it.
    m_engine->disconnect(this);
    m_engine->stop();
    m_engine->wait();
    delete m_engine;
    m_engine = nullptr;
}

void KImageJPGCompressView::onAddFile()
{
    const QString path = QFileDialog::getOpenFileName(
        this, tr("Open File"), desktopFolder(), ImageFormats::global().openFilter());
    if (!path.isEmpty())
        loadFile(path);
}

void KImageJPGCompressView::loadFile(const QString &path)
{
    // A new source: any result belongs to the old one, and so does a run
    // still going (its reports are dropped by the run id).
    ++m_runId;
    releaseEngine();
    if (m_progress)
        m_progress->close();
    m_progress = nullptr;
    m_result.clear();
    m_source = QImage();
    m_save->setEnabled(false);
    m_start->setEnabled(false);
    m_sourcePath = path;
    const QString fileName = QFileInfo(path).fileName();
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    m_baseName = dot < 0 ? fileName : fileName.left(dot);
    showNoSource(tr("Opening \"%1\" ...").arg(fileName));
    m_loader->start(path, SourceImageLoadThread::Kind::AnyImage);
}

bool KImageJPGCompressView::isLoading() const { return m_loader->isLoading(); }

void KImageJPGCompressView::showNoSource(const QString &hint)
{
    m_content->showComparePage(false);
    m_content->setHintText(hint);
    m_start->setEnabled(false);
    m_save->setEnabled(false);
}

void KImageJPGCompressView::onSourceLoaded(
    const QString &path, const QImage &image, int, const QString &error)
{
    if (path != m_sourcePath)
        return;
    m_source = image;
    if (m_source.isNull()) {
        showNoSource(tr("\"%1\" could not be opened as an image: %2")
                         .arg(QFileInfo(path).fileName(), error));
        emit sourceLoaded(false);
        return;
    }
    const quint32 bytes = quint32(qMin<qint64>(QFileInfo(path).size(), 0xFFFFFFFFll));
    m_content->showComparePage(true);
    m_content->setImages(m_source, m_source, bytes, bytes);
    m_start->setEnabled(true);
    emit sourceLoaded(true);
}

void KImageJPGCompressView::onClearFile()
{
    m_loader->cancel();
    m_content->showComparePage(false);
    m_content->setHintText(
        tr("*please add convert file, support heic,raw,jpg,gif,png,bmp,tiff,webp etc format"));
    m_start->setEnabled(false);
    m_save->setEnabled(false);
}

void KImageJPGCompressView::onCompressSettingStatusChanged()
{
    if (sender() == m_normal)
        m_mode = NormalMode;
    else if (sender() == m_custom)
        m_mode = CustomMode;
}

void KImageJPGCompressView::onSelectFormatChanged(OutputFormat format) { m_format = format; }

void KImageJPGCompressView::onStartCompress()
{
    if (m_source.isNull())
        return;
    CompressParams params;
    params.outputFormat = m_format;
    params.sourcePath = m_sourcePath;
    if (m_mode == CustomMode) {
        const KHighQualitySetting::Settings s = m_custom->settings();
        params.quality = s.quality;
        params.sizeValue = s.sizeValue;
        params.sizeUnit = s.sizeUnit;
    } else {
        params.quality = KNormalCompressSettig::qualityOf(m_normal->presetId());
    }

    if (m_progress)
        m_progress->close();
    m_progress = new KImageLoadView(tr("image compress"), this);
    m_progress->setText(tr("The picture is compressing hard, please be patient"));
    connect(m_progress, &KImageLoadView::btnClosed, this, &KImageJPGCompressView::onStopCompress);
    m_progress->show();

    releaseEngine();
    m_engine = new ProcessCompressThread(m_source, params);
    // Reports of an earlier run may still be queued when a new one starts;
    // only the current run's reach the slot.
    const int run = ++m_runId;
    connect(m_engine, &ProcessCompressThread::processStatusChanged, this,
        [this, run](ProcessCompressThread::Status status, int progress, const QString &path) {
            if (run == m_runId)
                onProcessStatusChanged(status, progress, path);
        });
    m_start->setEnabled(false);
    m_engine->start();
}

void KImageJPGCompressView::onStopCompress()
{
    // The user gave up waiting: end the search at the next step and forget the dialog.
    if (m_engine)
        m_engine->stop();
    if (m_progress)
        m_progress->close();
}

void KImageJPGCompressView::onProcessStatusChanged(
    ProcessCompressThread::Status status, int progress, const QString &)
{
    if (status == ProcessCompressThread::Status::Working) {
        if (m_progress && progress < 100)
            m_progress->setValue(progress);
        return;
    }
    m_start->setEnabled(!m_source.isNull());
    if (!m_progress) {
        emit compressFinished(false);
        return;
    }
    m_progress->setValue(100);
    m_progress->close();
    m_progress = nullptr;
    if (status == ProcessCompressThread::Status::Succeeded && m_engine) {
        m_result = m_engine->compressData();
        QImage converted;
        converted.loadFromData(m_result, "JPG");
        m_content->showComparePage(true);
        m_content->setConvertedImage(converted, quint32(m_result.size()));
        m_save->setEnabled(!m_result.isEmpty());
        emit compressFinished(true);
        return;
    }
    // One message with the reason, as the GIF tool gives.
    const QString reason = m_engine ? m_engine->errorString() : QString();
    m_lastError = reason.isEmpty() ? tr("The picture could not be compressed")
                                   : tr("The picture could not be compressed: %1").arg(reason);
    showNotice(this, tr("image compress"), m_lastError);
    emit compressFinished(false);
}

QString KImageJPGCompressView::saveResultTo(const QString &dir)
{
    if (m_result.isEmpty())
        return QString();
    const QString ext = outputExtension(m_format);
    const QString path = reserveUniqueFilePath(dir, m_baseName + QLatin1Char('.') + ext, ext);
    if (path.isEmpty())
        return QString();
    if (!writeFileAtomically(path, m_result)) {
        releaseReservedPath(path);
        return QString();
    }
    return path;
}

void KImageJPGCompressView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    QWidget::paintEvent(event);
}

void KImageJPGCompressView::onSaveFile()
{
    const QString dir = QFileDialog::getExistingDirectory(
        this, tr("Select Save Path"), desktopFolder(), QFileDialog::ShowDirsOnly);
    if (dir.isEmpty())
        return;
    const QString path = saveResultTo(dir);
    if (path.isEmpty())
        return;
    auto *tips = new KFileOpenTips(
        tr("image compress"), tr("save succeed, open directly or open folder"), this);
    const int answer = tips->exec();
    if (answer == 1)
        openFile(path);
    else if (answer == 2)
        revealInFolder(path);
}
