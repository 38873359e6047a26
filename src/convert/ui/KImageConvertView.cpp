#include "KImageConvertView.h"

#include "convert/ui/KImageConvertTaskPane.h"
#include "convert/ui/KImageRawConvertView.h"
#include "convert/ui/KPicNormalConvertView.h"
#include "online/ui/KImageAIEnhanceView.h"

KImageConvertView::KImageConvertView(QWidget *parent)
    : KModePage(QSize(1050, 600), parent)
{
    auto *pane = new KImageConvertTaskPane(this);
    setTaskPane(pane);
    addToolView(new KPicNormalConvertView(this));
    addToolView(new KImageAIEnhanceView(this));
    addToolView(new KImageRawConvertView(this));
    finishPage();
}
