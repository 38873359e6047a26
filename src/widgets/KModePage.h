#pragma once

#include <QWidget>

class KTaskPane;
class QHBoxLayout;
class QStackedLayout;

// A mode page: its task pane on the left and the stack of its tool views on
// the right. Subclasses create the pane and add the views in tool-id order.
class KModePage : public QWidget
{
    Q_OBJECT
public:
    explicit KModePage(const QSize &size, QWidget *parent = nullptr);

    KTaskPane *taskPane() const { return m_pane; }
    int currentTool() const;
    QWidget *toolView(int id) const;

public slots:
    void onSwitchMode(int id);

protected:
    void setTaskPane(KTaskPane *pane);
    void addToolView(QWidget *view);
    // Shows tool 0 and, unless the page wires it to a slot of its own, connects
    // the pane's switchMode to onSwitchMode.
    void finishPage(bool connectPane = true);

private:
    QHBoxLayout *m_layout = nullptr;
    QStackedLayout *m_stack = nullptr;
    KTaskPane *m_pane = nullptr;
};
