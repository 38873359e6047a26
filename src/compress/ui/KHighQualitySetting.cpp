#include "KHighQualitySetting.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "widgets/ComboBoxStyle.h"
#include "widgets/KBatchProcessLabel.h"
#include "widgets/KPicResizeSlider.h"
#include "widgets/StyleSheets.h"

namespace {

QLabel *plainLabel(const QString &text, QSize size, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFixedSize(size);
    label->setStyleSheet(QStringLiteral("color:#3E3E3E;"));
    return label;
}

QRadioButton *radio(const QString &text, QWidget *parent)
{
    auto *button = new QRadioButton(text, parent);
    button->setFixedHeight(30);
    button->setMinimumWidth(100);
    button->setStyleSheet(radioStyleSheet() + QStringLiteral("QRadioButton{color:#3E3E3E;}"));
    return button;
}

} // namespace

KHighQualitySetting::KHighQualitySetting(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(296, 110);
    QFont panelFont(uiFontFamily());
    panelFont.setPixelSize(12);
    setFont(panelFont);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setAlignment(Qt::AlignLeft);
    layout->addWidget(new KBatchProcessLabel(tr("highqualiy compress"), this));

    m_group = new QButtonGroup(this);
    m_group->setExclusive(true);
    m_hidden = new QRadioButton(this);
    m_hidden->hide();
    m_group->addButton(m_hidden, 0);

    auto *qualityRow = new QHBoxLayout();
    qualityRow->setContentsMargins(0, 0, 0, 0);
    qualityRow->setSpacing(0);
    m_clarity = radio(tr("clarity setting:"), this);
    m_group->addButton(m_clarity, 1);
    qualityRow->addWidget(m_clarity);
    m_slider = new KPicResizeSlider(this);
    m_slider->setFixedSize(128, 30);
    m_slider->setRange(1, 99);
    m_slider->setValue(50);
    m_slider->setStyleSheet(sliderStyleSheet());
    qualityRow->addWidget(m_slider);
    m_quality = new QLineEdit(QStringLiteral("50"), this);
    m_quality->setFixedSize(32, 30);
    m_quality->setStyleSheet(lineEditStyleSheet());
    m_quality->setValidator(new QIntValidator(1, 99, m_quality));
    m_quality->setContextMenuPolicy(Qt::NoContextMenu);
    m_quality->setAlignment(Qt::AlignCenter);
    qualityRow->addWidget(m_quality);
    qualityRow->addWidget(plainLabel(QStringLiteral("%"), QSize(11, 30), this));
    qualityRow->addStretch();
    layout->addLayout(qualityRow);

    auto *sizeRow = new QHBoxLayout();
    sizeRow->setContentsMargins(0, 8, 0, 0);
    sizeRow->setSpacing(0);
    m_sizeButton = radio(tr("size setting:"), this);
    m_group->addButton(m_sizeButton, 2);
    sizeRow->addWidget(m_sizeButton);
    m_size = new QLineEdit(QStringLiteral("1"), this);
    m_size->setFixedSize(80, 30);
    m_size->setStyleSheet(QStringLiteral("border:1px solid #CCCCCC;"));
    m_size->setValidator(new QIntValidator(1, 1024, m_size));
    m_size->setContextMenuPolicy(Qt::NoContextMenu);
    m_size->setAlignment(Qt::AlignCenter);
    sizeRow->addWidget(m_size);
    m_unit = new QComboBox(this);
    m_unit->setFixedSize(60, 28);
    m_unit->addItems({ QStringLiteral("MB"), QStringLiteral("KB") });
    styleComboBox(m_unit);
    m_unit->setCurrentIndex(0);
    sizeRow->addWidget(m_unit);
    sizeRow->addWidget(plainLabel(tr("less"), QSize(30, 30), this));
    sizeRow->addStretch();
    layout->addLayout(sizeRow);
    layout->addStretch();

    m_hidden->setChecked(true);
    m_slider->setSliderEnabled(false);
    m_quality->setEnabled(false);
    m_size->setEnabled(false);
    m_unit->setEnabled(false);

    connect(m_slider, &QSlider::valueChanged, this, &KHighQualitySetting::onSliderValueChanged);
    connect(
        m_quality, &QLineEdit::textChanged, this, &KHighQualitySetting::onCompressQualityChanged);
    connect(
        m_size, &QLineEdit::textChanged, this, &KHighQualitySetting::onCompressSizeLimitChanged);
    connect(m_unit, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &KHighQualitySetting::onCompressSizeUintChanged);
    connect(m_clarity, &QRadioButton::clicked, this, &KHighQualitySetting::onRadioBtnClicked);
    connect(m_sizeButton, &QRadioButton::clicked, this, &KHighQualitySetting::onRadioBtnClicked);
}

KHighQualitySetting::Settings KHighQualitySetting::settings() const
{
    Settings s;
    if (m_clarity->isChecked()) {
        s.quality = m_slider->value();
    } else {
        s.sizeValue = m_size->text().toInt();
        s.sizeUnit = m_unitIndex;
    }
    return s;
}

void KHighQualitySetting::onSliderValueChanged(int value)
{
    if (!m_reentrancy)
        return;
    m_reentrancy = false;
    m_quality->setText(QString::number(value));
    m_reentrancy = true;
    emit statusChanged();
}

void KHighQualitySetting::onCompressQualityChanged(const QString &text)
{
    if (!m_reentrancy)
        return;
    m_reentrancy = false;
    m_slider->setValue(text.toInt());
    m_reentrancy = true;
}

void KHighQualitySetting::onCompressSizeLimitChanged(const QString &) { emit statusChanged(); }

void KHighQualitySetting::onCompressSizeUintChanged(int index)
{
    m_unitIndex = index;
    emit statusChanged();
}

void KHighQualitySetting::onRadioBtnClicked(bool checked)
{
    if (!checked)
        return;
    const bool clarity = sender() == m_clarity;
    if (clarity) {
        m_sizeButton->setChecked(false);
        m_unit->setEnabled(false);
        m_size->setEnabled(false);
        m_slider->setSliderEnabled(true);
        m_quality->setEnabled(true);
    } else {
        m_clarity->setChecked(false);
        m_slider->setSliderEnabled(false);
        m_quality->setEnabled(false);
        m_unit->setEnabled(true);
        m_size->setEnabled(true);
    }
    emit statusChanged();
}

void KHighQualitySetting::onNormalModeSelected()
{
    m_hidden->setChecked(true);
    m_slider->setSliderEnabled(false);
    m_quality->setEnabled(false);
    m_size->setEnabled(false);
    m_unit->setEnabled(false);
}
