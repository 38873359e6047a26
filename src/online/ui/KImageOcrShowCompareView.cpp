#include "KImageOcrShowCompareView.h"

#include <QStackedLayout>

#include "online/ui/KImageOcrCompareView.h"
#include "widgets/KImageAddFileShowView.h"

KImageOcrShowCompareView::KImageOcrShowCompareView(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(886, 416);
    m_stack = new QStackedLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_addPage = new KImageAddFileShowView(this);
    m_comparePage = new KImageOcrCompareView(this);
    m_stack->addWidget(m_addPage);
    m_stack->addWidget(m_comparePage);
    connect(m_addPage, &KImageAddFileShowView::addFile, this, &KImageOcrShowCompareView::addFile);
    connect(
        m_addPage, &KImageAddFileShowView::clearFile, this, &KImageOcrShowCompareView::clearFile);
    connect(
        m_comparePage, &KImageOcrCompareView::addFile, this, &KImageOcrShowCompareView::addFile);
    connect(m_comparePage, &KImageOcrCompareView::clearFile, this,
        &KImageOcrShowCompareView::clearFile);
}

void KImageOcrShowCompareView::setHintText(const QString &text) { m_addPage->setHintText(text); }

void KImageOcrShowCompareView::showSource(const QString &path, const QImage &image)
{
    m_path = path;
    m_image = image;
    m_addPage->showImage(path, image);
    m_stack->setCurrentIndex(0);
}

void KImageOcrShowCompareView::showResultText(const QString &text)
{
    m_comparePage->showText(m_image, text);
    m_stack->setCurrentIndex(1);
}

void KImageOcrShowCompareView::showResultImage(const QImage &image)
{
    m_comparePage->showImage(m_image, image);
    m_stack->setCurrentIndex(1);
}

void KImageOcrShowCompareView::reset()
{
    m_path.clear();
    m_image = QImage();
    m_addPage->showAddPrompt();
    m_stack->setCurrentIndex(0);
}

void KImageOcrShowCompareView::setButtonsEnabled(bool enabled)
{
    m_addPage->setButtonsEnabled(enabled);
    m_comparePage->setButtonsEnabled(enabled);
}

int KImageOcrShowCompareView::currentPage() const { return m_stack->currentIndex(); }
