#include "KImageConvertPdfView.h"

#include <QButtonGroup>
#include <QCheckBox>
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
#include "pdf/KImagePdfConverter.h"
#include "pdf/ui/PdfViewParts_p.h"
#include "widgets/KTableListView.h"
#include "widgets/StyleSheets.h"
#include "widgets/ViewParts.h"

using namespace PdfViewParts;

KImageConvertPdfView::KImageConvertPdfView(QWidget *parent)
    : QWidget(parent)
    , m_startFolder(desktopFolder())
{
    registerWorkerMetaTypes();
    setFixedSize(886, 600);
    setFont(viewFont(12));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_list = new KTableListView(this);
    m_list->setFileFilter(tr("*.jpg *.jpeg *.png *.tif *.tiff *.bmp *.gif"));
    m_list->setAddFileText(
        tr("*please add convert file, support jpg, jpeg, gif, png, bmp, tiff, tif format"));
    layout->addWidget(m_list);

    auto *options = new QVBoxLayout();
    options->setContentsMargins(30, 4, 30, 0);
    options->setSpacing(4);

    auto *typeRow = new QHBoxLayout();
    typeRow->setSpacing(10);
    auto *typeLabel = new QLabel(tr("convert type:"), this);
    fitSize(typeLabel, 80, 28);
    typeLabel->setStyleSheet(QStringLiteral("color:#3E3E3E;"));
    typeRow->addWidget(typeLabel);
    m_modes = new QButtonGroup(this);
    m_modes->setExclusive(true);
    const QStringList modeTexts { tr("single output"), tr("combined output") };
    for (int id = 0; id < modeTexts.size(); ++id) {
        auto *radio = new QRadioButton(modeTexts[id], this);
        radio->setStyleSheet(radioStyleSheet());
        radio->setFocusPolicy(Qt::NoFocus);
        fitSize(radio, 80, 28);
        m_modes->addButton(radio, id);
        typeRow->addWidget(radio);
    }
    m_modes->button(0)->setChecked(true);
    typeRow->addStretch();
    options->addLayout(typeRow);

    auto *encryptRow = new QHBoxLayout();
    encryptRow->setSpacing(10);
    m_passwordLabel = new QLabel(tr("encryption:"), this);
    fitSize(m_passwordLabel, 88, 30);
    m_passwordLabel->setStyleSheet(
        QStringLiteral("QLabel{color: #3E3E3E; }QLabel::disabled {color: #999999;}"));
    encryptRow->addWidget(m_passwordLabel);
    m_password = new QLineEdit(this);
    m_password->setFixedSize(180, 30);
    m_password->setStyleSheet(QStringLiteral("border:1px solid #CCCCCC;") + lineEditStyleSheet());
    // Hidden except while typed; no menu, so it cannot be copied out.
    m_password->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    m_password->setContextMenuPolicy(Qt::NoContextMenu);
    encryptRow->addWidget(m_password);
    m_encrypt = new QCheckBox(tr("enable"), this);
    m_encrypt->setFocusPolicy(Qt::NoFocus);
    fitSize(m_encrypt, 50, 30);
    encryptRow->addWidget(m_encrypt);
    encryptRow->addStretch();
    options->addLayout(encryptRow);

    auto *outputRow = new QHBoxLayout();
    outputRow->setSpacing(10);
    auto *folderLabel = new QLabel(tr("output folder:"), this);
    fitSize(folderLabel, 80, 28);
    folderLabel->setStyleSheet(QStringLiteral("color:#3E3E3E;"));
    outputRow->addWidget(folderLabel);
    m_folder = makeFolderBox(this, &m_folderButton);
    outputRow->addWidget(m_folder);
    outputRow->addStretch();
    m_start = createActionButton(tr("start convert"), this);
    m_start->setEnabled(false);
    outputRow->addWidget(m_start, 0, Qt::AlignRight | Qt::AlignVCenter);
    options->addLayout(outputRow);

    layout->addLayout(options);
    layout->addStretch();

    setPasswordEnabled(false);
    setOutputFolder(m_startFolder);

    connect(m_modes, &QButtonGroup::idClicked, this, &KImageConvertPdfView::onModeChanged);
    connect(
        m_encrypt, &QCheckBox::stateChanged, this, &KImageConvertPdfView::onEncryptStateChanged);
    connect(m_folderButton, &QPushButton::clicked, this, &KImageConvertPdfView::onOpenFolder);
    connect(m_start, &QPushButton::clicked, this, &KImageConvertPdfView::onStartConvert);
    connect(m_list, &KTableListView::addImages, this, &KImageConvertPdfView::onAddFiles);
    connect(m_list, &KTableListView::clearImage, this, &KImageConvertPdfView::onClearFile);
    connect(m_list->run(), &BatchRun::finished, this, &KImageConvertPdfView::onRunFinished);
}

