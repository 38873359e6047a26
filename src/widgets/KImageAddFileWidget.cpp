#include "KImageAddFileWidget.h"

#include <QPainter>
#include <QVBoxLayout>

#include "widgets/KTableAddFileView.h"
#include "widgets/PanelToolbar_p.h"

KImageAddFileWidget::KImageAddFileWidget(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(886, 416);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(30, 0, 30, 0);
    layout->setSpacing(0);
    PanelToolbar bar(this, 684, 12);
    bar.layout->setContentsMargins(0, 4, 0, 0);
    m_add = bar.add;
    m_clear = bar.clear;
    layout->addLayout(bar.layout);
    m_dropArea = new KTableAddFileView(this);
    // Files dropped on this page are ignored; the tool adds through its dialog.
    m_dropArea->setDropEnabled(false);
    auto *row = new QHBoxLayout();
    row->addWidget(m_dropArea, 0, Qt::AlignLeft);
    layout->addLayout(row);
    layout->addStretch();
    connect(m_add, &QPushButton::clicked, this, &KImageAddFileWidget::addFile);
    connect(m_dropArea, &KTableAddFileView::clicked, this, &KImageAddFileWidget::addFile);
    connect(m_clear, &QPushButton::clicked, this, &KImageAddFileWidget::clearFile);
}

void KImageAddFileWidget::setHintText(const QString &text) { m_dropArea->setText(text); }

void KImageAddFileWidget::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    QWidget::paintEvent(event);
}
