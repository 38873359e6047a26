#pragma once

#include "widgets/KModePage.h"

// A mode page of the main window: task pane plus the mode's tool views.
class KImageConvertView : public KModePage
{
    Q_OBJECT
public:
    explicit KImageConvertView(QWidget *parent = nullptr);
};
