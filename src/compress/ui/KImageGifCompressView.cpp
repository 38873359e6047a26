#include "KImageGifCompressView.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include "app/FileUtils.h"
#include "compress/KImageGifCompressThread.h"
#include "compress/ui/KQualityGifCompressSettig.h"
#include "compress/ui/KResizeGifCompressSettig.h"
#include "compress/ui/KSourceLoader.h"
#include "widgets/DesktopIntegration.h"
#include "widgets/KImageContentView.h"
#include "widgets/KImageLoadView.h"
#include "widgets/KMessageTips.h"
#include "widgets/StyleSheets.h"
#include "widgets/ViewParts.h"

namespace {

quint32 byteCount(qint64 size) { return quint32(qBound<qint64>(0, size, 0xFFFFFFFFll)); }

} // namespace

KImageGifCompressView::KImageGifCompressView(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(886, 600);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_content = new KImageContentView(this);
    m_content->setHintText(tr("*please add compress file, support only gif format"));
    layout->addWidget(m_content);

    auto *row = new QHBoxLayout();
    row->setContentsMargins(30, 0, 30, 0);
    row->setSpacing(0);
    m_resize = new KResizeGifCompressSettig(this);
    m_quality = new KQualityGifCompressSettig(this);
    row->addWidget(m_resize);
    row->addSpacing(10);
    row->addWidget(m_quality);
    auto *buttons = new QVBoxLayout();
    // 20 rather than 40 to the left: the panels are wider for the English texts.
    buttons->setContentsMargins(20, 10, 0, 0);
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

    m_timer = new QTimer(this);
    m_timer->setInterval(1000);

    connect(m_content, &KImageContentView::addFile, this, &KImageGifCompressView::onAddFile);
    connect(m_content, &KImageContentView::clearFile, this, &KImageGifCompressView::onClearFile);
    connect(m_start, &QPushButton::clicked, this, &KImageGifCompressView::onStartCompress);
    connect(m_save, &QPushButton::clicked, this, &KImageGifCompressView::onSaveFile);
    connect(m_timer, &QTimer::timeout, this, &KImageGifCompressView::onGetProgress);
    m_loader = new KSourceLoader(tr("Gif compress"), this);
    connect(m_loader, &KSourceLoader::loaded, this, &KImageGifCompressView::onSourceLoaded);
    connect(m_loader, &KSourceLoader::cancelled, this, [this]() {
        m_pendingPath.clear();
        m_content->setHintText(tr("*please add compress file, support only gif format"));
        emit sourceLoaded(false);
    });
}

KImageGifCompressView::~KImageGifCompressView()
{
    // The worker may be inside the library: let its job end and join the
    // thread before the object (and with it the library) goes away. Reports
    // still queued for this view are dropped with it.
    if (m_worker) {
        m_worker->disconnect(this);
        m_worker->stopWorker();
        delete m_worker;
        m_worker = nullptr;
    }
    closeProgress();
}

KImageLoadView *KImageGifCompressView::progressDialog() const { return m_progress; }

void KImageGifCompressView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    QWidget::paintEvent(event);
}

void KImageGifCompressView::onAddFile()
{
    const QString path = QFileDialog::getOpenFileName(
        this, tr("Open File"), desktopFolder(), QStringLiteral("*.gif"));
    if (!path.isEmpty())
        loadFile(path);
}

void KImageGifCompressView::loadFile(const QString &path)
{
    forgetSource();
    m_pendingPath = path;
    m_content->showComparePage(false);
    m_content->setHintText(tr("Opening \"%1\" ...").arg(QFileInfo(path).fileName()));
    // Judged by content on the worker: a renamed PNG is refused there
    // rather than by the converter.
    m_loader->start(path, SourceImageLoadThread::Kind::GifOnly);
}

bool KImageGifCompressView::isLoading() const { return m_loader->isLoading(); }

void KImageGifCompressView::onSourceLoaded(
    const QString &path, const QImage &image, int, const QString &error)
{
    if (path != m_pendingPath)
        return;
    m_pendingPath.clear();
    if (image.isNull()) {
        m_content->showComparePage(false);
        m_content->setHintText(tr("\"%1\" is not a GIF file that can be read: %2")
                                   .arg(QFileInfo(path).fileName(), error));
        emit sourceLoaded(false);
        return;
    }
    m_sourcePath = path;
    m_source = image;
    const quint32 bytes = byteCount(QFileInfo(path).size());
    m_content->showComparePage(true);
    m_content->setImages(m_source, m_source, bytes, bytes);
    // A job of an earlier source may still run; starting waits for its report.
    m_start->setEnabled(!m_busy);
    m_save->setEnabled(false);
    emit sourceLoaded(true);
}

void KImageGifCompressView::forgetSource()
{
    // A report still due belongs to the source being replaced: ignore it.
    m_currentJob = 0;
    m_loader->cancel();
    m_pendingPath.clear();
    m_sourcePath.clear();
    m_source = QImage();
    m_result = GifCompressResult();
    m_start->setEnabled(false);
    m_save->setEnabled(false);
}

void KImageGifCompressView::onClearFile()
{
    // The content panel is already back on its empty page.
    forgetSource();
    m_content->setHintText(tr("*please add compress file, support only gif format"));
}

