#include "KCommonHeader.h"

#include <QHBoxLayout>
#include <QPainter>

#include "app/ui/KCommonHeaderItem.h"

KCommonHeader::KCommonHeader(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(600, 70);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 14, 0, 0);
    layout->setSpacing(20);
    const QStringList texts { tr("OCR"), tr("PicConvert"), tr("PicComress"), tr("BatchProcess"),
        tr("PdfConvert") };
    for (int id = 0; id < texts.size(); ++id) {
        auto *item = new KCommonHeaderItem(this, texts[id], id);
        connect(item, &KCommonHeaderItem::clicked, this, &KCommonHeader::onHeadItemClicked);
        layout->addWidget(item);
        m_items << item;
    }
    layout->addStretch();
    onHeadItemClicked(0);
}

void KCommonHeader::onHeadItemClicked(int func)
{
    m_selectedId = func;
    for (KCommonHeaderItem *item : qAsConst(m_items))
        item->setSelected(item->id() == func);
    emit selectFuncMode(func);
}

void KCommonHeader::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0xEE, 0xF0, 0xF6));
    QWidget::paintEvent(event);
}
