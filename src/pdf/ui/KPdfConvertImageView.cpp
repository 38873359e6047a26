#include "KPdfConvertImageView.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/BatchRun.h"
#include "app/FileUtils.h"
#include "codec/OutputFormat.h"
#include "pdf/KPdf2ImageConverterThread.h"
#include "pdf/ui/KPdfTableListItem.h"
#include "pdf/ui/PdfViewParts_p.h"
#include "widgets/KTableListView.h"
#include "widgets/StyleSheets.h"
#include "widgets/ViewParts.h"

using namespace PdfViewParts;

KPdfConvertImageView::KPdfConvertImageView(QWidget *parent)
    : QWidget(parent)
    , m_startFolder(desktopFolder())
{
    registerWorkerMetaTypes();
    registerSelectPageItemMetaType();
    setFixedSize(886, 600);
    setFont(viewFont(12));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_list = new KTableListView(this);
    KPdfTableListItem::makePdfList(m_list);
    m_list->setFileFilter(QStringLiteral("*.pdf"));
    m_list->setAddFileText(tr("*please add convert file, only support pdf format"));
    layout->addWidget(m_list);

    auto *options = new QVBoxLayout();
    options->setContentsMargins(30, 8, 30, 0);
    options->setSpacing(6);

    auto *formatRow = new QHBoxLayout();
    formatRow->setSpacing(10);
    auto *formatLabel = new QLabel(tr("output format:"), this);
    fitSize(formatLabel, 80, 24);
    formatLabel->setStyleSheet(QStringLiteral("color:#3E3E3E;"));
    formatRow->addWidget(formatLabel);
    m_formats = new QButtonGroup(this);
    m_formats->setExclusive(true);
    const QStringList formatTexts { tr("JPG File"), tr("PNG File"), tr("BMP File"), tr("WEBP File"),
        tr("TIF File") };
    for (int id = 0; id < formatTexts.size(); ++id) {
        auto *radio = new QRadioButton(formatTexts[id], this);
        radio->setStyleSheet(radioStyleSheet());
        radio->setFocusPolicy(Qt::NoFocus);
        fitSize(radio, 86, 24);
        m_formats->addButton(radio, id);
        formatRow->addWidget(radio);
    }
    m_formats->button(0)->setChecked(true);
    formatRow->addStretch();
    options->addLayout(formatRow);

    auto *outputRow = new QHBoxLayout();
    outputRow->setSpacing(10);
    auto *folderLabel = new QLabel(tr("output folder:"), this);
    fitSize(folderLabel, 80, 28);
    folderLabel->setStyleSheet(QStringLiteral("color:#3E3E3E;"));
    outputRow->addWidget(folderLabel);
    m_folder = makeFolderBox(this, &m_folderButton);
    m_folder->setContextMenuPolicy(Qt::NoContextMenu);
    outputRow->addWidget(m_folder);
    outputRow->addStretch();
    m_start = createActionButton(tr("start convert"), this);
    m_start->setEnabled(false);
    outputRow->addWidget(m_start, 0, Qt::AlignRight | Qt::AlignVCenter);
    options->addLayout(outputRow);

    layout->addLayout(options);
    layout->addStretch();

    setOutputFolder(m_startFolder);

    connect(m_formats, &QButtonGroup::idClicked, this, &KPdfConvertImageView::onFormatOutputBtn);
    connect(m_folderButton, &QPushButton::clicked, this, &KPdfConvertImageView::onOpenFolder);
    connect(m_start, &QPushButton::clicked, this, &KPdfConvertImageView::onStartConvert);
    connect(m_list, &KTableListView::addImages, this, &KPdfConvertImageView::onAddFiles);
    connect(m_list, &KTableListView::clearImage, this, &KPdfConvertImageView::onClearFile);
    connect(m_list->run(), &BatchRun::finished, this, &KPdfConvertImageView::onRunFinished);
}

KPdfConvertImageView::~KPdfConvertImageView()
{
    // Stops a run still going after its current page and waits for the thread.
    m_converter.reset();
}

void KPdfConvertImageView::onFormatOutputBtn(int id)
{
    m_format = outputFormatAt(id).value_or(m_format);
}

void KPdfConvertImageView::onOpenFolder()
{
    const QString dir = QFileDialog::getExistingDirectory(this, tr("Select Directory"),
        m_startFolder, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (!dir.isEmpty())
        setOutputFolder(dir);
}

void KPdfConvertImageView::setOutputFolder(const QString &path) { showFolder(m_folder, path); }

QString KPdfConvertImageView::outputFolder() const { return m_folder->text(); }

void KPdfConvertImageView::setControlsEnabled(bool enabled)
{
    m_start->setEnabled(enabled && !m_list->files().isEmpty());
    m_list->setButtonsEnabled(enabled);
}

bool KPdfConvertImageView::isRunning() const { return m_list->run()->isRunning(); }

void KPdfConvertImageView::onAddFiles(const QStringList &)
{
    if (!isRunning())
        setControlsEnabled(true);
}

void KPdfConvertImageView::onClearFile()
{
    m_start->setEnabled(false);
    if (!isRunning())
        m_list->setButtonsEnabled(true);
}

void KPdfConvertImageView::onStartConvert() { startInto(m_folder->text()); }

bool KPdfConvertImageView::startInto(const QString &parentDir)
{
    BatchRun *run = m_list->run();
    if (run->isRunning() || run->count() == 0)
        return false;
    QString error = tr("cannot create the output folder: choose a folder first");
    const QString folder = isUsableParent(parentDir)
        ? run->startInFolder(parentDir, tr("Pdf2Image"), &error)
        : QString();
    if (folder.isEmpty()) {
        // One message; the rows keep their states.
        showNotice(this, tr("PDF to PIC"), error);
        return false;
    }
    m_runFolder = folder;
    m_runFiles = run->files();
    for (int i = 0; i < m_runFiles.size(); ++i)
        m_list->setProgress(i, 0);
    setControlsEnabled(false);

    const QMap<QString, SelectPageItem> selections = KPdfTableListItem::pageSelections(m_list);
    const QString extension = outputExtension(m_format);

    // The previous run has reported every file; its thread is at most
    // returning from run(), and the destructor waits for that.
    m_converter.reset();
    m_converter = std::make_unique<KPdf2ImageConverterThread>(
        m_runFolder, m_runFiles, extension, selections);
    connect(m_converter.get(), &KPdf2ImageConverterThread::stateChanged, this,
        &KPdfConvertImageView::onStateChanged, Qt::QueuedConnection);
    connect(m_converter.get(), &KPdf2ImageConverterThread::processChanged, this,
        &KPdfConvertImageView::onProcessChanged, Qt::QueuedConnection);
    m_converter->start();
    return true;
}

void KPdfConvertImageView::onProcessChanged(ProcessProgress progress)
{
    const int row = m_list->run()->rowOfRunId(progress.index);
    if (row >= 0)
        m_list->setProgress(row, progress.value);
}

void KPdfConvertImageView::onStateChanged(BatchResult result)
{
    // One final record per file; the run ends with the last of them
    // whether its file succeeded or not.
    m_list->updateStatus(result);
}

void KPdfConvertImageView::onRunFinished()
{
    setControlsEnabled(true);
    emit runFinished();
}

void KPdfConvertImageView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    QWidget::paintEvent(event);
}
