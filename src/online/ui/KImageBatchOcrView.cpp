#include "KImageBatchOcrView.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/BatchResult.h"
#include "app/FileUtils.h"
#include "codec/KImageWrapper.h"
#include "online/KvHttp.h"
#include "online/OnlineUploads.h"
#include "online/UploadFile.h"
#include "online/ui/OnlineViewParts_p.h"
#include "widgets/KTableListView.h"
#include "widgets/StyleSheets.h"
#include "widgets/ViewParts.h"

using namespace OnlineViewParts;

namespace {
constexpr int kJobTimeoutMs = 90000;
const int kServiceTypes[] = { 0, 1, 2 };
} // namespace

KImageBatchOcrView::KImageBatchOcrView(QWidget *parent)
    : QWidget(parent)
    , m_client(new KvHttp(0))
{
    registerWorkerMetaTypes();
    setFixedSize(886, 600);
    QFont font(uiFontFamily());
    font.setPixelSize(13);
    setFont(font);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_list = new KTableListView(this);
    m_list->setFileFilter(QStringLiteral("*.jpg *.jpeg *.jiff *.png *.bmp *.tif"));
    m_list->setAddFileText(
        tr("*please add ocr file, support jpg, jpeg, jiff, png, bmp, tiff format"));
    layout->addWidget(m_list);

    auto *formatRow = new QHBoxLayout();
    formatRow->setContentsMargins(30, 10, 30, 0);
    formatRow->setSpacing(10);
    auto *formatLabel = new QLabel(tr("output format:"), this);
    formatLabel->setStyleSheet(QStringLiteral("color:#3E3E3E;"));
    fitSize(formatLabel, 80, 30);
    formatRow->addWidget(formatLabel);
    m_formats = new QButtonGroup(this);
    m_formats->setExclusive(true);
    const QStringList texts { tr("Text"), tr("Word"), tr("Excel") };
    for (int id = 0; id < texts.size(); ++id) {
        auto *radio = new QRadioButton(texts.at(id), this);
        radio->setStyleSheet(radioStyleSheet());
        radio->setFocusPolicy(Qt::NoFocus);
        fitSize(radio, 80, 30);
        m_formats->addButton(radio, id);
        formatRow->addWidget(radio);
    }
    m_formats->button(Text)->setChecked(true);
    m_combineLabel = new QLabel(tr("combine documents:"), this);
    m_combineLabel->setStyleSheet(
        QStringLiteral("QLabel{color: #3E3E3E; }QLabel::disabled {color: #999999;}"));
    fitSize(m_combineLabel, 88, 30);
    formatRow->addWidget(m_combineLabel);
    m_combineBox = new QCheckBox(tr("enable"), this);
    m_combineBox->setFocusPolicy(Qt::NoFocus);
    fitSize(m_combineBox, 50, 30);
    formatRow->addWidget(m_combineBox);
    formatRow->addSpacing(102);
    formatRow->addStretch();
    layout->addLayout(formatRow);

    auto *folderRow = new QHBoxLayout();
    folderRow->setContentsMargins(30, 4, 30, 0);
    folderRow->setSpacing(0);
    auto *folderLabel = new QLabel(tr("output folder:"), this);
    folderLabel->setStyleSheet(QStringLiteral("color:#3E3E3E;"));
    fitSize(folderLabel, 80, 28);
    folderRow->addWidget(folderLabel);
    m_folder = makeFolderBox(this, &m_folderButton);
    folderRow->addSpacing(6);
    folderRow->addWidget(m_folder);
    folderRow->addSpacing(66);
    m_start = createActionButton(tr("start convert"), this);
    folderRow->addWidget(m_start);
    folderRow->addStretch();
    layout->addLayout(folderRow);
    layout->addStretch();

    m_timeout = new QTimer(this);
    m_timeout->setSingleShot(true);
    m_timeout->setInterval(kJobTimeoutMs);

    setOutputFolder(desktopFolder());
    setControlsEnabled(false);
    m_list->setButtonsEnabled(true);

    connect(m_list, &KTableListView::addImages, this, &KImageBatchOcrView::onAddFiles);
    connect(m_list, &KTableListView::clearImage, this, &KImageBatchOcrView::onClearImage);
    connect(
        m_combineBox, &QCheckBox::stateChanged, this, &KImageBatchOcrView::onEncryptStateChanged);
    connect(m_formats, &QButtonGroup::idClicked, this, &KImageBatchOcrView::onFormatOutputBtn);
    connect(m_start, &QPushButton::clicked, this, &KImageBatchOcrView::onStartConvert);
    connect(m_folderButton, &QPushButton::clicked, this, &KImageBatchOcrView::onOpenFolder);
    connect(m_client.get(), &KvHttp::downloadSuccess, this, &KImageBatchOcrView::onGetData);
    connect(m_client.get(), &KvHttp::progressError, this, &KImageBatchOcrView::onFail);
    connect(m_client.get(), &KvHttp::processFinished, this, &KImageBatchOcrView::onProcessFinished);
    connect(m_timeout, &QTimer::timeout, this, &KImageBatchOcrView::onFileTimeout);
}

