#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// Content of the user menu: round picture, name and "Logout". Interface thread.
class KUserMenuWidget : public QWidget
{
    Q_OBJECT
public:
    explicit KUserMenuWidget(QWidget *parent = nullptr);

    QLabel *avatarLabel() const { return m_avatar; }
    QLabel *nameLabel() const { return m_name; }
    QPushButton *logoutButton() const { return m_logout; }

public slots:
    void onLogout();
    void onUpdateIcon();

private:
    QLabel *m_avatar = nullptr;
    QLabel *m_name = nullptr;
    QPushButton *m_logout = nullptr;
};
