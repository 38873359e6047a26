#include "KPicBatchCompressProcess.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMultiMap>
#include <QPainter>
#include <QPushButton>
#include <QThreadPool>
#include <QVBoxLayout>

#include "app/BatchRun.h"
#include "app/FileUtils.h"
#include "compress/KBatchProcessCompressTask.h"
#include "compress/ui/KHighQualitySetting.h"
#include "compress/ui/KNormalCompressSettig.h"
#include "widgets/KTableListView.h"
#include "widgets/StyleSheets.h"
#include "widgets/ViewParts.h"

namespace {

QString baseNameOf(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

} // namespace

int KPicBatchCompressProcess::batchQualityOf(int presetId)
{
    switch (presetId) {
    case 2:
        return 80;
    case 3:
        return 40;
    default:
        return 60;
    }
}

KPicBatchCompressProcess::KPicBatchCompressProcess(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(886, 600);
    m_pool = new QThreadPool(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_list = new KTableListView(this);
    m_list->setAddFileText(
        tr("*please add convert file, support heic,raw,jpg,gif,png,bmp,tiff,webp etc format"));
    layout->addWidget(m_list);

    auto *row = new QHBoxLayout();
    row->setContentsMargins(16, 0, 16, 0);
    row->setSpacing(0);
    row->setAlignment(Qt::AlignLeft);
    m_normal = new KNormalCompressSettig(this);
    m_custom = new KHighQualitySetting(this);
    row->addWidget(m_normal);
    row->addWidget(m_custom);
    row->addSpacing(16);
    auto *column = new QVBoxLayout();
    column->setContentsMargins(0, 40, 0, 0);
    m_start = createActionButton(tr("start compress"), this);
    m_start->setEnabled(false);
    column->addWidget(m_start);
    column->addStretch();
    row->addLayout(column);
    row->addStretch();
    layout->addLayout(row);
    layout->addStretch();

    connect(m_start, &QPushButton::clicked, this, &KPicBatchCompressProcess::onStartCompress);
    connect(m_list, &KTableListView::addImages, this, &KPicBatchCompressProcess::onAddFiles);
    connect(m_list, &KTableListView::clearImage, this, &KPicBatchCompressProcess::onClearImage);
    connect(m_list->run(), &BatchRun::finished, this, &KPicBatchCompressProcess::onRunFinished);
    connect(m_normal, &KNormalCompressSettig::statusChanged, this,
        &KPicBatchCompressProcess::onCompressModeChanged);
    connect(m_custom, &KHighQualitySetting::statusChanged, this,
        &KPicBatchCompressProcess::onCompressModeChanged);
    connect(m_normal, &KNormalCompressSettig::selectFormatChanged, this,
        &KPicBatchCompressProcess::onSelectFormatChanged);
    connect(m_normal, &KNormalCompressSettig::statusChanged, m_custom,
        &KHighQualitySetting::onNormalModeSelected);
    connect(m_custom, &KHighQualitySetting::statusChanged, m_normal,
        &KNormalCompressSettig::onHighCompressModeChanged);
}

KPicBatchCompressProcess::~KPicBatchCompressProcess()
{
    m_pool->clear();
    m_pool->waitForDone();
}

bool KPicBatchCompressProcess::isRunning() const { return m_list->run()->isRunning(); }

void KPicBatchCompressProcess::onStartCompress()
{
    if (isRunning())
        return;
    const QString dir = QFileDialog::getExistingDirectory(
        this, tr("Select Save Path"), desktopFolder(), QFileDialog::ShowDirsOnly);
    if (!dir.isEmpty())
        startInto(dir);
}

bool KPicBatchCompressProcess::startInto(const QString &parentDir)
{
    // A second start while tasks of the first still report would mix the two
    // runs' counts: starting is refused until every row of a run has reported.
    BatchRun *run = m_list->run();
    if (run->isRunning() || run->count() == 0)
        return false;
    QString error;
    const QString folder = run->startInFolder(parentDir, tr("AI toolbox batch compress"), &error);
    if (folder.isEmpty()) {
        showNotice(this, tr("imageBatchCompress"), error);
        return false;
    }
    m_params = BatchCompressParams();
    m_params.outputDir = folder;
    m_params.outputFormat = m_format;
    if (m_normalMode) {
        m_params.quality = batchQualityOf(m_normal->presetId());
    } else {
        const KHighQualitySetting::Settings s = m_custom->settings();
        m_params.quality = s.quality;
        m_params.sizeValue = s.sizeValue;
        m_params.sizeUnit = s.sizeUnit;
    }
    m_tasksStarted = 0;
    m_start->setEnabled(false);

    // Files that share a base name go to one task, in list order; each file
    // travels with its run id.
    const auto runFiles = run->runFiles();
    QMultiMap<QString, int> groups;
    for (int i = 0; i < runFiles.size(); ++i)
        groups.insert(baseNameOf(runFiles[i].first), i);
    m_pool->setMaxThreadCount(2);
    for (int k = 0; k < runFiles.size(); ++k) {
        const QString key = baseNameOf(runFiles[k].first);
        if (!groups.contains(key))
            continue;
        QList<int> rows = groups.values(key);
        std::sort(rows.begin(), rows.end());
        groups.remove(key);
        BatchCompressParams params = m_params;
        for (int row : qAsConst(rows))
            params.files.append(runFiles[row]);
        auto *task = new KBatchProcessCompressTask(params);
        connect(task, &KBatchProcessCompressTask::processStatusChanged, this,
            &KPicBatchCompressProcess::onProcessStatusChanged, Qt::QueuedConnection);
        ++m_tasksStarted;
        m_pool->start(task);
    }
    return true;
}

void KPicBatchCompressProcess::onAddFiles(const QStringList &)
{
    if (!isRunning() && !m_list->files().isEmpty())
        m_start->setEnabled(true);
}

void KPicBatchCompressProcess::onClearImage() { m_start->setEnabled(false); }

void KPicBatchCompressProcess::onCompressModeChanged()
{
    if (sender() == m_normal)
        m_normalMode = true;
    else if (sender() == m_custom)
        m_normalMode = false;
}

void KPicBatchCompressProcess::onSelectFormatChanged(OutputFormat format) { m_format = format; }

void KPicBatchCompressProcess::onProcessStatusChanged(const BatchResult &result)
{
    m_list->updateStatus(result);
}

void KPicBatchCompressProcess::onRunFinished()
{
    m_start->setEnabled(!m_list->files().isEmpty());
    emit runFinished();
}

void KPicBatchCompressProcess::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    QWidget::paintEvent(event);
}
