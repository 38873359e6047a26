#pragma once

#include <QWidget>

class QPushButton;

// The account area of the title bar: the user's picture and name, or an
// invitation to log in.
class KLoginButton : public QWidget
{
    Q_OBJECT
public:
    explicit KLoginButton(QWidget *parent = nullptr);

    QPushButton *nameButton() const { return m_nameButton; }

public slots:
    void onLogin();

private:
    QPushButton *m_iconButton = nullptr;
    QPushButton *m_nameButton = nullptr;
};
