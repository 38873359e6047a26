#include "KPicCompressView.h"

#include "compress/ui/KPicCompressTaskPane.h"
#include "compress/ui/KImageJPGCompressView.h"
#include "widgets/KPlaceholderView.h"

KPicCompressView::KPicCompressView(QWidget *parent)
    : KModePage(QSize(1050, 600), parent)
{
    auto *pane = new KPicCompressTaskPane(this);
    setTaskPane(pane);
    addToolView(new KImageJPGCompressView(this));
    addToolView(new KPlaceholderView(tr("GIF compress"), this));
    finishPage();
}

