#include "KPicBatchTaskPane.h"

KPicBatchTaskPane::KPicBatchTaskPane(QWidget *parent)
    : KTaskPane(QSize(164, 600), parent)
{
    addTool(QStringLiteral("batchCompress"), tr("imageBatchCompress"), 0);
    addTool(QStringLiteral("batchRotate"), tr("imageBatchRotate"), 1);
    addTool(QStringLiteral("batchResize"), tr("imageBatchResize"), 2);
    finishTools();
}
