#include "KMainView.h"

#include <QStackedLayout>
#include <QVBoxLayout>

#include "batch/ui/KPicBatchProcessView.h"
#include "compress/ui/KPicCompressView.h"
#include "convert/ui/KImageConvertView.h"
#include "online/ui/KPicOcrView.h"
#include "pdf/ui/KPdfConvertView.h"

KMainView::KMainView(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(1050, 550);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_stack = new QStackedLayout();
    layout->addLayout(m_stack);

    // Built in this order, shown in tab order.
    auto *ocr = new KPicOcrView(this);
    auto *pdf = new KPdfConvertView(this);
    auto *convert = new KImageConvertView(this);
    auto *compress = new KPicCompressView(this);
    auto *batch = new KPicBatchProcessView(this);
    m_stack->addWidget(ocr);
    m_stack->addWidget(convert);
    m_stack->addWidget(compress);
    m_stack->addWidget(batch);
    m_stack->addWidget(pdf);
    m_stack->setCurrentIndex(0);
}

int KMainView::currentMode() const { return m_stack->currentIndex(); }

KModePage *KMainView::page(int mode) const
{
    return qobject_cast<KModePage *>(m_stack->widget(mode));
}

void KMainView::onSelectFuncMode(int id) { m_stack->setCurrentIndex(id); }
