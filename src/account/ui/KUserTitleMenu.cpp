#include "KUserTitleMenu.h"

#include <QWidgetAction>

#include "account/ui/KUserMenuWidget.h"

KUserTitleMenu::KUserTitleMenu(QWidget *parent)
    : QMenu(parent)
{
    auto *action = new QWidgetAction(this);
    m_widget = new KUserMenuWidget(this);
    action->setDefaultWidget(m_widget);
    addAction(action);
    setStyleSheet(QStringLiteral("QMenu { background-color: white; border: 1px solid #DBDBDB; }"));
}
