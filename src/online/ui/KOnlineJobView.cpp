#include "KOnlineJobView.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/FileUtils.h"
#include "online/KvHttp.h"
#include "online/OnlineUploads.h"
#include "online/ui/OnlineViewParts_p.h"
#include "widgets/DesktopIntegration.h"
#include "widgets/KImageLoadView.h"
#include "widgets/KMessageTips.h"
#include "widgets/StyleSheets.h"
#include "widgets/ViewParts.h"

using namespace OnlineViewParts;

namespace {
constexpr int kJobTimeoutMs = 90000;
constexpr int kTickMs = 1000;
} // namespace

KOnlineJobView::KOnlineJobView(const Setup &setup, QWidget *display, QWidget *parent)
    : QWidget(parent)
    , m_setup(setup)
    , m_client(new KvHttp(setup.clientType))
{
    setFixedSize(886, 600);
    setAttribute(Qt::WA_TranslucentBackground);
    QFont font(uiFontFamily());
    font.setPixelSize(13);
    setFont(font);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    display->setParent(this);
    layout->addWidget(display);

    auto *modeRow = new QHBoxLayout();
    modeRow->setContentsMargins(30, 10, 30, 0);
    modeRow->setSpacing(setup.modeSpacing);
    auto *label = new QLabel(setup.modeLabel, this);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color:#3E3E3E;"));
    fitSize(label, 80, 30);
    modeRow->addWidget(label);
    m_modes = new QButtonGroup(this);
    m_modes->setExclusive(true);
    QFont small(uiFontFamily());
    small.setPixelSize(12);
    for (int id = 0; id < setup.modes.size(); ++id) {
        auto *radio = new QRadioButton(setup.modes.at(id), this);
        radio->setFont(small);
        radio->setStyleSheet(radioStyleSheet());
        radio->setFocusPolicy(Qt::NoFocus);
        fitSize(radio, setup.modeWidths.value(id, 80), 30);
        m_modes->addButton(radio, id);
        modeRow->addWidget(radio);
    }
    m_modes->button(0)->setChecked(true);
    modeRow->addStretch();
    layout->addLayout(modeRow);

    auto *hintRow = new QHBoxLayout();
    hintRow->setContentsMargins(30, 0, 30, 0);
    auto *hint = new QLabel(setup.hint, this);
    hint->setFont(small);
    hint->setStyleSheet(QStringLiteral("color:#999999;"));
    fitSize(hint, setup.hintWidth, 14);
    hintRow->addWidget(hint);
    hintRow->addStretch();
    layout->addLayout(hintRow);

    auto *startRow = new QHBoxLayout();
    startRow->setContentsMargins(30, 0, 30, 0);
    startRow->addSpacing(setup.startSpacing);
    m_start = createActionButton(tr("start convert"), this);
    m_start->setEnabled(false);
    startRow->addWidget(m_start);
    startRow->addStretch();
    layout->addLayout(startRow);
    layout->addStretch();

    m_timeout = new QTimer(this);
    m_timeout->setSingleShot(true);
    m_timeout->setInterval(kJobTimeoutMs);
    m_tick = new QTimer(this);
    m_tick->setInterval(kTickMs);

    connect(m_modes, &QButtonGroup::idClicked, this, &KOnlineJobView::onFormatOutputBtn);
    connect(m_start, &QPushButton::clicked, this, &KOnlineJobView::onStartConvert);
    connect(m_client.get(), &KvHttp::downloadSuccess, this, &KOnlineJobView::onGetData);
    connect(m_client.get(), &KvHttp::progressError, this, &KOnlineJobView::onFail);
    connect(m_client.get(), &KvHttp::processFinished, this, &KOnlineJobView::onProcessFinished);
    if (setup.followsServiceProgress) {
        connect(m_client.get(), &KvHttp::progressValueChanged, this,
            &KOnlineJobView::onProgressValueChanged);
    }
    connect(m_timeout, &QTimer::timeout, this, &KOnlineJobView::onProcessOverTime);
    connect(m_tick, &QTimer::timeout, this, &KOnlineJobView::onProgressUpdateProgress);
}

