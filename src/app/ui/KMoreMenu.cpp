#include "KMoreMenu.h"

#include <QPushButton>

#include "account/ui/KFeedBackView.h"
#include "app/ui/KAboutView.h"
#include "app/ui/KApplication.h"
#include "widgets/KShadowBorder.h"

KMoreMenu::KMoreMenu(QPushButton *button, QWidget *parent)
    : QMenu(parent)
    , m_button(button)
{
    new KShadowBorder(this, this, 10);
    setIcon(QIcon());
    QAction *feedback = addAction(tr("feeback"));
    connect(feedback, &QAction::triggered, this, &KMoreMenu::onTriggedFeedBack);
    QAction *about = addAction(tr("aboutInfo"));
    connect(about, &QAction::triggered, this, &KMoreMenu::onTriggerAbout);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setStyleSheet(QStringLiteral(
        " QMenu {font-size:14px; background-color:#F5F5F5;} QMenu::item {height:35px; "
        "width:100px;padding-left:20px;border: 1px solid transparent; }QMenu::item:selected "
        "{background-color:#e6e6e6; padding-left:20px;border: 1px solid #e6e6e6; }"));
}

void KMoreMenu::onTriggedFeedBack(bool)
{
    auto *feedback = new KFeedBackView(KApplication::mainWidget());
    feedback->exec();
    // A closed form is not kept: each use opens a fresh one.
    delete feedback;
}

void KMoreMenu::onTriggerAbout(bool)
{
    auto *about = new KAboutView(this);
    about->exec();
}

void KMoreMenu::showEvent(QShowEvent *event)
{
    QMenu::showEvent(event);
    if (m_button) {
        const QPoint p = pos();
        move(p.x() + m_button->width() - width() / 2, p.y() + 10);
    }
}
