#include "KImageConvertView.h"

#include "convert/ui/KImageConvertTaskPane.h"
#include "convert/ui/KImageRawConvertView.h"
#include "convert/ui/KPicNormalConvertView.h"
#include "widgets/KPlaceholderView.h"

KImageConvertView::KImageConvertView(QWidget *parent)
    : KModePage(QSize(1050, 600), parent)
{
    auto *pane = new KImageConvertTaskPane(this);
    setTaskPane(pane);
    addToolView(new KPicNormalConvertView(this));
    addToolView(new KPlaceholderView(tr("Enhance Convert"), this));
    addToolView(new KImageRawConvertView(this));
    finishPage();
}
