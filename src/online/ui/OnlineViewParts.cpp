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

QLineEdit *makeFolderBox(QWidget *parent, QPushButton **button)
{
    constexpr int buttonSize = 16;
    constexpr int inset = 6;
    auto *box = new QLineEdit(parent);
    box->setFixedSize(300, 28);
    box->setStyleSheet(QStringLiteral("border:1px solid #CCCCCC;") + lineEditStyleSheet());
    box->setContextMenuPolicy(Qt::NoContextMenu);
    auto *folderButton = new QPushButton(box);
    folderButton->setFixedSize(buttonSize, buttonSize);
    folderButton->setCursor(Qt::ArrowCursor);
    folderButton->setFocusPolicy(Qt::NoFocus);
    folderButton->setStyleSheet(buttonStyleSheet(QStringLiteral("selectFolder")));
    auto *inside = new QHBoxLayout(box);
    inside->setContentsMargins(0, 0, inset, 0);
    inside->addStretch();
    inside->addWidget(folderButton, 0, Qt::AlignVCenter);
    box->setTextMargins(0, 0, buttonSize + inset, 0);
    *button = folderButton;
    return box;
}

void showFolder(QLineEdit *box, const QString &path)
{
    box->setText(path);
    box->setCursorPosition(0);
    const bool clipped = box->fontMetrics().horizontalAdvance(path) > box->width() - 26;
    box->setToolTip(clipped ? path : QString());
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
