#include "KImageRawConvertView.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/FileUtils.h"
#include "codec/ImageFormats.h"
#include "convert/KImageRawLoadThread.h"
#include "widgets/DesktopIntegration.h"
#include "widgets/KBatchProcessLabel.h"
#include "widgets/KFileOpenTips.h"
#include "widgets/KImageContentView.h"
#include "widgets/KImageLoadView.h"
#include "widgets/KPicResizeSlider.h"
#include "widgets/StyleSheets.h"
#include "widgets/ViewParts.h"

KImageRawConvertView::KImageRawConvertView(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(886, 600);
    QFont viewFont(uiFontFamily());
    viewFont.setPixelSize(12);
    setFont(viewFont);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_content = new KImageContentView(this);
    m_content->setHintText(
        tr("*please add convert raw file, support arw, cr2, dng, mrw, nef, orf, pef, raf format"));
    layout->addWidget(m_content);

    auto *settings = new QHBoxLayout();
    settings->setContentsMargins(30, 0, 30, 0);
    auto *controls = new QVBoxLayout();
    controls->setSpacing(6);
    controls->addWidget(new KBatchProcessLabel(tr("high quality convert"), this));
    QFont font(uiFontFamily());
    font.setPixelSize(12);
    auto makeRow = [&](const QString &text, KPicResizeSlider **slider, QLineEdit **edit) {
        auto *row = new QHBoxLayout();
        row->setSpacing(10);
        auto *label = new QLabel(text, this);
        label->setFixedSize(100, 24);
        label->setFont(font);
        label->setStyleSheet(QStringLiteral("color:#3E3E3E;"));
        row->addWidget(label);
        *slider = new KPicResizeSlider(this);
        (*slider)->setFixedSize(200, 24);
        (*slider)->setRange(0, 100);
        (*slider)->setValue(50);
        (*slider)->setStyleSheet(sliderStyleSheet());
        row->addWidget(*slider);
        *edit = new QLineEdit(QStringLiteral("50"), this);
        (*edit)->setFixedSize(80, 24);
        (*edit)->setStyleSheet(lineEditStyleSheet());
        (*edit)->setValidator(new QIntValidator(0, 100, *edit));
        (*edit)->setAlignment(Qt::AlignCenter);
        row->addWidget(*edit);
        row->addStretch();
        controls->addLayout(row);
    };
    makeRow(tr("brightness ajust:"), &m_brightness, &m_brightnessEdit);
    makeRow(tr("contrast ajust:"), &m_contrast, &m_contrastEdit);
    settings->addLayout(controls);

    auto *column = new QVBoxLayout();
    column->setContentsMargins(107, 32, 0, 0);
    m_action = createActionButton(tr("start convert"), this);
    column->addWidget(m_action);
    auto *hint = new QLabel(
        tr("Loading high resolution images in RAW format can cause slow conversion times"), this);
    hint->setFont(font);
    hint->setStyleSheet(QStringLiteral("color:#999999;"));
    hint->setWordWrap(true);
    hint->setFixedWidth(260);
    column->addWidget(hint);
    column->addStretch();
    settings->addLayout(column);
    settings->addStretch();
    layout->addLayout(settings);
    layout->addStretch();

    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    setControlsEnabled(false);

    connect(m_content, &KImageContentView::addFile, this, &KImageRawConvertView::onAddFile);
    connect(m_content, &KImageContentView::clearFile, this, &KImageRawConvertView::onClearFile);
    connect(m_brightness, &KPicResizeSlider::valueChangedFinished, this,
        &KImageRawConvertView::onSliderValueChanged);
    connect(m_contrast, &KPicResizeSlider::valueChangedFinished, this,
        &KImageRawConvertView::onSliderValueChanged);
    connect(
        m_brightnessEdit, &QLineEdit::textChanged, this, &KImageRawConvertView::onLineEditChanged);
    connect(
        m_contrastEdit, &QLineEdit::textChanged, this, &KImageRawConvertView::onLineEditChanged);
    connect(m_action, &QPushButton::clicked, this, &KImageRawConvertView::onStartConvert);
    connect(m_timer, &QTimer::timeout, this, &KImageRawConvertView::onGetProgress);
}

