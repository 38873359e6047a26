#include "KPicCompressView.h"

#include "compress/ui/KImageGifCompressView.h"
#include "compress/ui/KImageJPGCompressView.h"
#include "compress/ui/KPicCompressTaskPane.h"

KPicCompressView::KPicCompressView(QWidget *parent)
    : KModePage(QSize(1050, 600), parent)
{
    auto *pane = new KPicCompressTaskPane(this);
    setTaskPane(pane);
    addToolView(new KImageJPGCompressView(this));
    addToolView(new KImageGifCompressView(this));
    finishPage();
}
