#pragma once

#include "widgets/KTaskPane.h"

// Task pane of the mode page KPicOcrView.
class KPicOcrTaskPane : public KTaskPane
{
    Q_OBJECT
public:
    explicit KPicOcrTaskPane(QWidget *parent = nullptr);
};
