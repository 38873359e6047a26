#include "KImageContentView.h"

#include <QStackedLayout>
#include <QVBoxLayout>

#include "widgets/KImageAddFileWidget.h"
#include "widgets/KImageCompareWidget.h"

KImageContentView::KImageContentView(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(886, 416);
    setAttribute(Qt::WA_TranslucentBackground);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_emptyPage = new KImageAddFileWidget(this);
    m_comparePage = new KImageCompareWidget(this);
    m_stack = new QStackedLayout();
    m_stack->addWidget(m_emptyPage);
    m_stack->addWidget(m_comparePage);
    m_stack->setCurrentIndex(0);
    layout->addLayout(m_stack);
    connect(m_emptyPage, &KImageAddFileWidget::addFile, this, &KImageContentView::addFile);
    connect(m_comparePage, &KImageCompareWidget::addFile, this, &KImageContentView::addFile);
    connect(m_emptyPage, &KImageAddFileWidget::clearFile, this, &KImageContentView::onClearFile);
    connect(m_comparePage, &KImageCompareWidget::clearFile, this, &KImageContentView::onClearFile);
}

void KImageContentView::onAddFile()
{
    m_stack->setCurrentIndex(1);
    emit addFile();
}

void KImageContentView::onClearFile()
{
    m_stack->setCurrentIndex(0);
    emit clearFile();
}

void KImageContentView::showComparePage(bool compare) { m_stack->setCurrentIndex(compare ? 1 : 0); }

void KImageContentView::setImages(
    const QImage &original, const QImage &converted, quint32 originalBytes, quint32 convertedBytes)
{
    m_comparePage->setImages(original, converted, originalBytes, convertedBytes);
}

void KImageContentView::setConvertedImage(const QImage &image, quint32 bytes)
{
    m_comparePage->setConvertedImage(image, bytes);
}

void KImageContentView::setHintText(const QString &text) { m_emptyPage->setHintText(text); }

int KImageContentView::currentPage() const { return m_stack->currentIndex(); }
