#include "KQualityGifCompressSettig.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "widgets/ComboBoxStyle.h"
#include "widgets/KBatchProcessLabel.h"
#include "widgets/KPicResizeSlider.h"
#include "widgets/StyleSheets.h"

namespace {

QLabel *rowLabel(const QString &text, int width, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFixedSize(width, 30);
    QFont font(uiFontFamily());
    font.setPixelSize(13);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color:#3E3E3E;"));
    return label;
}

QLineEdit *numberEdit(int width, int bottom, int top, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setFixedSize(width, 30);
    edit->setStyleSheet(lineEditStyleSheet());
    // A plain integer validator, so the field may be empty while retyping.
    edit->setValidator(new QIntValidator(bottom, top, edit));
    edit->setContextMenuPolicy(Qt::NoContextMenu);
    edit->setAlignment(Qt::AlignCenter);
    return edit;
}

} // namespace

KQualityGifCompressSettig::KQualityGifCompressSettig(QWidget *parent)
    : QWidget(parent)
{
    // Wider than the 320 the layout was drawn for: "frame number extraction:"
    // needs about 150 px at 13 px (the slider and the combo give up 10 px each).
    setFixedSize(348, 110);
    QFont panelFont(uiFontFamily());
    panelFont.setPixelSize(12);
    setFont(panelFont);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setAlignment(Qt::AlignLeft);
    layout->addWidget(new KBatchProcessLabel(tr("quality ajust"), this));

    auto *ratioRow = new QHBoxLayout();
    ratioRow->setContentsMargins(0, 0, 0, 0);
    ratioRow->setSpacing(0);
    ratioRow->addWidget(rowLabel(tr("compress ratio:"), 155, this));
    m_slider = new KPicResizeSlider(this);
    m_slider->setFixedSize(150, 30);
    m_slider->setRange(1, 90);
    m_slider->setValue(50);
    m_slider->setStyleSheet(sliderStyleSheet());
    ratioRow->addWidget(m_slider);
    m_ratio = numberEdit(32, 1, 99, this);
    m_ratio->setText(QStringLiteral("50"));
    ratioRow->addWidget(m_ratio);
    ratioRow->addWidget(rowLabel(QStringLiteral("%"), 11, this));
    ratioRow->addStretch();
    layout->addLayout(ratioRow);

    auto *framesRow = new QHBoxLayout();
    framesRow->setContentsMargins(0, 8, 0, 0);
    framesRow->setSpacing(0);
    framesRow->addWidget(rowLabel(tr("frame number extraction:"), 155, this));
    m_frames = new QComboBox(this);
    m_frames->setFixedSize(190, 28);
    m_frames->addItems({ tr("keep original frames count"), tr("remove 10%"), tr("remove 20%"),
        tr("remove 30%"), tr("remove 40%"), tr("remove 50%") });
    styleComboBox(m_frames);
    m_frames->setCurrentIndex(0);
    framesRow->addWidget(m_frames);
    framesRow->addStretch();
    layout->addLayout(framesRow);
    layout->addStretch();

    connect(m_slider, &KPicResizeSlider::valueChangedFinished, this,
        &KQualityGifCompressSettig::onSliderValueChanged);
    // Wheel and arrow keys move the slider without a finished gesture; the
    // field follows them too so it never shows a value other than the one used.
    connect(
        m_slider, &QSlider::valueChanged, this, &KQualityGifCompressSettig::onSliderValueChanged);
    connect(m_ratio, &QLineEdit::textChanged, this, &KQualityGifCompressSettig::onTextChanged);
    connect(
        m_ratio, &QLineEdit::editingFinished, this, &KQualityGifCompressSettig::onEditingFinished);
    connect(m_frames, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &KQualityGifCompressSettig::onCurrentIndexChanged);
}

int KQualityGifCompressSettig::colorPercent() const { return m_slider->value(); }

void KQualityGifCompressSettig::onSliderValueChanged()
{
    if (!m_follow)
        return;
    m_follow = false;
    m_ratio->setText(QString::number(m_slider->value()));
    m_follow = true;
}

void KQualityGifCompressSettig::onTextChanged(const QString &text)
{
    if (!m_follow)
        return;
    // An empty field (the user is retyping) leaves the slider where it is.
    const int value = text.toInt();
    if (value < 1)
        return;
    m_follow = false;
    m_slider->setValue(qMin(value, m_slider->maximum()));
    m_follow = true;
}

void KQualityGifCompressSettig::onEditingFinished()
{
    // The field accepts up to 99 but the slider stops at 90: once typing is
    // done, show the value that will be used.
    if (m_ratio->text().toInt() != m_slider->value())
        onSliderValueChanged();
}

void KQualityGifCompressSettig::onCurrentIndexChanged(int index) { m_frameOption = index; }