KOnlineJobView::~KOnlineJobView() = default;

KImageLoadView *KOnlineJobView::progressDialog() const { return m_progress.data(); }

void KOnlineJobView::setJobTimeout(int ms) { m_timeout->setInterval(ms); }

int KOnlineJobView::jobTimeout() const { return m_timeout->interval(); }

void KOnlineJobView::onAddFile()
{
    const QString path = QFileDialog::getOpenFileName(
        this, tr("Open File"), desktopFolder(), QStringLiteral("*.png *.jpg *.jpeg *.bmp"));
    if (!path.isEmpty())
        loadFile(path);
}

bool KOnlineJobView::loadFile(const QString &path)
{
    const UploadFile file = UploadFile::fromPath(path);
    if (file.name.isEmpty()) {
        showMessage(tr("\"%1\" could not be read.").arg(QFileInfo(path).fileName()));
        return false;
    }
    const QFileInfo info(path);
    m_cache.clear();
    m_resultBytes.clear();
    m_path = path;
    m_image = QImage(path); // an undecodable image still uploads its file
    m_fileSize = file.size;
    m_folder = info.absoluteDir().canonicalPath();
    m_fileName = info.fileName();
    const int dot = m_fileName.lastIndexOf(QLatin1Char('.'));
    m_baseName = dot > 0 ? m_fileName.left(dot) : m_fileName;
    m_suffix = file.suffix;
    m_files = { file };
    showSource();
    m_needsRun = true;
    m_start->setText(tr("start convert"));
    m_start->setEnabled(true);
    m_client->setServiceType(serviceTypeFor(m_mode));
    afterLoad();
    return true;
}

void KOnlineJobView::onClearFile()
{
    m_path.clear();
    m_cache.clear();
    m_resultBytes.clear();
    m_image = QImage();
    m_files.clear();
    m_needsRun = false;
    resetDisplay();
    m_start->setText(tr("start convert"));
    m_start->setEnabled(false);
}

void KOnlineJobView::onFormatOutputBtn(int id)
{
    m_mode = id;
    if (!m_cache.contains(id)) {
        m_needsRun = !m_path.isEmpty();
        m_client->setServiceType(serviceTypeFor(id));
        m_start->setText(tr("start convert"));
        if (!m_path.isEmpty())
            showSource();
        return;
    }
    m_needsRun = false;
    m_start->setText(tr("save result"));
    m_resultBytes = m_cache.value(id).data;
    showResult(m_cache.value(id));
}

void KOnlineJobView::onStartConvert()
{
    if (m_running || m_path.isEmpty())
        return;
    if (!ensureLoggedIn())
        return;
    if (m_needsRun) {
        // Every job starts from the file itself; a mode may reduce it.
        const UploadFile file = UploadFile::fromPath(m_path);
        if (file.name.isEmpty()) {
            showMessage(tr("\"%1\" could not be read.").arg(m_fileName));
            return;
        }
        m_files = { file };
        prepareAndStart();
        return;
    }
    const QString chosen
        = QFileDialog::getSaveFileName(this, tr("Save as"), proposedSavePath(), saveFilter());
    if (!chosen.isEmpty())
        saveResultTo(chosen);
}

QString KOnlineJobView::saveResultTo(const QString &chosen)
{
    QString path = chosen;
    // Only the file's own name counts: a folder named "v1.2" is no extension.
    if (!QFileInfo(path).fileName().contains(QLatin1Char('.')) && !saveExtension().isEmpty())
        path += QLatin1Char('.') + saveExtension();
    QString reason;
    if (!writeFileAtomically(path, m_resultBytes, &reason)) {
        showMessage(tr("The result could not be saved: %1").arg(reason));
        return QString();
    }
    m_lastSavePath = path;
    m_lastMessage = m_setup.savedMessage;
    ask(this, m_setup.dialogTitle, m_setup.savedMessage, Buttons::OpenFile, [path](int answer) {
        if (answer == 1)
            openFile(path);
        else if (answer == 2)
            revealInFolder(path);
    });
    return path;
}

