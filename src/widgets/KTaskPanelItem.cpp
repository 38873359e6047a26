#include "KTaskPanelItem.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include "widgets/StyleSheets.h"

namespace {
const QString kBlue = QStringLiteral("color:#06A8FF;");
const QString kNormal = QStringLiteral("color:#333333;");
} // namespace

KTaskPanelItem::KTaskPanelItem(
    const QString &identifier, const QString &text, int id, QWidget *parent)
    : QWidget(parent)
    , m_identifier(identifier)
    , m_id(id)
{
    setFixedSize(164, 40);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(30, 0, 0, 0);
    m_label = new QLabel(text, this);
    m_label->setFixedSize(120, 16);
    QFont font(uiFontFamily());
    font.setPixelSize(13);
    m_label->setFont(font);
    m_label->setStyleSheet(QStringLiteral("color:#3E3E3E;"));
    layout->addWidget(m_label);
    layout->addStretch();
}

QString KTaskPanelItem::text() const { return m_label->text(); }

void KTaskPanelItem::setSelected(bool selected)
{
    m_selected = selected;
    m_label->setStyleSheet(m_selected || m_hovered ? kBlue : kNormal);
    update();
}

void KTaskPanelItem::enterEvent(QEvent *event)
{
    m_hovered = true;
    m_label->setStyleSheet(kBlue);
    update();
    QWidget::enterEvent(event);
}

void KTaskPanelItem::leaveEvent(QEvent *event)
{
    m_hovered = false;
    if (!m_selected)
        m_label->setStyleSheet(kNormal);
    update();
    QWidget::leaveEvent(event);
}

void KTaskPanelItem::mouseReleaseEvent(QMouseEvent *event)
{
    m_selected = true;
    m_label->setStyleSheet(kBlue);
    emit clicked(m_id);
    update();
    QWidget::mouseReleaseEvent(event);
}

void KTaskPanelItem::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    if (m_selected) {
        painter.fillRect(rect(), QColor(0xE0, 0xF2, 0xFF));
        painter.fillRect(QRect(0, 0, 4, height()), QColor(0x13, 0xA8, 0xFF));
    } else if (m_hovered) {
        painter.fillRect(rect(), QColor(0xED, 0xF6, 0xFF));
    }
    QWidget::paintEvent(event);
}
