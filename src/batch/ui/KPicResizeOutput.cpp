#include "KPicResizeOutput.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/ComboBoxStyle.h"
#include "widgets/StyleSheets.h"
#include "widgets/ViewParts.h"

KPicResizeOutput::KPicResizeOutput(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(330, 134);
    QFont font(uiFontFamily());
    font.setPixelSize(12);
    setFont(font);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto *row = new QHBoxLayout();
    auto *label = new QLabel(tr("output format:"), this);
    label->setFixedHeight(28);
    label->setMinimumWidth(80);
    label->setStyleSheet(QStringLiteral("QLabel{color:#333333;}"));
    row->addWidget(label);
    m_combo = new QComboBox(this);
    m_combo->setFixedSize(220, 28);
    m_combo->addItems(
        { tr("JPG File"), tr("PNG File"), tr("BMP File"), tr("WEBP File"), tr("TIF File") });
    styleComboBox(m_combo);
    m_combo->setCurrentIndex(0);
    row->addWidget(m_combo);
    row->addStretch();
    layout->addLayout(row);
    auto *hint = new QLabel(
        tr("Loading high resolution images in RAW format can cause slow conversion times"), this);
    QFont small(uiFontFamily());
    small.setPixelSize(12);
    hint->setFont(small);
    hint->setWordWrap(true);
    hint->setFixedWidth(320);
    hint->setStyleSheet(QStringLiteral("color:#999999;"));
    layout->addWidget(hint);
    m_start = createActionButton(tr("start resize"), this);
    m_start->setEnabled(false);
    layout->addWidget(m_start, 0, Qt::AlignRight);
    layout->addStretch();
    connect(m_combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &KPicResizeOutput::onCurrentIndexChanged);
    connect(m_start, &QPushButton::clicked, this, &KPicResizeOutput::startResize);
}

void KPicResizeOutput::onCurrentIndexChanged(int index)
{
    m_format = outputFormatAt(index).value_or(m_format);
}

void KPicResizeOutput::setStartEnabled(bool enabled)
{
    m_start->setEnabled(enabled);
    update();
}
