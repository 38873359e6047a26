#include "KImageConvertTaskPane.h"

KImageConvertTaskPane::KImageConvertTaskPane(QWidget *parent)
    : KTaskPane(QSize(164, 600), parent)
{
    addTool(QStringLiteral("normalImageConvert"), tr("Image Convert"), 0);
    addTool(QStringLiteral("enhanceConvert"), tr("Enhance Convert"), 1);
    addTool(QStringLiteral("rawConvert"), tr("Raw Convert"), 2);
    finishTools();
}
