#include "KPicBatchProcessResize.h"

#include <QFile>
#include <QHBoxLayout>
#include <QPainter>
#include <QThreadPool>
#include <QVBoxLayout>

#include "app/BatchRun.h"
#include "app/FileUtils.h"
#include "batch/BatchNaming.h"
#include "batch/HeaderSizeProbe.h"
#include "batch/KBatchProcessResizeTask.h"
#include "batch/ui/BatchRun_p.h"
#include "batch/ui/KPicResizeOutput.h"
#include "batch/ui/KPicResizeParams.h"
#include "widgets/KTableListView.h"
#include "widgets/ViewParts.h"

KPicBatchProcessResize::KPicBatchProcessResize(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(886, 600);
    m_pool = new QThreadPool(this);
    m_probePool = new QThreadPool(this);
    m_probePool->setMaxThreadCount(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_list = new KTableListView(this);
    m_list->setAddFileText(
        tr("*please add convert file, support heic,raw,jpg,gif,png,bmp,tiff,webp etc format"));
    layout->addWidget(m_list);
    auto *row = new QHBoxLayout();
    row->setContentsMargins(30, 4, 30, 0);
    m_params = new KPicResizeParams(this);
    m_output = new KPicResizeOutput(this);
    row->addWidget(m_params);
    row->addSpacing(6);
    row->addWidget(m_output);
    layout->addLayout(row);
    layout->addStretch();

    connect(m_list, &KTableListView::addImages, this, &KPicBatchProcessResize::onAddFiles);
    connect(m_list, &KTableListView::clearImage, this, &KPicBatchProcessResize::onClearImage);
    connect(m_output, &KPicResizeOutput::startResize, this, &KPicBatchProcessResize::onStartResize);
    connect(m_list->run(), &BatchRun::finished, this, &KPicBatchProcessResize::onRunFinished);
}

KPicBatchProcessResize::~KPicBatchProcessResize()
{
    m_pool->clear();
    m_pool->waitForDone();
    m_probePool->clear();
    m_probePool->waitForDone();
}

void KPicBatchProcessResize::onAddFiles(const QStringList &files)
{
    // The first image listed gives the reference size the pixel boxes show.
    // It is read on the probe pool (a slow or hostile file must not stall
    // the window); the answer comes back queued, and the destructor waits
    // for the pool, so the view is there to receive it.
    if (!m_params->imageSize().isValid() && !files.isEmpty()) {
        const int generation = ++m_probeGeneration;
        const QStringList candidates = files;
        KPicBatchProcessResize *view = this;
        m_probePool->start([view, candidates, generation]() {
            QSize found;
            for (const QString &file : candidates) {
                found = probeImageSize(file);
                if (found.isValid())
                    break;
            }
            QMetaObject::invokeMethod(
                view, [view, found, generation]() { view->onImageSizeProbed(found, generation); },
                Qt::QueuedConnection);
        });
    }
    if (!isRunning())
        m_output->setStartEnabled(!m_list->files().isEmpty());
}

void KPicBatchProcessResize::onImageSizeProbed(const QSize &size, int generation)
{
    // A list cleared or refilled since asks again; an old answer is dropped.
    if (generation != m_probeGeneration || !size.isValid() || m_params->imageSize().isValid()
        || m_list->files().isEmpty())
        return;
    m_params->setImageSize(size);
}

void KPicBatchProcessResize::onClearImage()
{
    ++m_probeGeneration;
    m_output->setStartEnabled(false);
    m_params->setImageSize(QSize(-1, -1));
}

void KPicBatchProcessResize::onStartResize()
{
    BatchRun *run = m_list->run();
    if (run->isRunning() || run->count() == 0)
        return;
    if (m_outputFolder.isEmpty())
        m_outputFolder = batchOutputRoot();
    QString error;
    const QString folder = run->startInFolder(m_outputFolder, tr("quorvel"), &error);
    if (folder.isEmpty()) {
        showNotice(this, tr("imageBatchResize"), error);
        return;
    }
    m_runFolder = folder;
    m_pool->setMaxThreadCount(1);
    m_output->setStartEnabled(false);
    const ResizeParams params = m_params->params();
    const OutputFormat format = m_output->outputFormat();
    // Run ids are the rows at the start, so grouping the run's files gives
    // (path, run id) pairs.
    const auto groups = BatchNaming::groupByBaseName(run->files());
    for (const auto &group : groups) {
        auto *task = new KBatchProcessResizeTask(m_runFolder, group, params, format);
        connect(task, &KBatchProcessResizeTask::processStatusChanged, this,
            &KPicBatchProcessResize::onProcessStatusChanged, Qt::QueuedConnection);
        m_pool->start(task);
    }
}

void KPicBatchProcessResize::onProcessStatusChanged(const BatchResult &result)
{
    m_list->updateStatus(result);
}

void KPicBatchProcessResize::onRunFinished()
{
    m_output->setStartEnabled(!m_list->files().isEmpty());
    emit runFinished();
}

bool KPicBatchProcessResize::isRunning() const { return m_list->run()->isRunning(); }

void KPicBatchProcessResize::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    QWidget::paintEvent(event);
}
