#include "KEditBrowser.h"

#include <QScrollBar>
#include <QTextCursor>

#include "widgets/StyleSheets.h"

KEditBrowser::KEditBrowser(QWidget *parent)
    : QTextEdit(parent)
{
    setStyleSheet(browserStyleSheet());
    setContextMenuPolicy(Qt::NoContextMenu);
    setAttribute(Qt::WA_TranslucentBackground);
    verticalScrollBar()->setStyleSheet(scrollBarStyleSheet());
    verticalScrollBar()->setContextMenuPolicy(Qt::NoContextMenu);
    QPalette pal = palette();
    pal.setColor(QPalette::Text, QColor(0x45, 0x45, 0x45));
    pal.setColor(QPalette::Highlight, QColor(0xBD, 0xDE, 0xFF));
    pal.setColor(QPalette::HighlightedText, Qt::black);
    setPalette(pal);
}

void KEditBrowser::scrollToFraction(double fraction)
{
    verticalScrollBar()->setValue(int(verticalScrollBar()->maximum() * fraction));
}

void KEditBrowser::setCursorPosition(int position)
{
    QTextCursor cursor = textCursor();
    cursor.setPosition(qBound(0, position, document()->characterCount() - 1));
    setTextCursor(cursor);
}
