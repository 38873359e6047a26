#include "KCommonHeaderItem.h"

#include <QFontMetrics>
#include <QLabel>
#include <QVBoxLayout>

#include "app/ui/KApplication.h"
#include "widgets/StyleSheets.h"

KCommonHeaderItem::KCommonHeaderItem(QWidget *parent, const QString &text, int id)
    : QWidget(parent)
    , m_text(text)
    , m_id(id)
{
    setFixedSize(74, 70);
    setAttribute(Qt::WA_TranslucentBackground);
    setCursor(Qt::PointingHandCursor);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_label = new QLabel(text, this);
    m_label->setFixedSize(70, 20);
    QFont font(uiFontFamily());
    font.setPixelSize(13);
    m_label->setFont(font);
    m_label->setStyleSheet(QStringLiteral("color:#333333;"));
    m_label->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_label);
    layout->addStretch();

    const int textWidth = QFontMetrics(font).boundingRect(text).width();
    const int x0 = (74 - textWidth) / 2 - 4;
    const QPixmap line = KApplication::resourcePixmap(QStringLiteral("underline_hover"));
    for (int i = 0; i < 2; ++i) {
        m_underline[i] = new QLabel(this);
        m_underline[i]->setFixedSize(30, 2);
        m_underline[i]->setPixmap(line);
        m_underline[i]->setScaledContents(true);
        m_underline[i]->move(i == 0 ? x0 : x0 + (id == 3 ? 30 : 27), 28);
        m_underline[i]->hide();
    }
}

bool KCommonHeaderItem::isSelected() const { return !m_underline[0]->isHidden(); }

void KCommonHeaderItem::setSelected(bool selected)
{
    for (QLabel *piece : m_underline)
        piece->setVisible(selected);
    update();
}

void KCommonHeaderItem::mousePressEvent(QMouseEvent *event)
{
    emit clicked(m_id);
    QWidget::mousePressEvent(event);
}

void KCommonHeaderItem::enterEvent(QEvent *event)
{
    m_label->setStyleSheet(QStringLiteral("color:#06A8FF;"));
    QWidget::enterEvent(event);
}

void KCommonHeaderItem::leaveEvent(QEvent *event)
{
    m_label->setStyleSheet(QStringLiteral("color:#333333;"));
    QWidget::leaveEvent(event);
}
