#include "KPicOcrTaskPane.h"

#include "widgets/DesktopIntegration.h"

KPicOcrTaskPane::KPicOcrTaskPane(QWidget *parent)
    : KTaskPane(QSize(164, 550), parent)
{
    addTool(QStringLiteral("openFile"), tr("normal ocr"), 0);
    addTool(QStringLiteral("openFile"), tr("table ocr"), 1);
    addTool(QStringLiteral("openFile"), tr("batch ocr"), 2);
    finishTools();
}
