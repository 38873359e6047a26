#include "KResizeGifCompressSettig.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "widgets/ComboBoxStyle.h"
#include "widgets/KBatchProcessLabel.h"
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
    // A plain integer validator: the field may be emptied again (an empty
    // size field means "follow the ratio").
    edit->setValidator(new QIntValidator(bottom, top, edit));
    edit->setContextMenuPolicy(Qt::NoContextMenu);
    edit->setAlignment(Qt::AlignCenter);
    return edit;
}

struct SizePreset
{
    int width;
    int height;
};

// Indexed like the combo's items; 0 leaves a field empty.
const SizePreset kPresets[] = {
    { 0, 0 }, // keep the original size
    { 1024, 0 }, // computer
    { 480, 0 }, // phone
    { 200, 0 }, // chat sticker, large
    { 140, 0 }, // chat sticker, small
    { 295, 413 }, // one inch photo
    { 413, 626 }, // two inch photo
    { 0, 0 }, // self defined
};

QString fieldText(int value) { return value > 0 ? QString::number(value) : QString(); }

} // namespace

KResizeGifCompressSettig::KResizeGifCompressSettig(QWidget *parent)
    : QWidget(parent)
{
    // Wider than the 320 the layout was drawn for, so that the English preset
    // names fit the combo box.
    setFixedSize(340, 110);
    QFont panelFont(uiFontFamily());
    panelFont.setPixelSize(12);
    setFont(panelFont);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setAlignment(Qt::AlignLeft);
    layout->addWidget(new KBatchProcessLabel(tr("size adjust"), this));

    auto *pixels = new QHBoxLayout();
    pixels->setContentsMargins(0, 0, 0, 0);
    pixels->setSpacing(0);
    pixels->addWidget(rowLabel(tr("pixel setting:"), 84, this));
    m_width = numberEdit(90, 1, 9999, this);
    m_height = numberEdit(90, 1, 9999, this);
    for (QLineEdit *edit : { m_width, m_height })
        edit->setPlaceholderText(tr("original ratio"));
    pixels->addWidget(m_width);
    pixels->addSpacing(14);
    pixels->addWidget(m_height);
    pixels->addStretch();
    layout->addLayout(pixels);

    auto *common = new QHBoxLayout();
    common->setContentsMargins(0, 8, 0, 0);
    common->setSpacing(0);
    common->addWidget(rowLabel(tr("common size:"), 84, this));
    m_presets = new QComboBox(this);
    m_presets->setFixedSize(250, 28);
    m_presets->addItems({ tr("keep the original size"), tr("suitable computer size"),
        tr("suitable phone size"), tr("suitable WeChat expression size (large)"),
        tr("suitable WeChat expression size (small)"), tr("one inch photo"), tr("two inch photo"),
        tr("self defined") });
    styleComboBox(m_presets);
    m_presets->setCurrentIndex(0);
    common->addWidget(m_presets);
    common->addStretch();
    layout->addLayout(common);
    layout->addStretch();

    connect(m_presets, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &KResizeGifCompressSettig::onCurrentIndexChanged);
}

QSize KResizeGifCompressSettig::sizeSetting() const
{
    return QSize(m_width->text().toInt(), m_height->text().toInt());
}

void KResizeGifCompressSettig::onCurrentIndexChanged(int index)
{
    if (index < 0 || index >= int(sizeof(kPresets) / sizeof(kPresets[0])))
        return;
    m_width->setText(fieldText(kPresets[index].width));
    m_height->setText(fieldText(kPresets[index].height));
}
