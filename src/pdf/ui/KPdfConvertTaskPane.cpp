#include "KPdfConvertTaskPane.h"

KPdfConvertTaskPane::KPdfConvertTaskPane(QWidget *parent)
    : KTaskPane(QSize(164, 600), parent)
{
    addTool(QStringLiteral("pic2pdf"), tr("PIC to PDF"), 0);
    addTool(QStringLiteral("pdf2pic"), tr("PDF to PIC"), 1);
    finishTools();
}
