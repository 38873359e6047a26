#pragma once

#include <QLabel>

// A short vertical separator line in the title bar.
class KLineLabel : public QLabel
{
    Q_OBJECT
public:
    explicit KLineLabel(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
