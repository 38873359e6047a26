#include "KPdfConvertView.h"

#include "pdf/ui/KImageConvertPdfView.h"
#include "pdf/ui/KPdfConvertImageView.h"
#include "pdf/ui/KPdfConvertTaskPane.h"

KPdfConvertView::KPdfConvertView(QWidget *parent)
    : KModePage(QSize(1050, 600), parent)
{
    auto *pane = new KPdfConvertTaskPane(this);
    setTaskPane(pane);
    addToolView(new KImageConvertPdfView(this));
    addToolView(new KPdfConvertImageView(this));
    finishPage();
}
