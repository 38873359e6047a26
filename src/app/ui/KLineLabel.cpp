#include "KLineLabel.h"

#include <QPainter>

KLineLabel::KLineLabel(QWidget *parent)
    : QLabel(parent)
{
}

void KLineLabel::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    QPen pen(QColor(0x97, 0x97, 0x97), 2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    painter.setPen(pen);
    painter.drawLine(QPoint(10, 10), QPoint(10, 20));
    painter.end();
    QLabel::paintEvent(event);
}