void KImageGifCompressView::onStartCompress()
{
    if (m_sourcePath.isEmpty() || m_source.isNull() || m_busy)
        return;
    const QSize size = m_resize->sizeSetting();
    const int percent = m_quality->colorPercent();
    const int frameOption = m_quality->frameOption();

    if (!m_worker) {
        m_worker = m_libraryPath.isEmpty() ? new KImageGifCompressThread()
                                           : new KImageGifCompressThread(m_libraryPath);
        connect(m_worker, &KImageGifCompressThread::jobFinished, this,
            &KImageGifCompressView::onJobFinished);
    }
    m_currentJob
        = m_worker->request(m_sourcePath, size.width(), size.height(), percent, frameOption);
    m_busy = true;

    // Each job counts from zero, whatever the last one reached.
    m_progressCounter = 0;
    m_timer->start();

    closeProgress();
    m_progress = new KImageLoadView(tr("Gif compress"), this);
    m_progress->setText(tr("file is compressing, please wait patiently"));
    m_progress->setModal(true);
    // Closing the dialog only hides the wait: the job goes on and its result is shown.
    connect(m_progress, &KImageLoadView::btnClosed, this, &KImageGifCompressView::closeProgress);
    m_progress->show();

    m_start->setEnabled(false);
    m_save->setEnabled(false);
}

void KImageGifCompressView::onGetProgress()
{
    m_progressCounter = qMin(m_progressCounter + 10, 80);
    if (m_progress)
        m_progress->setValue(m_progressCounter);
}

void KImageGifCompressView::onJobFinished(const GifCompressResult &result)
{
    m_busy = false;
    m_timer->stop();
    if (result.jobId != m_currentJob || m_currentJob == 0) {
        // The source was replaced or cleared meanwhile.
        m_start->setEnabled(!m_sourcePath.isEmpty());
        return;
    }
    m_currentJob = 0;
    if (result.status == GifCompressResult::Status::Succeeded)
        m_result = result;
    else
        m_lastNotice = result.error;
    onCompressProcessStatusChanged(result.status);
}

void KImageGifCompressView::onCompressProcessStatusChanged(GifCompressResult::Status status)
{
    if (status == GifCompressResult::Status::Succeeded && !m_result.bytes.isEmpty()) {
        if (m_progress)
            m_progress->setValue(100);
        m_progressCounter = 0;
        m_start->setEnabled(true);
        m_save->setEnabled(true);
        m_content->showComparePage(true);
        m_content->setConvertedImage(m_result.firstFrame, byteCount(m_result.bytes.size()));
        closeProgress();
        emit compressFinished(true);
        return;
    }
    // Failed: the buttons stay off until a file is added again, the result
    // side keeps what it showed. The user is told why instead of seeing the
    // dialog just vanish.
    closeProgress();
    m_start->setEnabled(false);
    m_save->setEnabled(false);
    showNotice(m_lastNotice.isEmpty() ? tr("The GIF could not be compressed") : m_lastNotice);
    emit compressFinished(false);
}

void KImageGifCompressView::closeProgress()
{
    if (m_progress)
        m_progress->close();
    m_progress = nullptr;
}

void KImageGifCompressView::showNotice(const QString &message)
{
    m_lastNotice = message;
    // Shown without a nested event loop: the notice needs no answer.
    auto *tips = new KMessageTips(tr("Gif compress"), message, this);
    tips->setConfirmButtons();
    tips->open();
}

QString KImageGifCompressView::proposedSavePath() const
{
    if (m_sourcePath.isEmpty())
        return QString();
    const QFileInfo source(m_sourcePath);
    return uniqueFilePath(source.absolutePath(), source.fileName(), QStringLiteral("gif"));
}

bool KImageGifCompressView::saveResultAs(const QString &path)
{
    if (m_result.bytes.isEmpty() || path.isEmpty())
        return false;
    return writeFileAtomically(path, m_result.bytes);
}

QString KImageGifCompressView::saveResultTo(const QString &dir)
{
    if (m_result.bytes.isEmpty() || m_sourcePath.isEmpty())
        return QString();
    const QString path
        = reserveUniqueFilePath(dir, QFileInfo(m_sourcePath).fileName(), QStringLiteral("gif"));
    if (path.isEmpty())
        return QString();
    if (!saveResultAs(path)) {
        releaseReservedPath(path);
        return QString();
    }
    return path;
}

void KImageGifCompressView::onSaveFile()
{
    if (m_result.bytes.isEmpty())
        return;
    // The dialog itself asks before an existing file is replaced. Qt's own
    // dialog appends the ".gif" before it checks; a native one may ask about
    // the bare name and have the suffix added afterwards, unasked.
    QFileDialog dialog(this, tr("Save File"), proposedSavePath(), QStringLiteral("*.gif"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("gif"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    if (!saveResultAs(path)) {
        showNotice(tr("The file could not be saved"));
        return;
    }
    auto *tips = new KMessageTips(tr("Gif compress"),
        tr("Gif compress result has been saved successfully, please open the file or open the "
           "folder to view"),
        this);
    tips->setOpenFileButtons();
    const int answer = tips->exec();
    if (answer == 1)
        openFile(path);
    else if (answer == 2)
        revealInFolder(path);
}
