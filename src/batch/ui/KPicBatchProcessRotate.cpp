#include "KPicBatchProcessRotate.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QThreadPool>
#include <QVBoxLayout>

#include "app/BatchRun.h"
#include "app/FileUtils.h"
#include "batch/BatchNaming.h"
#include "batch/KBatchProcessRotateTask.h"
#include "batch/ui/BatchRun_p.h"
#include "widgets/ComboBoxStyle.h"
#include "widgets/KBatchProcessLabel.h"
#include "widgets/KPicResizeSlider.h"
#include "widgets/KTableListView.h"
#include "widgets/StyleSheets.h"
#include "widgets/ViewParts.h"

namespace {

QLabel *rowLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFixedHeight(30);
    label->setMinimumWidth(80);
    label->setStyleSheet(QStringLiteral("color:#3E3E3E;"));
    return label;
}

} // namespace

KPicBatchProcessRotate::KPicBatchProcessRotate(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(886, 600);
    QFont font(uiFontFamily());
    font.setPixelSize(12);
    setFont(font);
    m_pool = new QThreadPool(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    m_list = new KTableListView(this);
    m_list->setAddFileText(
        tr("*please add convert file, support heic,raw,jpg,gif,png,bmp,tiff,webp etc format"));
    layout->addWidget(m_list);

    // Three rows under the list: the fixed operations, the free angle, the
    // output. The English texts need the full width, so the two rotation
    // groups sit one above the other rather than side by side.
    auto *normal = new QHBoxLayout();
    normal->setContentsMargins(30, 0, 30, 0);
    normal->setSpacing(6);
    normal->addWidget(new KBatchProcessLabel(tr("normal rotation"), this));
    normal->addWidget(rowLabel(tr("normal rotation:"), this));
    m_types = new QButtonGroup(this);
    m_types->setExclusive(true);
    const QStringList texts { tr("left rotate 90 degree"), tr("right rotate 90 degree"),
        tr("flip left and right"), tr("flip up and down") };
    for (int i = 0; i < texts.size(); ++i) {
        auto *radio = new QRadioButton(texts[i], this);
        radio->setFixedHeight(30);
        radio->setMinimumWidth(72);
        radio->setStyleSheet(radioStyleSheet());
        m_types->addButton(radio, i);
        normal->addWidget(radio);
    }
    auto *hidden = new QRadioButton(this);
    hidden->setFixedSize(20, 30);
    hidden->hide();
    m_types->addButton(hidden, 4);
    m_types->button(0)->setChecked(true);
    normal->addStretch();
    layout->addLayout(normal);

    auto *advanced = new QHBoxLayout();
    advanced->setContentsMargins(30, 0, 30, 0);
    advanced->setSpacing(6);
    advanced->addWidget(new KBatchProcessLabel(tr("advanced rotation"), this));
    advanced->addWidget(rowLabel(tr("rotation degree:"), this));
    m_slider = new KPicResizeSlider(this);
    m_slider->setFixedSize(180, 30);
    m_slider->setRange(-180, 180);
    m_slider->setValue(0);
    m_slider->setStyleSheet(sliderStyleSheet());
    advanced->addWidget(m_slider);
    m_angleEdit = new QLineEdit(QStringLiteral("0"), this);
    m_angleEdit->setFixedSize(48, 30);
    m_angleEdit->setStyleSheet(lineEditStyleSheet());
    m_angleEdit->setValidator(new QIntValidator(1, 99, m_angleEdit));
    m_angleEdit->setAlignment(Qt::AlignCenter);
    m_angleEdit->setContextMenuPolicy(Qt::NoContextMenu);
    advanced->addWidget(m_angleEdit);
    auto *unit = new QLabel(QStringLiteral("%"), this);
    unit->setFixedSize(11, 30);
    advanced->addWidget(unit);
    advanced->addStretch();
    layout->addLayout(advanced);

    auto *output = new QHBoxLayout();
    output->setContentsMargins(30, 0, 30, 0);
    output->addWidget(rowLabel(tr("output format:"), this));
    m_formatCombo = new QComboBox(this);
    m_formatCombo->setFixedSize(250, 28);
    m_formatCombo->addItems(
        { tr("JPG File"), tr("PNG File"), tr("BMP File"), tr("WEBP File"), tr("TIF File") });
    styleComboBox(m_formatCombo);
    output->addWidget(m_formatCombo);
    output->addSpacing(12);
    auto *hint = new QLabel(
        tr("Loading high resolution images in RAW format can cause slow conversion times"), this);
    hint->setFixedSize(260, 40);
    hint->setWordWrap(true);
    hint->setStyleSheet(QStringLiteral("color:#999999;"));
    output->addWidget(hint);
    output->addStretch();
    m_start = createActionButton(tr("start convert"), this);
    m_start->setEnabled(false);
    output->addWidget(m_start);
    layout->addLayout(output);
    layout->addStretch();

    connect(m_list, &KTableListView::addImages, this, &KPicBatchProcessRotate::onAddImages);
    connect(m_list, &KTableListView::clearImage, this, &KPicBatchProcessRotate::onClearImage);
    connect(m_list->run(), &BatchRun::finished, this, &KPicBatchProcessRotate::onRunFinished);
    connect(
        m_types, &QButtonGroup::idClicked, this, &KPicBatchProcessRotate::onNormalRotateSelectBtn);
    connect(m_slider, &QSlider::valueChanged, this, &KPicBatchProcessRotate::onSliderValueChanged);
    connect(
        m_angleEdit, &QLineEdit::textChanged, this, &KPicBatchProcessRotate::onRotatDegreeChanged);
    connect(m_formatCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &KPicBatchProcessRotate::onCurrentIndexChanged);
    connect(m_start, &QPushButton::clicked, this, &KPicBatchProcessRotate::onStartRotte);
}

KPicBatchProcessRotate::~KPicBatchProcessRotate()
{
    m_pool->clear();
    m_pool->waitForDone();
}

void KPicBatchProcessRotate::setControlsEnabled(bool enabled)
{
    m_start->setEnabled(enabled && !m_list->files().isEmpty());
    m_list->setButtonsEnabled(enabled);
}

void KPicBatchProcessRotate::onAddImages(const QStringList &)
{
    if (!isRunning())
        m_start->setEnabled(!m_list->files().isEmpty());
}

void KPicBatchProcessRotate::onClearImage() { m_start->setEnabled(false); }

void KPicBatchProcessRotate::onNormalRotateSelectBtn(int index)
{
    if (!m_guard || index < 0 || index > 3)
        return;
    m_guard = false;
    m_type = index;
    m_slider->setValue(0);
    m_angleEdit->setText(QStringLiteral("0"));
    m_angle = 0;
    m_guard = true;
}

void KPicBatchProcessRotate::onSliderValueChanged(int value)
{
    if (!m_guard)
        return;
    m_guard = false;
    m_angle = value;
    m_angleEdit->setText(QString::number(value));
    m_types->button(4)->setChecked(true);
    m_type = KBatchProcessRotateTask::FreeAngle;
    m_guard = true;
}

void KPicBatchProcessRotate::onRotatDegreeChanged(const QString &text)
{
    if (!m_guard)
        return;
    m_guard = false;
    m_angle = text.toInt();
    m_slider->setValue(m_angle);
    m_types->button(4)->setChecked(true);
    m_type = KBatchProcessRotateTask::FreeAngle;
    m_guard = true;
}

void KPicBatchProcessRotate::onCurrentIndexChanged(int index)
{
    m_format = outputFormatAt(index).value_or(m_format);
}

void KPicBatchProcessRotate::onStartRotte()
{
    BatchRun *run = m_list->run();
    if (run->isRunning() || run->count() == 0)
        return;
    if (m_outputFolder.isEmpty())
        m_outputFolder = batchOutputRoot();
    QString error;
    const QString folder = run->startInFolder(m_outputFolder, tr("quorvel"), &error);
    if (folder.isEmpty()) {
        showNotice(this, tr("imageBatchRotate"), error);
        return;
    }
    m_runFolder = folder;
    setControlsEnabled(false);
    m_pool->setMaxThreadCount(2);
    // Run ids are the rows at the start, so grouping the run's files gives
    // (path, run id) pairs.
    const auto groups = BatchNaming::groupByBaseName(run->files());
    for (const auto &group : groups) {
        auto *task = new KBatchProcessRotateTask(m_runFolder, group, m_type, m_angle, m_format);
        connect(task, &KBatchProcessRotateTask::processStatusChanged, this,
            &KPicBatchProcessRotate::onProcessStatusChanged, Qt::QueuedConnection);
        m_pool->start(task);
    }
}

void KPicBatchProcessRotate::onProcessStatusChanged(const BatchResult &result)
{
    m_list->updateStatus(result);
}

void KPicBatchProcessRotate::onRunFinished()
{
    setControlsEnabled(true);
    emit runFinished();
}

bool KPicBatchProcessRotate::isRunning() const { return m_list->run()->isRunning(); }

void KPicBatchProcessRotate::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    QWidget::paintEvent(event);
}
