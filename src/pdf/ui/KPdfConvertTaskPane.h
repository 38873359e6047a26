#pragma once

#include "widgets/KTaskPane.h"

// Task pane of the mode page KPdfConvertView.
class KPdfConvertTaskPane : public KTaskPane
{
    Q_OBJECT
public:
    explicit KPdfConvertTaskPane(QWidget *parent = nullptr);
};
