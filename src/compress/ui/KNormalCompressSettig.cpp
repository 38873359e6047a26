#include "KNormalCompressSettig.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "widgets/ComboBoxStyle.h"
#include "widgets/KBatchProcessLabel.h"
#include "widgets/StyleSheets.h"

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

int KNormalCompressSettig::qualityOf(int presetId)
{
    switch (presetId) {
    case 2:
        return 85;
    case 3:
        return 45;
    default:
        return 65;
    }
}

KNormalCompressSettig::KNormalCompressSettig(QWidget *parent)
    : QWidget(parent)
{
    // Sized for the English texts at 12 px; the radios take the width their texts need.
    setFixedSize(446, 110);
    QFont panelFont(uiFontFamily());
    panelFont.setPixelSize(12);
    setFont(panelFont);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(new KBatchProcessLabel(tr("normal compress"), this));

    auto *presets = new QHBoxLayout();
    presets->setContentsMargins(0, 0, 0, 0);
    presets->setSpacing(0);
    presets->addWidget(rowLabel(tr("compress settting:"), this));
    m_group = new QButtonGroup(this);
    m_group->setExclusive(true);
    const QStringList texts { tr("standard compress"), tr("quality priority"),
        tr("size priority") };
    presets->setSpacing(4);
    for (int i = 0; i < texts.size(); ++i) {
        auto *radio = new QRadioButton(texts[i], this);
        radio->setFixedHeight(30);
        radio->setStyleSheet(radioStyleSheet());
        m_group->addButton(radio, i + 1);
        presets->addWidget(radio);
    }
    auto *hidden = new QRadioButton(this);
    hidden->hide();
    m_group->addButton(hidden, 0);
    m_group->button(1)->setChecked(true);
    presets->addStretch();
    layout->addLayout(presets);

    auto *formatRow = new QHBoxLayout();
    formatRow->setContentsMargins(0, 8, 0, 0);
    formatRow->addWidget(rowLabel(tr("output format:"), this));
    m_format_combo = new QComboBox(this);
    m_format_combo->setFixedSize(250, 28);
    m_format_combo->addItem(tr("JPG File"));
    styleComboBox(m_format_combo);
    QPalette pal = m_format_combo->palette();
    pal.setColor(QPalette::ButtonText, QColor(0x5F, 0x5F, 0x5F));
    pal.setColor(QPalette::Text, QColor(0x5F, 0x5F, 0x5F));
    m_format_combo->setPalette(pal);
    m_format_combo->setCurrentIndex(0);
    formatRow->addWidget(m_format_combo);
    formatRow->addStretch();
    layout->addLayout(formatRow);
    layout->addStretch();

    connect(
        m_group, &QButtonGroup::idClicked, this, &KNormalCompressSettig::onNormalCompressSelectBtn);
    connect(m_format_combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &KNormalCompressSettig::onCurrentIndexChanged);
}

QRadioButton *KNormalCompressSettig::presetButton(int id) const
{
    return qobject_cast<QRadioButton *>(m_group->button(id));
}

int KNormalCompressSettig::checkedButtonId() const { return m_group->checkedId(); }

void KNormalCompressSettig::onNormalCompressSelectBtn(int id)
{
    m_presetId = id;
    emit statusChanged();
}

void KNormalCompressSettig::onCurrentIndexChanged(int index)
{
    m_format = outputFormatAt(index).value_or(m_format);
    emit selectFormatChanged(m_format);
}

void KNormalCompressSettig::onHighCompressModeChanged() { m_group->button(0)->setChecked(true); }
