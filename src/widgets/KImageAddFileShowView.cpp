#include "KImageAddFileShowView.h"

#include <QStackedLayout>
#include <QVBoxLayout>

#include "widgets/KTableAddFileView.h"
#include "widgets/KTableImageView.h"
#include "widgets/PanelToolbar_p.h"

KImageAddFileShowView::KImageAddFileShowView(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(886, 416);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(30, 0, 30, 0);
    layout->setSpacing(0);
    PanelToolbar bar(this, 685, 12);
    bar.layout->setContentsMargins(0, 4, 0, 0);
    m_add = bar.add;
    m_clear = bar.clear;
    layout->addLayout(bar.layout);
    m_dropArea = new KTableAddFileView(this);
    m_imageView = new KTableImageView(this);
    m_stack = new QStackedLayout();
    m_stack->addWidget(m_dropArea);
    m_stack->addWidget(m_imageView);
    layout->addLayout(m_stack);
    layout->addStretch();
    connect(m_add, &QPushButton::clicked, this, &KImageAddFileShowView::addFile);
    connect(m_dropArea, &KTableAddFileView::clicked, this, &KImageAddFileShowView::addFile);
    connect(m_clear, &QPushButton::clicked, this, &KImageAddFileShowView::clearFile);
    connect(m_dropArea, &KTableAddFileView::addFiles, this, &KImageAddFileShowView::addFiles);
}

void KImageAddFileShowView::setButtonsEnabled(bool enabled)
{
    m_add->setEnabled(enabled);
    m_clear->setEnabled(enabled);
}

void KImageAddFileShowView::showImage(const QString &path, const QImage &image)
{
    m_imageView->setImage(path, image);
    m_stack->setCurrentIndex(1);
}

void KImageAddFileShowView::setHintText(const QString &text) { m_dropArea->setText(text); }

void KImageAddFileShowView::showAddPrompt() { m_stack->setCurrentIndex(0); }

int KImageAddFileShowView::currentPage() const { return m_stack->currentIndex(); }
