#include "KTitleBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "account/ui/KLoginButton.h"
#include "app/ui/KApplication.h"
#include "app/ui/KCommonHeader.h"
#include "app/ui/KLineLabel.h"
#include "app/ui/KMoreMenu.h"
#include "widgets/StyleSheets.h"

KTitleBar::KTitleBar(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(1050, 70);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 10, 0);
    layout->setSpacing(0);

    auto *left = new QHBoxLayout();
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    left->addSpacing(10);
    auto *logo = new QLabel(this);
    logo->setFixedSize(32, 70);
    logo->setPixmap(KApplication::resourcePixmap(QStringLiteral("title")));
    logo->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    left->addWidget(logo);
    left->addSpacing(2);
    auto *name = new QLabel(tr("quorvel"), this);
    name->setFixedSize(100, 70);
    QFont nameFont(uiFontFamily());
    nameFont.setPixelSize(16);
    nameFont.setBold(true);
    name->setFont(nameFont);
    name->setStyleSheet(QStringLiteral("color:#454545;"));
    left->addWidget(name);
    left->addSpacing(20);
    m_header = new KCommonHeader(this);
    m_header->setContentsMargins(0, 8, 0, 0);
    left->addWidget(m_header);
    layout->addLayout(left);
    layout->setAlignment(left, Qt::AlignLeft);

    m_loginButton = new KLoginButton(this);
    layout->addWidget(m_loginButton, 0, Qt::AlignRight);
    auto *separator = new KLineLabel(this);
    separator->setFixedSize(20, 30);
    separator->setContentsMargins(10, 10, 10, 4);
    layout->addWidget(separator, 0, Qt::AlignRight);

    m_moreButton = new QPushButton(this);
    m_moreButton->setFixedSize(14, 14);
    m_moreButton->setToolTip(tr("TooMenu"));
    m_moreButton->setStyleSheet(buttonStyleSheet(QStringLiteral("menu")));
    m_moreButton->setFocusPolicy(Qt::NoFocus);
    m_moreMenu = new KMoreMenu(m_moreButton, m_moreButton);
    m_moreButton->setMenu(m_moreMenu);
    layout->addWidget(m_moreButton, 0, Qt::AlignRight);
    layout->addSpacing(14);

    m_minButton = new QPushButton(this);
    m_minButton->setFixedSize(14, 14);
    m_minButton->setToolTip(tr("Minimum size"));
    m_minButton->setStyleSheet(buttonStyleSheet(QStringLiteral("miniWindow")));
    m_minButton->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(m_minButton, 0, Qt::AlignRight);
    layout->addSpacing(14);
    m_closeButton = new QPushButton(this);
    m_closeButton->setFixedSize(12, 12);
    m_closeButton->setToolTip(tr("Close application"));
    m_closeButton->setStyleSheet(buttonStyleSheet(QStringLiteral("closeWindow")));
    m_closeButton->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(m_closeButton, 0, Qt::AlignRight);
    layout->addSpacing(10);

    connect(m_header, &KCommonHeader::selectFuncMode, this, &KTitleBar::selectFuncMode);
    connect(m_minButton, &QPushButton::clicked, this, &KTitleBar::minimizeWindow);
    connect(m_closeButton, &QPushButton::clicked, this, &KTitleBar::closeWindow);
}

void KTitleBar::onClose() { }

void KTitleBar::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0xEE, 0xF0, 0xF6));
    QWidget::paintEvent(event);
}
