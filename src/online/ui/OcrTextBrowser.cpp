#include "OcrTextBrowser.h"

#include <QPalette>
#include <QScrollBar>

#include "widgets/StyleSheets.h"

OcrTextBrowser::OcrTextBrowser(QWidget *parent)
    : QTextBrowser(parent)
{
    setMouseTracking(true);
    QFont font(uiFontFamily());
    font.setPixelSize(13);
    setFont(font);
    setStyleSheet(browserStyleSheet());
    verticalScrollBar()->setStyleSheet(scrollBarStyleSheet());
    setContextMenuPolicy(Qt::NoContextMenu);
    verticalScrollBar()->setContextMenuPolicy(Qt::NoContextMenu);
    setAttribute(Qt::WA_TranslucentBackground);
    QPalette colours = palette();
    colours.setColor(QPalette::Highlight, QColor(0xBD, 0xDE, 0xFF));
    colours.setColor(QPalette::HighlightedText, Qt::black);
    setPalette(colours);
}
