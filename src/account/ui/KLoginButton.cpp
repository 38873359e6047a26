#include "KLoginButton.h"

#include <QHBoxLayout>
#include <QPushButton>

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

    connect(m_iconButton, &QPushButton::clicked, this, &KLoginButton::onLogin);
    connect(m_nameButton, &QPushButton::clicked, this, &KLoginButton::onLogin);
}

void KLoginButton::onLogin()
{
    // Logging in needs the online account service, which this build does not
    // include; the button only shows the logged-out state.
}
