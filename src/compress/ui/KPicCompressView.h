#pragma once

#include "widgets/KModePage.h"

// A mode page of the main window: task pane plus the mode's tool views.
class KPicCompressView : public KModePage
{
    Q_OBJECT
public:
    explicit KPicCompressView(QWidget *parent = nullptr);
};
