#include "ViewParts.h"

#include <QPushButton>
#include <QStandardPaths>

#include "widgets/KMessageTips.h"
#include "widgets/StyleSheets.h"

QString desktopFolder()
{
    static const QString folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return folder;
}

QPushButton *createActionButton(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setFixedSize(108, 40);
    QFont font(uiFontFamily());
    // 16 px: "start compress" does not fit 108 px at 18.
    font.setPixelSize(16);
    button->setFont(font);
    button->setStyleSheet(blueButtonStyleSheet());
    return button;
}

void showNotice(QWidget *parent, const QString &title, const QString &message)
{
    auto *tips = new KMessageTips(title, message, parent);
    tips->setConfirmButtons();
    tips->open();
}
