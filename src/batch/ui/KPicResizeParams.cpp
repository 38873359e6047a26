#include "KPicResizeParams.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "widgets/ComboBoxStyle.h"
#include "widgets/KIntValidator.h"
#include "widgets/KPicResizeSlider.h"
#include "widgets/StyleSheets.h"

namespace {

QLabel *label(const QString &text, const QString &style, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setStyleSheet(style);
    return l;
}

QRadioButton *radio(const QString &text, QWidget *parent)
{
    auto *r = new QRadioButton(text, parent);
    r->setStyleSheet(radioStyleSheet());
    r->setMinimumHeight(14);
    return r;
}

} // namespace

QSize KPicResizeParams::presetSize(int index) { return ResizeParams::presetSize(index); }

KPicResizeParams::KPicResizeParams(QWidget *parent)
    : QWidget(parent)
{
    // Wide enough for the English texts at 12 px.
    setFixedSize(490, 134);
    QFont font(uiFontFamily());
    font.setPixelSize(12);
    setFont(font);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_modes = new QButtonGroup(this);

    auto *row1 = new QHBoxLayout();
    row1->setSpacing(6);
    auto *title = label(tr("modify image size:"), QStringLiteral("QLabel{color:#333333;}"), this);
    title->setFixedHeight(28);
    title->setMinimumWidth(80);
    row1->addWidget(title);
    auto *pixel = radio(tr("adjust pixel"), this);
    m_modes->addButton(pixel, 0);
    row1->addWidget(pixel);
    m_width = new QLineEdit(this);
    m_width->setFixedSize(60, 28);
    m_width->setStyleSheet(lineEditStyleSheet());
    m_width->setValidator(new KIntValidator(1, 99999, m_width));
    row1->addWidget(m_width);
    row1->addWidget(label(tr("width"), QStringLiteral("QLabel{color: #454545}"), this));
    m_lock = new QCheckBox(tr("lock ratio"), this);
    m_lock->setMinimumSize(80, 14);
    m_lock->setChecked(true);
    row1->addWidget(m_lock);
    m_height = new QLineEdit(this);
    m_height->setFixedSize(60, 28);
    m_height->setStyleSheet(lineEditStyleSheet());
    m_height->setValidator(new KIntValidator(1, 99999, m_height));
    row1->addWidget(m_height);
    row1->addWidget(label(tr("height"), QStringLiteral("QLabel{color: #454545}"), this));
    row1->addStretch();
    layout->addLayout(row1);

    auto *row2 = new QHBoxLayout();
    row2->setContentsMargins(title->sizeHint().width() + 6, 10, 0, 0);
    row2->setSpacing(6);
    auto *scale = radio(tr("scale pixel"), this);
    scale->setMinimumWidth(85);
    m_modes->addButton(scale, 1);
    row2->addWidget(scale);
    m_slider = new KPicResizeSlider(this);
    m_slider->setFixedSize(190, 28);
    m_slider->setRange(10, 200);
    m_slider->setValue(100);
    m_slider->setStyleSheet(sliderStyleSheet());
    row2->addWidget(m_slider);
    m_scale = new QLineEdit(QStringLiteral("100"), this);
    m_scale->setFixedSize(36, 28);
    m_scale->setStyleSheet(lineEditStyleSheet());
    m_scale->setValidator(new KIntValidator(10, 200, m_scale));
    m_scale->setContextMenuPolicy(Qt::NoContextMenu);
    row2->addWidget(m_scale);
    row2->addWidget(label(QStringLiteral("%"), QString(), this));
    row2->addStretch();
    layout->addLayout(row2);

    auto *row3 = new QHBoxLayout();
    row3->setContentsMargins(title->sizeHint().width() + 6, 10, 34, 0);
    auto *preset = radio(tr("custom size"), this);
    m_modes->addButton(preset, 2);
    row3->addWidget(preset);
    row3->addSpacing(20);
    m_presets = new QComboBox(this);
    m_presets->setFixedSize(246, 28);
    m_presets->addItems({ tr("One inch (295*413)"), tr("Two inches (413*626)"),
        tr("Little One inches (259*377)"), tr("Little Two inches (413*531)"),
        tr("Big One inches (389*566)"), tr("Three inches (650*992)"), tr("Five inches (1050*1500)"),
        tr("Thumbnail (100*139)"), tr("Weibo (460*650)") });
    styleComboBox(m_presets);
    row3->addWidget(m_presets);
    row3->addStretch();
    layout->addLayout(row3);
    layout->addStretch();

    scale->setChecked(true);
    onResizeModeSelectBtn(1);

    connect(m_modes, &QButtonGroup::idClicked, this, &KPicResizeParams::onResizeModeSelectBtn);
    connect(m_width, &QLineEdit::textEdited, this, &KPicResizeParams::onPixelVaueChanged);
    connect(m_height, &QLineEdit::textEdited, this, &KPicResizeParams::onPixelVaueChanged);
    connect(m_slider, &QSlider::valueChanged, this, &KPicResizeParams::onSliderValueChanged);
    connect(m_scale, &QLineEdit::textChanged, this, &KPicResizeParams::onScaleEditValueChanged);
    connect(m_presets, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &KPicResizeParams::onCustomSizeIndexChanged);
    connect(m_lock, &QCheckBox::clicked, this, &KPicResizeParams::onLockRatioBtnClicked);
}