KImageConvertPdfView::~KImageConvertPdfView()
{
    // Stops a run still going and waits for its thread before the view goes.
    m_converter.reset();
}

void KImageConvertPdfView::onModeChanged(int id) { m_combined = id == 1; }

void KImageConvertPdfView::onEncryptStateChanged(int state)
{
    setPasswordEnabled(state != Qt::Unchecked);
}

void KImageConvertPdfView::setPasswordEnabled(bool enabled)
{
    m_passwordLabel->setEnabled(enabled);
    m_password->setEnabled(enabled);
}

void KImageConvertPdfView::onOpenFolder()
{
    const QString dir = QFileDialog::getExistingDirectory(this, tr("Select Directory"),
        m_startFolder, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (!dir.isEmpty())
        setOutputFolder(dir);
}

void KImageConvertPdfView::setOutputFolder(const QString &path) { showFolder(m_folder, path); }

QString KImageConvertPdfView::outputFolder() const { return m_folder->text(); }

void KImageConvertPdfView::setControlsEnabled(bool enabled)
{
    m_start->setEnabled(enabled && !m_list->files().isEmpty());
    m_list->setButtonsEnabled(enabled);
}

bool KImageConvertPdfView::isRunning() const { return m_list->run()->isRunning(); }

void KImageConvertPdfView::onAddFiles(const QStringList &)
{
    if (!isRunning())
        setControlsEnabled(true);
}

void KImageConvertPdfView::onClearFile()
{
    m_start->setEnabled(false);
    if (!isRunning())
        m_list->setButtonsEnabled(true);
}

void KImageConvertPdfView::onStartConvert() { startInto(m_folder->text()); }

bool KImageConvertPdfView::startInto(const QString &parentDir)
{
    BatchRun *run = m_list->run();
    if (run->isRunning() || run->count() == 0)
        return false;
    QString error = tr("cannot create the output folder: choose a folder first");
    const QString folder = isUsableParent(parentDir)
        ? run->startInFolder(parentDir, tr("Pdf Convert"), &error)
        : QString();
    if (folder.isEmpty()) {
        // One message; the rows keep their states.
        showNotice(this, tr("PIC to PDF"), error);
        return false;
    }
    m_runFolder = folder;
    m_runFiles = run->files();
    setControlsEnabled(false);

    KImagePdfConverter::Params params;
    params.mode = m_combined ? 1 : 0;
    // Handed to the writer as it is; text left in a disabled box is not used.
    params.password = m_password->isEnabled() ? m_password->text() : QString();
    params.outputFolder = m_runFolder;
    params.files = m_runFiles;

    // The previous run has reported every file; its thread is at most
    // returning from run(), and the destructor waits for that.
    m_converter.reset();
    m_converter = std::make_unique<KImagePdfConverter>(params);
    connect(m_converter.get(), &KImagePdfConverter::stateChanged, this,
        &KImageConvertPdfView::onStateChanged, Qt::QueuedConnection);
    // A combined document is only done when it is written, after its rows
    // have their records: the run waits for the converter's thread to end.
    run->beginStep();
    connect(m_converter.get(), &QThread::finished, run, &BatchRun::endStep, Qt::QueuedConnection);
    m_converter->start();
    return true;
}

void KImageConvertPdfView::onStateChanged(BatchResult result) { m_list->updateStatus(result); }

void KImageConvertPdfView::onRunFinished()
{
    setControlsEnabled(true);
    emit runFinished();
}

void KImageConvertPdfView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    QWidget::paintEvent(event);
}
