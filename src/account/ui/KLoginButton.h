#pragma once

#include <QPointer>
#include <QWidget>

class KUserTitleMenu;
class QPushButton;

// The account area of the title bar: an invitation to log in, or once logged
// in the user's picture and name, with the user menu on the picture.
// Interface thread; lives in the title bar for the life of the main window.
class KLoginButton : public QWidget
{
    Q_OBJECT
public:
    explicit KLoginButton(QWidget *parent = nullptr);
    ~KLoginButton() override;

    QPushButton *iconButton() const { return m_iconButton; }
    QPushButton *nameButton() const { return m_nameButton; }
    KUserTitleMenu *userMenu() const;

public slots:
    void onLogin();
    void onLogined();
    void onLogout();
    void onAvatarChanged();

private:
    QPushButton *m_iconButton = nullptr;
    QPushButton *m_nameButton = nullptr;
    QPointer<KUserTitleMenu> m_userMenu;
};
