#include "KPicNormalConvertView.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QThreadPool>
#include <QVBoxLayout>

#include "app/BatchRun.h"
#include "app/FileUtils.h"
#include "codec/ImageFormats.h"
#include "convert/KImageNormalConvertProcessTask.h"
#include "widgets/KTableListView.h"
#include "widgets/StyleSheets.h"
#include "widgets/ViewParts.h"

KPicNormalConvertView::KPicNormalConvertView(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(886, 600);
    m_pool = new QThreadPool(this);
    m_pool->setMaxThreadCount(4);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_list = new KTableListView(this);
    m_list->setFileFilter(ImageFormats::global().openFilter());
    m_list->setAddFileText(
        tr("*please add convert file, support heic,raw,jpg,gif,png,bmp,tiff,webp etc format"));
    layout->addWidget(m_list);

    auto *formatRow = new QHBoxLayout();
    formatRow->setContentsMargins(30, 10, 30, 0);
    formatRow->setSpacing(20);
    auto *label = new QLabel(tr("output format:"), this);
    label->setFixedHeight(30);
    label->setMinimumWidth(80);
    QFont font(uiFontFamily());
    font.setPixelSize(13);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color:#3E3E3E;"));
    formatRow->addWidget(label);
    m_formats = new QButtonGroup(this);
    m_formats->setExclusive(true);
    const QStringList texts { tr("JPG File"), tr("PNG File"), tr("BMP File"), tr("WEBP File"),
        tr("TIF File") };
    font.setPixelSize(12);
    for (int id = 0; id < texts.size(); ++id) {
        auto *radio = new QRadioButton(texts[id], this);
        radio->setFixedHeight(30);
        radio->setMinimumWidth(id == 3 ? 90 : 80);
        radio->setFont(font);
        radio->setStyleSheet(radioStyleSheet());
        m_formats->addButton(radio, id);
        formatRow->addWidget(radio);
    }
    m_formats->button(0)->setChecked(true);
    formatRow->addStretch();
    layout->addLayout(formatRow);

    auto *hintRow = new QHBoxLayout();
    hintRow->setContentsMargins(30, 4, 30, 0);
    auto *hint = new QLabel(
        tr("Loading high resolution images in RAW format can cause slow conversion times"), this);
    hint->setMinimumSize(260, 14);
    hint->setFont(font);
    hint->setStyleSheet(QStringLiteral("color:#999999;"));
    hintRow->addWidget(hint);
    hintRow->addStretch();
    layout->addLayout(hintRow);

    auto *buttonRow = new QHBoxLayout();
    buttonRow->setContentsMargins(30, 0, 30, 0);
    buttonRow->addSpacing(705);
    m_start = createActionButton(tr("start convert"), this);
    m_start->setEnabled(false);
    buttonRow->addWidget(m_start, 0, Qt::AlignRight | Qt::AlignVCenter);
    layout->addLayout(buttonRow);
    layout->addStretch();

    connect(m_start, &QPushButton::clicked, this, &KPicNormalConvertView::onStartConvert);
    connect(m_formats, &QButtonGroup::idClicked, this, &KPicNormalConvertView::onFormatOutputBtn);
    connect(m_list, &KTableListView::addImages, this, &KPicNormalConvertView::onAddFiles);
    connect(m_list, &KTableListView::clearImage, this, &KPicNormalConvertView::onClearFiles);
    connect(m_list->run(), &BatchRun::finished, this, &KPicNormalConvertView::onRunFinished);
}

bool KPicNormalConvertView::isRunning() const { return m_list->run()->isRunning(); }

KPicNormalConvertView::~KPicNormalConvertView()
{
    // Tasks report to this view: let the running ones finish before it goes.
    m_pool->clear();
    m_pool->waitForDone();
}

void KPicNormalConvertView::onFormatOutputBtn(int id)
{
    m_format = outputFormatAt(id).value_or(m_format);
}

void KPicNormalConvertView::onAddFiles(const QStringList &)
{
    if (!isRunning() && !m_list->files().isEmpty())
        m_start->setEnabled(true);
}

void KPicNormalConvertView::onClearFiles()
{
    m_start->setEnabled(false);
    m_list->setButtonsEnabled(true);
}

void KPicNormalConvertView::onStartConvert()
{
    BatchRun *run = m_list->run();
    if (run->count() == 0 || run->isRunning())
        return;
    if (m_outputDir.isEmpty())
        m_outputDir = desktopFolder();
    QString error;
    const QString folder = run->startInFolder(m_outputDir, tr("format convert"), &error);
    if (folder.isEmpty()) {
        // One message, and every row stays as it was.
        showNotice(this, tr("Image Convert"), error);
        return;
    }
    m_runFolder = folder;
    m_start->setEnabled(false);
    m_pool->setMaxThreadCount(2);
    const auto files = run->runFiles();
    for (const auto &file : files) {
        auto *task
            = new KImageNormalConvertProcessTask(m_runFolder, file.second, file.first, m_format);
        connect(task, &KImageNormalConvertProcessTask::processStatusChanged, this,
            &KPicNormalConvertView::onProcessStatusChanged, Qt::QueuedConnection);
        m_pool->start(task);
    }
}

void KPicNormalConvertView::onProcessStatusChanged(const BatchResult &result)
{
    m_list->updateStatus(result);
}

void KPicNormalConvertView::onRunFinished()
{
    m_start->setEnabled(!m_list->files().isEmpty());
    emit runFinished();
}

void KPicNormalConvertView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    QWidget::paintEvent(event);
}
