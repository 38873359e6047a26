#include "KPicBatchProcessView.h"

#include "batch/ui/KPicBatchTaskPane.h"
#include "widgets/KPlaceholderView.h"

KPicBatchProcessView::KPicBatchProcessView(QWidget *parent)
    : KModePage(QSize(1050, 600), parent)
{
    auto *pane = new KPicBatchTaskPane(this);
    setTaskPane(pane);
    addToolView(new KPlaceholderView(tr("imageBatchCompress"), this));
    addToolView(new KPlaceholderView(tr("imageBatchRotate"), this));
    addToolView(new KPlaceholderView(tr("imageBatchResize"), this));
    finishPage();
}

void KPicBatchProcessView::onSwitchBatchMode(int id)
{
    onSwitchMode(id);
}
