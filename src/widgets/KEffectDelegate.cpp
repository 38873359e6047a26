#include "KEffectDelegate.h"

#include <QPainter>

KEffectDelegate::KEffectDelegate(QObject *parent)
    : QItemDelegate(parent)
{
}

void KEffectDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = setOptions(index, option);
    const QColor text(0x45, 0x45, 0x45);
    opt.palette.setColor(QPalette::Text, text);
    opt.palette.setColor(QPalette::WindowText, text);
    opt.palette.setColor(QPalette::HighlightedText, text);
    opt.palette.setColor(QPalette::Highlight, QColor(0xD9, 0xEC, 0xFF));
    painter->save();
    drawBackground(painter, opt, index);
    painter->setFont(opt.font);
    painter->setPen(text);
    drawItemText(painter, opt, opt.rect, index.data(Qt::DisplayRole).toString());
    painter->restore();
}

QSize KEffectDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QItemDelegate::sizeHint(option, index);
    size.setHeight(qMax(size.height(), 26));
    return size;
}
