#include "KPushButton.h"

#include <QHBoxLayout>
#include <QLabel>

#include "widgets/StyleSheets.h"
#include "widgets/WidgetResources.h"

KPushButton::KPushButton(const QString &iconName, const QString &caption, QWidget *parent)
    : QWidget(parent)
    , m_iconName(iconName)
{
    setAutoFillBackground(false);
    setCursor(Qt::PointingHandCursor);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_icon = new QLabel(this);
    const QPixmap pixmap = WidgetResources::pixmap(iconName);
    m_icon->setPixmap(pixmap);
    if (!pixmap.isNull())
        m_icon->setFixedSize(pixmap.size());
    layout->addWidget(m_icon, 0, Qt::AlignLeft);
    m_caption = new QLabel(caption, this);
    m_caption->setFixedSize(70, 16);
    QFont font(uiFontFamily());
    font.setPixelSize(12);
    m_caption->setFont(font);
    m_caption->setStyleSheet(QStringLiteral("color:#3E3E3E;"));
    layout->addWidget(m_caption, 0, Qt::AlignRight);
}

QString KPushButton::caption() const { return m_caption->text(); }

void KPushButton::setIconSize(const QSize &size)
{
    m_iconSize = size;
    showIcon(m_hovered ? m_iconName + QStringLiteral("-hover.png") : m_iconName);
    m_icon->setFixedSize(size);
}

void KPushButton::setTextColor(const QString &colour)
{
    m_textColor = colour;
    m_caption->setStyleSheet(QStringLiteral("color:%1;").arg(colour));
}

void KPushButton::showIcon(const QString &name)
{
    QPixmap pixmap = WidgetResources::pixmap(name);
    if (m_iconSize.isValid() && !pixmap.isNull())
        pixmap = pixmap.scaled(m_iconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    m_icon->setPixmap(pixmap);
}

void KPushButton::enterEvent(QEvent *event)
{
    m_hovered = true;
    m_caption->setStyleSheet(QStringLiteral("color:#06A8FF;"));
    showIcon(m_iconName + QStringLiteral("-hover.png"));
    QWidget::enterEvent(event);
}

void KPushButton::leaveEvent(QEvent *event)
{
    m_hovered = false;
    m_pressed = false;
    showIcon(m_iconName);
    m_caption->setStyleSheet(QStringLiteral("color:%1;").arg(m_textColor));
    QWidget::leaveEvent(event);
}

void KPushButton::mouseReleaseEvent(QMouseEvent *event)
{
    m_pressed = true;
    m_caption->setStyleSheet(QStringLiteral("color:#06A8FF;"));
    showIcon(m_iconName + QStringLiteral("-hover.png"));
    emit clicked();
    update();
    QWidget::mouseReleaseEvent(event);
}