KImageBatchOcrView::~KImageBatchOcrView() = default;

void KImageBatchOcrView::setOutputFolder(const QString &dir) { showFolder(m_folder, dir); }

QString KImageBatchOcrView::outputFolder() const { return m_folder->text(); }

void KImageBatchOcrView::setJobTimeout(int ms) { m_timeout->setInterval(ms); }

QString KImageBatchOcrView::extension() const
{
    switch (m_format) {
    case Word:
        return QStringLiteral("docx");
    case Excel:
        return QStringLiteral("xlsx");
    default:
        return QStringLiteral("txt");
    }
}

void KImageBatchOcrView::setControlsEnabled(bool on)
{
    m_start->setEnabled(on && !m_list->files().isEmpty());
    m_list->setButtonsEnabled(on);
    for (QAbstractButton *button : m_formats->buttons())
        button->setEnabled(on);
    const bool combinable = on && m_format == Text;
    m_combineBox->setEnabled(combinable);
    m_combineLabel->setEnabled(combinable);
}

void KImageBatchOcrView::onAddFiles(const QStringList &)
{
    if (!m_running)
        setControlsEnabled(true);
}

void KImageBatchOcrView::onClearImage()
{
    if (m_running)
        return;
    m_paths.clear();
    setControlsEnabled(false);
    m_list->setButtonsEnabled(true);
}

void KImageBatchOcrView::onFormatOutputBtn(int id)
{
    m_format = id;
    m_combineBox->setEnabled(id == Text);
    m_combineLabel->setEnabled(id == Text);
}

void KImageBatchOcrView::onEncryptStateChanged(int state) { m_combine = state != Qt::Unchecked; }

