#include "KPicCompressView.h"

#include "compress/ui/KPicCompressTaskPane.h"
#include "widgets/KPlaceholderView.h"

KPicCompressView::KPicCompressView(QWidget *parent)
    : KModePage(QSize(1050, 600), parent)
{
    auto *pane = new KPicCompressTaskPane(this);
    setTaskPane(pane);
    addToolView(new KPlaceholderView(tr("JPG compress"), this));
    addToolView(new KPlaceholderView(tr("GIF compress"), this));
    finishPage();
}