void KOnlineJobView::useReducedCopy(const QSize &target)
{
    const UploadFile small = OnlineUploads::reducedCopy(m_image, target, m_baseName);
    if (!small.name.isEmpty())
        m_files = { small };
}

void KOnlineJobView::ensureProgressDialog()
{
    if (m_progress)
        return;
    m_progress = new KImageLoadView(m_setup.dialogTitle, this);
    m_progress->setModal(true);
    m_progress->setText(tr("Pictures are accelerating, please be patient"));
    // Closing the dialog gives the job up, as the time limit does.
    connect(m_progress.data(), &KImageLoadView::btnClosed, this, [this] {
        if (!m_running)
            return;
        m_running = false;
        stopSupervision(0);
        m_client->setCancelled(true);
        setControlsEnabled(true);
        emit jobFinished(false);
    });
}

void KOnlineJobView::startJob()
{
    if (m_path.isEmpty() || m_files.isEmpty())
        return;
    ensureProgressDialog();
    m_progress->setValue(0);
    m_client->setServiceType(serviceTypeFor(m_mode));
    m_timeout->start();
    setControlsEnabled(false);
    m_running = true;
    m_lastUpload = m_files;
    ++m_jobsStarted;
    m_client->startJob(m_files);
    m_tick->start();
    m_progress->show();
}

void KOnlineJobView::setControlsEnabled(bool enabled)
{
    m_start->setEnabled(enabled && !m_path.isEmpty());
    setDisplayButtonsEnabled(enabled);
    // The mode is the result's cache key: it cannot change under a job.
    for (QAbstractButton *button : m_modes->buttons())
        button->setEnabled(enabled);
}

void KOnlineJobView::stopSupervision(int barValue)
{
    m_timeout->stop();
    m_tick->stop();
    if (m_progress) {
        m_progress->setValue(barValue);
        m_progress->hide();
    }
}

OcrResult KOnlineJobView::resultFromClient() const
{
    OcrResult result;
    result.data = m_client->resultData();
    result.size = result.data.size();
    result.key = m_client->resultKey();
    const QByteArray preview = m_client->previewData();
    if (!preview.isEmpty())
        result.image = QImage::fromData(preview);
    return result;
}

void KOnlineJobView::onGetData()
{
    if (!m_running)
        return;
    m_running = false;
    m_needsRun = false;
    m_start->setText(tr("save result"));
    setControlsEnabled(true);
    stopSupervision(m_setup.fullBarOnSuccess ? 100 : 0);
    const OcrResult result = resultFromClient();
    m_resultBytes = result.data;
    m_cache.insert(m_mode, result);
    showResult(result);
    emit jobFinished(true);
}

void KOnlineJobView::onFail()
{
    if (!m_running)
        return;
    m_running = false;
    setControlsEnabled(true);
    stopSupervision(0);
    m_lastMessage = failureText(m_setup.failureMessage, *m_client);
    ask(this, m_setup.dialogTitle, m_lastMessage, Buttons::Retry, [this](int answer) {
        if (answer == 1)
            retry();
    });
    emit jobFinished(false);
}

void KOnlineJobView::retry()
{
    m_needsRun = true;
    onStartConvert();
}

void KOnlineJobView::onProcessFinished(int)
{
    // The service failed the job: say so now instead of waiting for the limit.
    onFail();
}

void KOnlineJobView::onProgressValueChanged(int value)
{
    if (m_progress && value > m_progress->value())
        m_progress->setValue(qMin(value, 100));
}

void KOnlineJobView::onProgressUpdateProgress()
{
    if (!m_progress)
        return;
    const int next = qMin(m_progress->value() + m_setup.tickStep, 100);
    if (next > m_progress->value())
        m_progress->setValue(next);
}

void KOnlineJobView::onProcessOverTime()
{
    if (!m_running)
        return;
    m_running = false;
    stopSupervision(0);
    m_client->setCancelled(true);
    setControlsEnabled(true);
    afterTimeout();
    emit jobFinished(false);
}

void KOnlineJobView::showMessage(const QString &text)
{
    m_lastMessage = text;
    ask(this, m_setup.dialogTitle, text, Buttons::Confirm);
}
