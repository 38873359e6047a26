#pragma once

#include "widgets/KEffectDelegate.h"

// Draws each item's text left-aligned, 12 px inside the item.
class KLeftEffectDelegate : public KEffectDelegate
{
    Q_OBJECT
public:
    explicit KLeftEffectDelegate(QObject *parent = nullptr);

protected:
    void drawItemText(QPainter *painter, const QStyleOptionViewItem &option, const QRect &rect,
        const QString &text) const override;
};
