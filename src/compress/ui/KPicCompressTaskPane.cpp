#include "KPicCompressTaskPane.h"

#include "widgets/DesktopIntegration.h"

KPicCompressTaskPane::KPicCompressTaskPane(QWidget *parent)
    : KTaskPane(QSize(164, 600), parent)
{
    addTool(QStringLiteral("openFile"), tr("JPG compress"), 0);
    addTool(QStringLiteral("openFile"), tr("GIF compress"), 1);
    finishTools();
}

void KPicCompressTaskPane::onTriggerSwitchCompressMode(int id) { onTriggerSwitchBatchMode(id); }
