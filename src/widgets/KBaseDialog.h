#pragma once

#include <QDialog>

// Base of the program's dialogs: white, draggable anywhere, centred over the
// main window the first time it is shown. Interface thread only.
class KBaseDialog : public QDialog
{
    Q_OBJECT
public:
    explicit KBaseDialog(QWidget *parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_dragging = false;
    QPoint m_pressPos;
    bool m_centerOnFirstShow = true;
};
