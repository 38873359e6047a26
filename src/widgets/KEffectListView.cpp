#include "KEffectListView.h"

#include <QComboBox>
#include <QPainter>

KEffectListView::KEffectListView(QComboBox *combo, QWidget *parent)
    : QListView(parent)
    , m_combo(combo)
{
}

void KEffectListView::paintEvent(QPaintEvent *event)
{
    QListView::paintEvent(event);
    QPainter painter(viewport());
    painter.setPen(QColor(0xCC, 0xCC, 0xCC));
    painter.drawRect(viewport()->rect().adjusted(0, 0, -1, -1));
}

void KEffectListView::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    setMinimumWidth(0);
    viewport()->setMinimumWidth(viewport()->width());
}

QStyleOptionViewItem KEffectListView::viewOptions() const
{
    QStyleOptionViewItem option = QListView::viewOptions();
    if (m_combo)
        option.font = m_combo->font();
    return option;
}
