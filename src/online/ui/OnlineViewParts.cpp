#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "OnlineViewParts_p.h"
#include "account/KAccoutManager.h"
#include "online/KvHttp.h"
#include "widgets/KMessageTips.h"
#include "widgets/StyleSheets.h"

namespace OnlineViewParts {

void fitSize(QWidget *widget, int width, int height)
{
    widget->ensurePolished();
    widget->setFixedSize(qMax(width, widget->sizeHint().width()), height);
}

KMessageTips *ask(QWidget *parent, const QString &title, const QString &text, Buttons buttons,
    std::function<void(int)> answer)
{
    auto *tips = new KMessageTips(title, text, parent);
    switch (buttons) {
    case Buttons::Confirm:
        tips->setConfirmButtons();
        break;
    case Buttons::Retry:
        tips->setRetryButtons();
        break;
    case Buttons::Compress:
        tips->setCompressButtons();
        break;
    case Buttons::OpenFile:
        tips->setOpenFileButtons();
        break;
    }
    if (answer)
        QObject::connect(tips, &QDialog::finished, parent, answer);
    tips->open();
    return tips;
}

QString failureText(const QString &message, const KvHttp &client)
{
    if (!client.serviceUnreachable())
        return message;
    return message + QLatin1Char('\n')
        + QCoreApplication::translate(
            "OnlineViewParts", "The online service could not be reached.");
}

bool ensureLoggedIn()
{
    KAccoutManager *account = KAccoutManager::instance();
    if (account->isLoggedIn())
        return true;
    account->showLogin();
    return false;
}

} // namespace OnlineViewParts
