#include "KPdfConvertView.h"

#include "pdf/ui/KPdfConvertTaskPane.h"
#include "widgets/KPlaceholderView.h"

KPdfConvertView::KPdfConvertView(QWidget *parent)
    : KModePage(QSize(1050, 600), parent)
{
    auto *pane = new KPdfConvertTaskPane(this);
    setTaskPane(pane);
    addToolView(new KPlaceholderView(tr("PIC to PDF"), this));
    addToolView(new KPlaceholderView(tr("PDF to PIC"), this));
    finishPage();
}

