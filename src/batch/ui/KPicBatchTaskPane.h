#pragma once

#include "widgets/KTaskPane.h"

// Task pane of the mode page KPicBatchProcessView.
class KPicBatchTaskPane : public KTaskPane
{
    Q_OBJECT
public:
    explicit KPicBatchTaskPane(QWidget *parent = nullptr);
};
