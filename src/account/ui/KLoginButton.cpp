#include "KLoginButton.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPushButton>

#include "account/KAccoutManager.h"
#include "account/ui/KUserTitleMenu.h"
#include "widgets/DesktopIntegration.h"
#include "widgets/StyleSheets.h"
#include "widgets/WidgetResources.h"

KLoginButton::KLoginButton(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(92, 70);
    setMouseTracking(true);
    setCursor(Qt::OpenHandCursor);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    m_iconButton = new QPushButton(this);
    m_iconButton->setIcon(WidgetResources::icon(QStringLiteral("normalUserPic")));
    m_iconButton->setIconSize(QSize(24, 24));
    m_iconButton->setStyleSheet(buttonStyleSheet(QString()));
    m_iconButton->setCursor(Qt::OpenHandCursor);
    m_iconButton->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(m_iconButton, 0, Qt::AlignRight | Qt::AlignVCenter);

    m_nameButton = new QPushButton(tr("ClickLogin"), this);
    m_nameButton->setFixedSize(50, 16);
    QFont font(uiFontFamily());
    font.setPixelSize(12);
    m_nameButton->setFont(font);
    m_nameButton->setStyleSheet(buttonStyleSheet(QString()));
    m_nameButton->setCursor(Qt::OpenHandCursor);
    m_nameButton->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(m_nameButton, 0, Qt::AlignRight | Qt::AlignVCenter);

    KAccoutManager *account = KAccoutManager::instance();
    connect(m_iconButton, &QPushButton::clicked, this, &KLoginButton::onLogin);
    connect(m_nameButton, &QPushButton::clicked, this, &KLoginButton::onLogin);
    connect(account, &KAccoutManager::logined, this, &KLoginButton::onLogined);
    connect(account, &KAccoutManager::logouted, this, &KLoginButton::onLogout);
    connect(account, &KAccoutManager::avatarChanged, this, &KLoginButton::onAvatarChanged);
    account->restoreLogin();
}

// The menu has no parent (it is a window of its own).
KLoginButton::~KLoginButton() { delete m_userMenu; }

KUserTitleMenu *KLoginButton::userMenu() const { return m_userMenu; }

void KLoginButton::onLogin()
{
    // Logged in, the picture carries the user menu, which opens on its own.
    if (KAccoutManager::instance()->isLoggedIn())
        return;
    KAccoutManager::instance()->showLogin();
}

void KLoginButton::onLogined()
{
    const QString name = KAccoutManager::instance()->displayName();
    m_nameButton->setText(
        m_nameButton->fontMetrics().elidedText(name, Qt::ElideRight, m_nameButton->width()));
    m_nameButton->setToolTip(name);
    if (!m_userMenu) {
        m_userMenu = new KUserTitleMenu();
        m_iconButton->setMenu(m_userMenu);
    }
    onAvatarChanged();
}

void KLoginButton::onLogout()
{
    if (m_userMenu) {
        m_iconButton->setMenu(nullptr);
        // Later: the menu may still be unwinding from the click that logged out.
        m_userMenu->deleteLater();
        m_userMenu = nullptr;
    }
    m_iconButton->setIcon(WidgetResources::icon(QStringLiteral("normalUserPic")));
    m_nameButton->setText(tr("ClickLogin"));
    m_nameButton->setToolTip(QString());
}

void KLoginButton::onAvatarChanged()
{
    if (!KAccoutManager::instance()->isLoggedIn())
        return;
    const QPixmap avatar = QPixmap::fromImage(KAccoutManager::instance()->avatar());
    m_iconButton->setIcon(QIcon(roundedIcon(QIcon(avatar), 15)));
}