KImageRawConvertView::~KImageRawConvertView() { delete m_worker; }

void KImageRawConvertView::setControlsEnabled(bool enabled)
{
    m_brightness->setSliderEnabled(enabled);
    m_contrast->setSliderEnabled(enabled);
    m_brightnessEdit->setEnabled(enabled);
    m_contrastEdit->setEnabled(enabled);
    m_action->setEnabled(enabled);
}

void KImageRawConvertView::setApplyMode(bool apply)
{
    m_applyMode = apply;
    m_action->setText(apply ? tr("start convert") : tr("save result"));
}

void KImageRawConvertView::onAddFile()
{
    const QString path = QFileDialog::getOpenFileName(
        this, tr("Open File"), desktopFolder(), ImageFormats::global().rawOpenFilter());
    if (!path.isEmpty())
        loadFile(path);
}

void KImageRawConvertView::loadFile(const QString &path)
{
    m_reentrancy = false;
    m_brightness->setValue(50);
    m_contrast->setValue(50);
    m_brightnessEdit->setText(QStringLiteral("50"));
    m_contrastEdit->setText(QStringLiteral("50"));
    m_reentrancy = true;
    setControlsEnabled(false);
    m_content->setEnabled(false);
    m_sourcePath = path;
    m_result = QImage();
    // The previous worker finishes its current job and its thread is joined;
    // the interface waits at most for that one job.
    delete m_worker;
    m_worker = new KImageRawLoadThread(path);
    // Reports of a replaced worker may still be queued; only the current one's count.
    const int generation = ++m_generation;
    connect(m_worker, &KImageRawLoadThread::loadStatus, this, [this, generation](bool ok) {
        if (generation == m_generation)
            onLoadFile(ok);
    });
    connect(m_worker, &KImageRawLoadThread::ajustStatus, this, [this, generation](bool ok) {
        if (generation == m_generation)
            onAjust(ok);
    });
    m_displayed = 0;
    m_worker->start();
    m_timer->start();
    if (m_progressDialog)
        m_progressDialog->close();
    m_progressDialog = new KImageLoadView(tr("raw load"), this);
    m_progressDialog->setText(tr("raw file will cost time, please wait patiently"));
    connect(
        m_progressDialog, &KImageLoadView::btnClosed, this, &KImageRawConvertView::onCancelLoading);
    m_progressDialog->show();
}

void KImageRawConvertView::onClearFile()
{
    m_reentrancy = false;
    m_brightness->setValue(50);
    m_contrast->setValue(50);
    m_brightnessEdit->setText(QStringLiteral("50"));
    m_contrastEdit->setText(QStringLiteral("50"));
    m_reentrancy = true;
    setControlsEnabled(false);
}

void KImageRawConvertView::onSliderValueChanged()
{
    if (!m_reentrancy)
        return;
    m_reentrancy = false;
    if (sender() == m_brightness)
        m_brightnessEdit->setText(QString::number(m_brightness->value()));
    else if (sender() == m_contrast)
        m_contrastEdit->setText(QString::number(m_contrast->value()));
    m_reentrancy = true;
    setApplyMode(true);
}

void KImageRawConvertView::onLineEditChanged(const QString &text)
{
    if (!m_reentrancy)
        return;
    m_reentrancy = false;
    if (sender() == m_brightnessEdit)
        m_brightness->setValue(text.toInt());
    else if (sender() == m_contrastEdit)
        m_contrast->setValue(text.toInt());
    m_reentrancy = true;
    setApplyMode(true);
}

QString KImageRawConvertView::proposedSavePath() const
{
    const QFileInfo info(m_sourcePath);
    const QString name = info.fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return uniqueFilePath(
        info.absolutePath(), dot < 0 ? name : name.left(dot), QStringLiteral("jpg"));
}

