#include "KImageAddImageShowComView.h"

#include <QStackedLayout>

#include "widgets/KImageAddFileShowView.h"
#include "widgets/KImageCompareWidget.h"

KImageAddImageShowComView::KImageAddImageShowComView(QWidget *parent)
    : QWidget(parent)
{
    m_addPage = new KImageAddFileShowView(this);
    m_comparePage = new KImageCompareWidget(this);
    m_stack = new QStackedLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->addWidget(m_addPage);
    m_stack->addWidget(m_comparePage);
    m_stack->setCurrentIndex(0);
    connect(m_addPage, &KImageAddFileShowView::addFile, this, &KImageAddImageShowComView::addFile);
    connect(
        m_addPage, &KImageAddFileShowView::clearFile, this, &KImageAddImageShowComView::clearFile);
    connect(
        m_addPage, &KImageAddFileShowView::addFiles, this, &KImageAddImageShowComView::addFiles);
    connect(
        m_comparePage, &KImageCompareWidget::addFile, this, &KImageAddImageShowComView::addFile);
    connect(m_comparePage, &KImageCompareWidget::clearFile, this,
        &KImageAddImageShowComView::clearFile);
}

void KImageAddImageShowComView::setButtonsEnabled(bool enabled)
{
    m_addPage->setButtonsEnabled(enabled);
}

void KImageAddImageShowComView::showImage(const QString &path, const QImage &image)
{
    m_stack->setCurrentIndex(0);
    m_addPage->showImage(path, image);
}

void KImageAddImageShowComView::setHintText(const QString &text)
{
    m_stack->setCurrentIndex(0);
    m_addPage->setHintText(text);
}

void KImageAddImageShowComView::showAddPrompt()
{
    m_stack->setCurrentIndex(0);
    m_addPage->showAddPrompt();
}

void KImageAddImageShowComView::showCompare(
    const QImage &original, const QImage &converted, quint32 originalBytes, quint32 convertedBytes)
{
    m_stack->setCurrentIndex(1);
    m_comparePage->setImages(original, converted, originalBytes, convertedBytes);
}

int KImageAddImageShowComView::currentPage() const { return m_stack->currentIndex(); }
