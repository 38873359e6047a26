#include "KBatchProcessLabel.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>

#include "widgets/StyleSheets.h"

KBatchProcessLabel::KBatchProcessLabel(const QString &text, QWidget *parent)
    : QLabel(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 0, 0, 0);
    m_caption = new QLabel(text, this);
    QFont font(uiFontFamily());
    font.setPixelSize(13);
    m_caption->setFont(font);
    m_caption->setStyleSheet(QStringLiteral("color:#3E3E3E;"));
    layout->addWidget(m_caption);
    // At least 90 px, and wide enough for the caption in the interface font.
    setFixedSize(qMax(90, QFontMetrics(font).horizontalAdvance(text) + 24), 30);
}

QString KBatchProcessLabel::caption() const { return m_caption->text(); }

void KBatchProcessLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    QPainter painter(this);
    painter.fillRect(QRect(0, 6, 4, height() - 10), QColor(0x43, 0x9E, 0xFF));
}
