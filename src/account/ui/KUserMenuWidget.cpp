#include "KUserMenuWidget.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "account/KAccoutManager.h"
#include "app/FileUtils.h"
#include "widgets/DesktopIntegration.h"
#include "widgets/StyleSheets.h"

KUserMenuWidget::KUserMenuWidget(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(10);

    m_avatar = new QLabel(this);
    m_avatar->setFixedSize(46, 46);
    layout->addWidget(m_avatar, 0, Qt::AlignHCenter);

    m_name = new QLabel(this);
    m_name->setFixedSize(150, 20);
    m_name->setAlignment(Qt::AlignCenter);
    QFont font(uiFontFamily());
    font.setPixelSize(16);
    m_name->setFont(font);
    m_name->setStyleSheet(QStringLiteral("color:#3E3E3E;"));
    layout->addWidget(m_name, 0, Qt::AlignHCenter);

    m_logout = new QPushButton(tr("Logout"), this);
    m_logout->setFixedSize(108, 32);
    m_logout->setStyleSheet(whiteButtonStyleSheet());
    m_logout->setCursor(Qt::PointingHandCursor);
    layout->addWidget(m_logout, 0, Qt::AlignHCenter);

    KAccoutManager *account = KAccoutManager::instance();
    const QString name = account->displayName();
    m_name->setText(m_name->fontMetrics().elidedText(name, Qt::ElideRight, m_name->width()));
    onUpdateIcon();
    connect(m_logout, &QPushButton::clicked, this, &KUserMenuWidget::onLogout);
    connect(account, &KAccoutManager::avatarChanged, this, &KUserMenuWidget::onUpdateIcon);
}

void KUserMenuWidget::onLogout()
{
    // A button inside a menu does not close it by itself.
    for (QWidget *w = parentWidget(); w; w = w->parentWidget()) {
        if (auto *menu = qobject_cast<QMenu *>(w)) {
            menu->close();
            break;
        }
    }
    KAccoutManager::instance()->logout();
}

void KUserMenuWidget::onUpdateIcon()
{
    const QPixmap avatar = QPixmap::fromImage(KAccoutManager::instance()->avatar());
    m_avatar->setPixmap(roundedIcon(QIcon(avatar), 23));
}
