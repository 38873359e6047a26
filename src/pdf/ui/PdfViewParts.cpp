#include <QDir>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>

#include "PdfViewParts_p.h"
#include "widgets/StyleSheets.h"

namespace PdfViewParts {

namespace {
constexpr int kFolderButtonSize = 16;
constexpr int kFolderButtonInset = 6;
} // namespace

QFont viewFont(int pixelSize)
{
    QFont font(uiFontFamily());
    font.setPixelSize(pixelSize);
    return font;
}

void fitSize(QWidget *widget, int width, int height)
{
    widget->ensurePolished();
    widget->setFixedSize(qMax(width, widget->sizeHint().width()), height);
}

QLineEdit *makeFolderBox(QWidget *parent, QPushButton **button)
{
    auto *box = new QLineEdit(parent);
    box->setFixedSize(300, 28);
    box->setStyleSheet(QStringLiteral("border:1px solid #CCCCCC;") + lineEditStyleSheet());
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

bool isUsableParent(const QString &dir) { return !dir.isEmpty() && QDir::isAbsolutePath(dir); }

int currentRow(const QStringList &listed, const QStringList &runFiles, int runIndex)
{
    if (runIndex < 0 || runIndex >= runFiles.size())
        return -1;
    const QString &file = runFiles.at(runIndex);
    if (runIndex < listed.size() && listed.at(runIndex) == file)
        return runIndex; // the usual case: nothing moved
    return listed.indexOf(file);
}

} // namespace PdfViewParts