void KImageBatchOcrView::onOpenFolder()
{
    const QString dir = QFileDialog::getExistingDirectory(this, tr("Select Directory"),
        outputFolder(), QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (!dir.isEmpty())
        setOutputFolder(dir);
}

void KImageBatchOcrView::onStartConvert()
{
    if (m_running)
        return;
    if (!ensureLoggedIn())
        return;
    m_paths = m_list->files();
    if (m_paths.isEmpty())
        return;
    if (m_paths.size() <= kMaxImages) {
        beginBatch();
        return;
    }
    ask(this, tr("Batch Ocr"), tr("up convert 50 images!"), Buttons::Confirm, [this](int answer) {
        if (answer != 1 || m_running)
            return;
        // Everything past the fiftieth image leaves the list, last first.
        m_paths = m_list->files();
        for (int i = m_paths.size() - 1; i >= kMaxImages; --i) {
            m_list->removeFile(m_paths.at(i));
            m_paths.removeAt(i);
        }
        beginBatch();
    });
}

void KImageBatchOcrView::beginBatch()
{
    const QString parent = outputFolder();
    // A relative or empty folder would put the run folder wherever the
    // program happened to start.
    if (parent.isEmpty() || !QDir::isAbsolutePath(parent)) {
        showMessage(tr("Choose an output folder first."));
        return;
    }
    QString why;
    m_runFolder = uniqueDirPath(parent, tr("Batch Ocr"), &why);
    if (m_runFolder.isEmpty()) {
        showMessage(tr("The folder \"%1\" could not be created.")
                        .arg(QDir(parent).filePath(tr("Batch Ocr")))
            + QLatin1Char('\n') + why);
        return;
    }
    m_running = true;
    setControlsEnabled(false);
    m_list->setDeleteButtonsVisible(false);
    for (int row = 0; row < m_paths.size(); ++row)
        m_list->updateStatus({ row, BatchResult::Processing, QString(), QString() });
    m_client->setServiceType(kServiceTypes[qBound(0, m_format, 2)]);
    m_output.begin(m_runFolder, extension(), m_combine && m_format == Text,
        QFileInfo(m_paths.constFirst()).fileName());
    m_currentIndex = -1;
    startNext();
}

void KImageBatchOcrView::startNext()
{
    while (++m_currentIndex < m_paths.size()) {
        const QString path = m_paths.at(m_currentIndex);
        m_list->updateStatus({ m_currentIndex, BatchResult::Processing, QString(), QString() });
        UploadFile file = UploadFile::fromPath(path);
        if (file.name.isEmpty()) {
            m_list->updateStatus(
                { m_currentIndex, BatchResult::Failed, QString(), tr("the file cannot be read") });
            continue;
        }
        if (m_format == Text && file.size > OnlineUploads::kTextLimitBytes) {
            // Large text pages go as the reduced copy; the outputs are still
            // named after the source.
            // Through the codec's guards: a hostile file fails here, not the view.
            KImageWrapper wrapper;
            const QImage image = wrapper.load(path) && wrapper.loadState() == KImageWrapper::Loaded
                ? wrapper.frameAt(0)
                : QImage();
            const QSize target = OnlineUploads::pixelTarget(image.size(), file.size,
                OnlineUploads::kTextLimitBytes, OnlineUploads::kTextTargetPixels);
            if (!image.isNull() && target.isValid()) {
                const UploadFile small
                    = OnlineUploads::reducedCopy(image, target, QFileInfo(path).completeBaseName());
                if (!small.name.isEmpty())
                    file = small;
            }
        }
        m_busy = true;
        m_timeout->start();
        m_client->startJob({ file });
        return;
    }
    // Every file has its row: the batch is over.
    m_running = false;
    m_busy = false;
    m_list->setDeleteButtonsVisible(true);
    setControlsEnabled(true);
    emit batchFinished();
}

void KImageBatchOcrView::finishCurrent(bool ok, const QString &output, const QString &reason)
{
    m_busy = false;
    m_timeout->stop();
    m_list->updateStatus({ m_currentIndex, ok ? BatchResult::Succeeded : BatchResult::Failed,
        ok ? output : QString(), ok ? QString() : reason });
    // From the event loop: the client is still inside its reply handler.
    QMetaObject::invokeMethod(this, &KImageBatchOcrView::startNext, Qt::QueuedConnection);
}

void KImageBatchOcrView::onGetData()
{
    if (!m_busy)
        return;
    QString error;
    const QString output
        = m_output.write(m_paths.at(m_currentIndex), m_client->resultData(), &error);
    finishCurrent(
        !output.isEmpty(), output, error.isEmpty() ? tr("the result could not be written") : error);
}

void KImageBatchOcrView::onFail()
{
    if (m_busy)
        finishCurrent(false, QString(),
            m_client->serviceUnreachable() ? tr("the online service could not be reached")
                                           : tr("the service could not process this image"));
}

void KImageBatchOcrView::onProcessFinished(int)
{
    if (m_busy)
        finishCurrent(false, QString(), tr("the service could not recognise this image"));
}

void KImageBatchOcrView::onFileTimeout()
{
    if (!m_busy)
        return;
    m_client->setCancelled(true);
    finishCurrent(false, QString(), tr("no answer from the online service within 90 seconds"));
}

void KImageBatchOcrView::showMessage(const QString &text)
{
    m_lastMessage = text;
    ask(this, tr("Batch Ocr"), text, Buttons::Confirm);
}

void KImageBatchOcrView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    QWidget::paintEvent(event);
}
