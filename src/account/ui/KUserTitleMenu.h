#pragma once

#include <QMenu>

class KUserMenuWidget;

// The drop-down of the account button once a user is logged in: the picture,
// the name and "Logout". Interface thread; owned by KLoginButton, which deletes
// it at logout.
class KUserTitleMenu : public QMenu
{
    Q_OBJECT
public:
    explicit KUserTitleMenu(QWidget *parent = nullptr);

    KUserMenuWidget *menuWidget() const { return m_widget; }

private:
    KUserMenuWidget *m_widget = nullptr;
};
