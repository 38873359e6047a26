#pragma once

#include <QWidget>

class KModePage;
class QStackedLayout;

// The stack of the five mode pages below the title bar.
class KMainView : public QWidget
{
    Q_OBJECT
public:
    explicit KMainView(QWidget *parent = nullptr);

    int currentMode() const;
    KModePage *page(int mode) const;

public slots:
    void onSelectFuncMode(int id);

private:
    QStackedLayout *m_stack = nullptr;
};
