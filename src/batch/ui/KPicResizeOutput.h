#pragma once

#include <QWidget>

#include "codec/OutputFormat.h"

class QComboBox;
class QPushButton;

// Output format and the start button of batch resize.
class KPicResizeOutput : public QWidget
{
    Q_OBJECT
public:
    explicit KPicResizeOutput(QWidget *parent = nullptr);

    OutputFormat outputFormat() const { return m_format; }
    void setStartEnabled(bool enabled);
    QPushButton *startButton() const { return m_start; }
    QComboBox *formatCombo() const { return m_combo; }

signals:
    void startResize();

public slots:
    void onCurrentIndexChanged(int index);

private:
    QComboBox *m_combo = nullptr;
    QPushButton *m_start = nullptr;
    OutputFormat m_format = OutputFormat::Jpg;
};
