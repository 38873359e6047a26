#include "KImageCompareWidget.h"

#include <QVBoxLayout>

#include "widgets/KImageShowLabel.h"
#include "widgets/PanelToolbar_p.h"

KImageCompareWidget::KImageCompareWidget(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(886, 416);
    setAttribute(Qt::WA_TranslucentBackground);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    PanelToolbar bar(this, 684, 13);
    bar.layout->setContentsMargins(30, 4, 30, 0);
    m_add = bar.add;
    m_clear = bar.clear;
    layout->addLayout(bar.layout);
    auto *row = new QHBoxLayout();
    row->setContentsMargins(30, 0, 30, 0);
    row->setSpacing(0);
    m_original = new KImageShowLabel(tr("original image"), false, this);
    m_converted = new KImageShowLabel(tr("convert image"), false, this);
    row->addWidget(m_original);
    row->addSpacing(26);
    row->addWidget(m_converted);
    layout->addLayout(row);
    layout->addStretch();
    connect(m_add, &QPushButton::clicked, this, &KImageCompareWidget::addFile);
    connect(m_clear, &QPushButton::clicked, this, &KImageCompareWidget::clearFile);
}

void KImageCompareWidget::setImages(
    const QImage &original, const QImage &converted, quint32 originalBytes, quint32 convertedBytes)
{
    if (!original.isNull())
        m_original->setImage(original, originalBytes);
    if (!converted.isNull())
        m_converted->setImage(converted, convertedBytes);
}

void KImageCompareWidget::setConvertedImage(const QImage &image, quint32 bytes)
{
    m_converted->setImage(image, bytes);
}
