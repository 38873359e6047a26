#include "KLeftEffectDelegate.h"

#include <QPainter>

KLeftEffectDelegate::KLeftEffectDelegate(QObject *parent)
    : KEffectDelegate(parent)
{
}

void KLeftEffectDelegate::drawItemText(
    QPainter *painter, const QStyleOptionViewItem &, const QRect &rect, const QString &text) const
{
    painter->drawText(rect.adjusted(12, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
}
