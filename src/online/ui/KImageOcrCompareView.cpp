#include "KImageOcrCompareView.h"

#include <QStackedLayout>
#include <QVBoxLayout>

#include "online/ui/KImageOcrResultLabel.h"
#include "widgets/KImageShowLabel.h"
#include "widgets/PanelToolbar_p.h"

KImageOcrCompareView::KImageOcrCompareView(QWidget *parent)
    : QLabel(parent)
{
    setFixedSize(886, 416);
    setAttribute(Qt::WA_TranslucentBackground);
    QFont font(uiFontFamily());
    font.setPixelSize(12);
    setFont(font);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    PanelToolbar bar(this, 660, 12);
    bar.layout->setContentsMargins(30, 4, 30, 0);
    m_add = bar.add;
    m_clear = bar.clear;
    layout->addLayout(bar.layout);

    auto *row = new QHBoxLayout();
    row->setContentsMargins(30, 0, 30, 0);
    row->setSpacing(0);
    m_source = new KImageShowLabel(tr("original image"), false, this);
    row->addWidget(m_source);
    row->addSpacing(26);
    m_resultStack = new QStackedLayout();
    m_text = new KImageOcrResultLabel(this);
    m_image = new KImageShowLabel(tr("result image"), false, this);
    m_image->setFixedSize(400, 370);
    m_resultStack->addWidget(m_text);
    m_resultStack->addWidget(m_image);
    row->addLayout(m_resultStack);
    layout->addLayout(row);
    layout->addStretch();

    connect(m_add, &QPushButton::clicked, this, &KImageOcrCompareView::addFile);
    connect(m_clear, &QPushButton::clicked, this, &KImageOcrCompareView::clearFile);
}

void KImageOcrCompareView::showText(const QImage &source, const QString &text)
{
    m_source->setImage(source, 0);
    m_text->setResultText(text);
    m_resultStack->setCurrentIndex(0);
}

void KImageOcrCompareView::showImage(const QImage &source, const QImage &result)
{
    m_source->setImage(source, 0);
    m_image->setImage(result, 0);
    m_resultStack->setCurrentIndex(1);
}

void KImageOcrCompareView::setButtonsEnabled(bool enabled)
{
    m_add->setEnabled(enabled);
    m_clear->setEnabled(enabled);
}

bool KImageOcrCompareView::showsText() const { return m_resultStack->currentIndex() == 0; }
