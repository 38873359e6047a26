#pragma once

#include <QWidget>

class KCommonHeader;
class KLoginButton;
class KMoreMenu;
class QPushButton;

// The 1050 x 70 bar at the top of the main window: logo, product name, mode
// tabs, account button, "more" menu, minimise and close.
class KTitleBar : public QWidget
{
    Q_OBJECT
public:
    explicit KTitleBar(QWidget *parent = nullptr);

    KCommonHeader *header() const { return m_header; }
    QPushButton *moreButton() const { return m_moreButton; }
    QPushButton *minimizeButton() const { return m_minButton; }
    QPushButton *closeButton() const { return m_closeButton; }
    KMoreMenu *moreMenu() const { return m_moreMenu; }

signals:
    void closeWindow();
    void minimizeWindow();
    void selectFuncMode(int mode);

public slots:
    void onClose();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    KCommonHeader *m_header = nullptr;
    KLoginButton *m_loginButton = nullptr;
    QPushButton *m_moreButton = nullptr;
    KMoreMenu *m_moreMenu = nullptr;
    QPushButton *m_minButton = nullptr;
    QPushButton *m_closeButton = nullptr;
};
