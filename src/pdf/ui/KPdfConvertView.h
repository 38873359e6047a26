#pragma once

#include "widgets/KModePage.h"

// A mode page of the main window: task pane plus the mode's tool views.
class KPdfConvertView : public KModePage
{
    Q_OBJECT
public:
    explicit KPdfConvertView(QWidget *parent = nullptr);
};
