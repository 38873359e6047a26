#include "KPicBatchProcessView.h"

#include "batch/ui/KPicBatchProcessResize.h"
#include "batch/ui/KPicBatchProcessRotate.h"
#include "batch/ui/KPicBatchTaskPane.h"
#include "compress/ui/KPicBatchCompressProcess.h"

KPicBatchProcessView::KPicBatchProcessView(QWidget *parent)
    : KModePage(QSize(1050, 600), parent)
{
    auto *pane = new KPicBatchTaskPane(this);
    setTaskPane(pane);
    addToolView(new KPicBatchCompressProcess(this));
    addToolView(new KPicBatchProcessRotate(this));
    addToolView(new KPicBatchProcessResize(this));
    finishPage(false);
    connect(pane, &KTaskPane::switchMode, this, &KPicBatchProcessView::onSwitchBatchMode);
}

void KPicBatchProcessView::onSwitchBatchMode(int id) { onSwitchMode(id); }
