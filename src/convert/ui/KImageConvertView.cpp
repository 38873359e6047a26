#include "KImageConvertView.h"

#include "convert/ui/KImageConvertTaskPane.h"
#include "widgets/KPlaceholderView.h"

KImageConvertView::KImageConvertView(QWidget *parent)
    : KModePage(QSize(1050, 600), parent)
{
    auto *pane = new KImageConvertTaskPane(this);
    setTaskPane(pane);
    addToolView(new KPlaceholderView(tr("Image Convert"), this));
    addToolView(new KPlaceholderView(tr("Enhance Convert"), this));
    addToolView(new KPlaceholderView(tr("Raw Convert"), this));
    finishPage();
}