QRadioButton *KPicResizeParams::modeButton(int mode) const
{
    return qobject_cast<QRadioButton *>(m_modes->button(mode));
}

void KPicResizeParams::onResizeModeSelectBtn(int id)
{
    m_mode = id;
    if (id < 0 || id > 2)
        return;
    m_width->setEnabled(id == 0);
    m_height->setEnabled(id == 0);
    m_lock->setEnabled(id == 0);
    m_slider->setSliderEnabled(id == 1);
    m_scale->setEnabled(id == 1);
    m_presets->setEnabled(id == 2);
}

void KPicResizeParams::onPixelVaueChanged(const QString &)
{
    if (!m_guard || !m_locked)
        return;
    m_guard = false;
    // With the ratio kept, the other side follows the one being typed.
    if (sender() == m_width)
        m_height->setText(KIntValidator::keyword());
    else if (sender() == m_height)
        m_width->setText(KIntValidator::keyword());
    m_guard = true;
}

void KPicResizeParams::onSliderValueChanged(int value)
{
    if (!m_guard)
        return;
    m_guard = false;
    m_scale->setText(QString::number(value));
    m_guard = true;
}

void KPicResizeParams::onScaleEditValueChanged(const QString &text)
{
    if (!m_guard)
        return;
    m_guard = false;
    m_slider->setValue(text.toInt());
    m_guard = true;
}

void KPicResizeParams::onCustomSizeIndexChanged(int index) { m_preset = index; }

void KPicResizeParams::onLockRatioBtnClicked(bool checked)
{
    m_locked = checked;
    writeReferenceSize();
}

void KPicResizeParams::writeReferenceSize()
{
    if (!m_imageSize.isValid())
        return; // no image listed yet: leave what the user typed
    m_guard = false;
    m_width->setText(QString::number(m_imageSize.width()));
    m_height->setText(m_locked ? KIntValidator::keyword() : QString::number(m_imageSize.height()));
    m_guard = true;
}

void KPicResizeParams::setImageSize(const QSize &size)
{
    m_imageSize = size;
    writeReferenceSize();
    onResizeModeSelectBtn(m_mode);
}

ResizeParams KPicResizeParams::params() const
{
    ResizeParams p;
    p.mode = m_mode;
    switch (m_mode) {
    case 0: {
        p.lockRatio = m_locked;
        const QString keyword = KIntValidator::keyword();
        if (m_locked && m_width->text() == keyword) {
            p.width = 0;
            p.height = m_height->text().toInt();
        } else if (m_locked && m_height->text() == keyword) {
            p.width = m_width->text().toInt();
            p.height = 0;
        } else if (m_locked) {
            // Neither box follows the other: with the ratio kept, the width decides
            // when one was typed, otherwise each image keeps its own size.
            p.width = m_width->text().toInt();
            p.height = p.width > 0 ? 0 : m_height->text().toInt();
        } else {
            p.width = m_width->text().toInt();
            p.height = m_height->text().toInt();
        }
        break;
    }
    case 1:
        p.lockRatio = true;
        p.scale = m_slider->value() / 100.0;
        break;
    default: {
        p.lockRatio = false;
        const QSize preset = presetSize(m_preset);
        p.width = preset.width();
        p.height = preset.height();
        break;
    }
    }
    return p;
}
