#pragma once

#include "widgets/KModePage.h"

// A mode page of the main window: task pane plus the mode's tool views.
class KPicBatchProcessView : public KModePage
{
    Q_OBJECT
public:
    explicit KPicBatchProcessView(QWidget *parent = nullptr);

public slots:
    void onSwitchBatchMode(int id);
};
