#include "KPicOcrView.h"

#include "online/ui/KPicOcrTaskPane.h"
#include "widgets/KPlaceholderView.h"

KPicOcrView::KPicOcrView(QWidget *parent)
    : KModePage(QSize(1050, 550), parent)
{
    auto *pane = new KPicOcrTaskPane(this);
    setTaskPane(pane);
    addToolView(new KPlaceholderView(tr("normal ocr"), this));
    addToolView(new KPlaceholderView(tr("table ocr"), this));
    addToolView(new KPlaceholderView(tr("batch ocr"), this));
    finishPage();
}
