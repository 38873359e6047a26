#pragma once

#include "widgets/KTaskPane.h"

// Task pane of the mode page KPicCompressView.
class KPicCompressTaskPane : public KTaskPane
{
    Q_OBJECT
public:
    explicit KPicCompressTaskPane(QWidget *parent = nullptr);

public slots:
    void onTriggerSwitchCompressMode(int id);
};