QString KImageRawConvertView::withImageSuffix(const QString &path, const QString &selectedFilter)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (path.isEmpty() || suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg")
        || suffix == QLatin1String("png"))
        return path;
    // A name typed without a known extension gets the chosen format's one;
    // the dialog only asked about the bare name, so an existing file of the
    // full name is passed by.
    const bool png = selectedFilter.contains(QLatin1String("png"), Qt::CaseInsensitive)
        && !selectedFilter.contains(QLatin1String("jpg"), Qt::CaseInsensitive);
    const QString ext = png ? QStringLiteral("png") : QStringLiteral("jpg");
    const QFileInfo info(path);
    return uniqueFilePath(info.absolutePath(), info.fileName() + QLatin1Char('.') + ext, ext);
}

bool KImageRawConvertView::saveTo(const QString &path) const
{
    if (m_result.isNull() || path.isEmpty())
        return false;
    // Written beside the target and renamed, so a failed write leaves no partial file.
    const QString temp = siblingTempPath(path);
    if (temp.isEmpty())
        return false;
    QImageWriter writer(temp, QFileInfo(path).suffix().toLower().toLatin1());
    if (!writer.write(m_result)) {
        QFile::remove(temp);
        return false;
    }
    return replaceFile(temp, path);
}

void KImageRawConvertView::onStartConvert()
{
    if (m_applyMode) {
        if (m_worker)
            m_worker->requestAdjust(m_brightness->value(), m_contrast->value());
        return;
    }
    QString filter;
    const QString chosen = QFileDialog::getSaveFileName(
        this, tr("Save File"), proposedSavePath(), ImageFormats::global().jpegPngFilter(), &filter);
    if (chosen.isEmpty())
        return;
    const QString path = withImageSuffix(chosen, filter);
    if (!saveTo(path)) {
        const QString why = folderWriteProblem(QFileInfo(path).absolutePath());
        showNotice(this, tr("raw convert"),
            why.isEmpty() ? tr("The file could not be saved")
                          : tr("The file could not be saved: %1").arg(why));
        return;
    }
    auto *tips = new KFileOpenTips(
        tr("raw convert"), tr("save succeed, open directly or open folder"), this);
    const int answer = tips->exec();
    if (answer == 1)
        openFile(path);
    else if (answer == 2)
        revealInFolder(path);
}

void KImageRawConvertView::onLoadFile(bool ok)
{
    if (!m_worker)
        return;
    setApplyMode(false);
    setControlsEnabled(true);
    m_content->setEnabled(true);
    m_result = m_worker->result();
    const bool shown = ok && !m_result.isNull();
    m_content->showComparePage(shown);
    if (shown)
        m_content->setImages(m_result, m_result, 0, 0);
    else
        m_content->setHintText(tr("\"%1\" could not be developed as a camera RAW file.")
                                   .arg(QFileInfo(m_sourcePath).fileName()));
    m_action->setEnabled(shown);
    m_displayed = 0;
    if (m_progressDialog)
        m_progressDialog->close();
    m_timer->stop();
    emit developed();
}

void KImageRawConvertView::onAjust(bool)
{
    if (!m_worker)
        return;
    m_result = m_worker->result();
    m_content->setConvertedImage(m_result, 0);
    setApplyMode(false);
    m_displayed = 0;
    emit adjusted();
}

void KImageRawConvertView::onGetProgress()
{
    if (!m_worker)
        return;
    const int p = m_worker->progress();
    if (m_displayed < p)
        m_displayed = p;
    else
        ++m_displayed;
    if (p < 50)
        m_displayed = qMin(m_displayed, 50);
    m_displayed = qMin(m_displayed, 99);
    if (m_progressDialog)
        m_progressDialog->setValue(m_displayed);
}

void KImageRawConvertView::onCancelLoading()
{
    // The development goes on; the user only stops watching it.
    if (m_progressDialog)
        m_progressDialog->close();
}

void KImageRawConvertView::onRawModeChanged(int mode) { m_rawMode = mode == 1; }

void KImageRawConvertView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    QWidget::paintEvent(event);
}
