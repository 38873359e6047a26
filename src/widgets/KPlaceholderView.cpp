#include "KPlaceholderView.h"

#include <QLabel>
#include <QVBoxLayout>

#include "widgets/StyleSheets.h"

KPlaceholderView::KPlaceholderView(const QString &toolName, QWidget *parent)
    : QWidget(parent)
    , m_toolName(toolName)
{
    setFixedSize(886, 600);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(30, 30, 30, 80);
    layout->addStretch();
    auto *title = new QLabel(toolName, this);
    QFont titleFont(uiFontFamily());
    titleFont.setPixelSize(18);
    title->setFont(titleFont);
    title->setStyleSheet(QStringLiteral("color:#3E3E3E;"));
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    auto *hint = new QLabel(tr("This tool is coming in a later version."), this);
    QFont hintFont(uiFontFamily());
    hintFont.setPixelSize(12);
    hint->setFont(hintFont);
    hint->setStyleSheet(QStringLiteral("color:#999999;"));
    hint->setAlignment(Qt::AlignCenter);
    layout->addWidget(hint);
    layout->addStretch();
}
