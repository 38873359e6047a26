#pragma once

#include "widgets/KModePage.h"

// A mode page of the main window: task pane plus the mode's tool views.
class KPicOcrView : public KModePage
{
    Q_OBJECT
public:
    explicit KPicOcrView(QWidget *parent = nullptr);
};
