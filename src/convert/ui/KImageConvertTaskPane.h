#pragma once

#include "widgets/KTaskPane.h"

// Task pane of the mode page KImageConvertView.
class KImageConvertTaskPane : public KTaskPane
{
    Q_OBJECT
public:
    explicit KImageConvertTaskPane(QWidget *parent = nullptr);
};
