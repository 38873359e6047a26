#pragma once

#include <QMenu>

class QPushButton;

// The drop-down of the title bar's "more" button: feedback and About.
class KMoreMenu : public QMenu
{
    Q_OBJECT
public:
    KMoreMenu(QPushButton *button, QWidget *parent = nullptr);

public slots:
    void onTriggedFeedBack(bool checked);
    void onTriggerAbout(bool checked);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QPushButton *m_button = nullptr;
};
