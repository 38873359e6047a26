#include "ViewParts.h"

#include <QHBoxLayout>
#include <QLineEdit>
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

namespace {
constexpr int kFolderButtonSize = 16;
constexpr int kFolderButtonInset = 6;
} // namespace

QLineEdit *makeFolderBox(QWidget *parent, QPushButton **button)
{
    auto *box = new QLineEdit(parent);
    box->setFixedSize(300, 28);
    box->setStyleSheet(QStringLiteral("border:1px solid #CCCCCC;") + lineEditStyleSheet());
    box->setContextMenuPolicy(Qt::NoContextMenu);
    auto *folderButton = new QPushButton(box);
    folderButton->setFixedSize(kFolderButtonSize, kFolderButtonSize);
    folderButton->setCursor(Qt::PointingHandCursor);
    folderButton->setFocusPolicy(Qt::NoFocus);
    folderButton->setStyleSheet(buttonStyleSheet(QStringLiteral("selectFolder")));
    auto *inside = new QHBoxLayout(box);
    inside->setContentsMargins(0, 0, kFolderButtonInset, 0);
    inside->addStretch();
    inside->addWidget(folderButton, 0, Qt::AlignVCenter);
    // The text stops where the button starts.
    box->setTextMargins(0, 0, kFolderButtonSize + kFolderButtonInset, 0);
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
