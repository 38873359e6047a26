#include "KTaskPane.h"

#include <QPainter>
#include <QVBoxLayout>

#include "widgets/KTaskPanelItem.h"

KTaskPane::KTaskPane(const QSize &size, QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(size);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 20, 0, 0);
    m_layout->setSpacing(0);
}

void KTaskPane::addTool(const QString &iconName, const QString &text, int id)
{
    auto *item = new KTaskPanelItem(iconName, text, id, this);
    connect(item, &KTaskPanelItem::clicked, this, &KTaskPane::onTriggerSwitchBatchMode);
    m_layout->addWidget(item);
    m_items << item;
}

void KTaskPane::finishTools()
{
    m_layout->addStretch();
    for (KTaskPanelItem *item : qAsConst(m_items))
        item->setSelected(item->id() == m_selectedId);
}

void KTaskPane::onTriggerSwitchBatchMode(int id)
{
    if (id == m_selectedId)
        return;
    m_selectedId = id;
    for (KTaskPanelItem *item : qAsConst(m_items))
        item->setSelected(item->id() == id);
    update();
    emit switchMode(id);
}

void KTaskPane::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0xF9, 0xFA, 0xFB));
    QWidget::paintEvent(event);
}
