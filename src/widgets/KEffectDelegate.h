#pragma once

#include <QItemDelegate>

// Item painting of the combo drop-down lists: #454545 text, #D9ECFF selection,
// rows at least 26 px high. Subclasses decide where the text goes.
class KEffectDelegate : public QItemDelegate
{
    Q_OBJECT
public:
    explicit KEffectDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

protected:
    virtual void drawItemText(QPainter *painter, const QStyleOptionViewItem &option,
        const QRect &rect, const QString &text) const = 0;
};
