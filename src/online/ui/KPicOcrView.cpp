#include "KPicOcrView.h"

#include "online/ui/KImageBatchOcrView.h"
#include "online/ui/KImageOcrView.h"
#include "online/ui/KImageTableOcrView.h"
#include "online/ui/KPicOcrTaskPane.h"

KPicOcrView::KPicOcrView(QWidget *parent)
    : KModePage(QSize(1050, 550), parent)
{
    auto *pane = new KPicOcrTaskPane(this);
    setTaskPane(pane);
    addToolView(new KImageOcrView(this));
    addToolView(new KImageTableOcrView(this));
    addToolView(new KImageBatchOcrView(this));
    finishPage();
}
