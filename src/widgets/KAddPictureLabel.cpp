#include "KAddPictureLabel.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>

#include "widgets/StyleSheets.h"

KAddPictureLabel::KAddPictureLabel(const QString &text, QWidget *parent)
    : QLabel(parent)
{
    setFixedSize(500, 160);
    setCursor(Qt::PointingHandCursor);
    QFont font(uiFontFamily());
    font.setPixelSize(18);
    setFont(font);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(200, 0, 0, 0);
    layout->setSpacing(0);
    m_button = new QPushButton(text, this);
    m_button->setFixedSize(32, 32);
    m_button->setStyleSheet(buttonStyleSheet(QStringLiteral("addFile")));
    m_button->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(m_button);
    layout->addSpacing(4);
    auto *label = new QLabel(tr("Choose File"), this);
    label->setFixedSize(100, 48);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color:#333333;"));
    layout->addWidget(label);
    layout->addStretch();
    connect(m_button, &QPushButton::clicked, this, &KAddPictureLabel::addPicClicked);
}

void KAddPictureLabel::enterEvent(QEvent *event)
{
    m_hovered = true;
    update();
    QLabel::enterEvent(event);
}

void KAddPictureLabel::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QLabel::leaveEvent(event);
}

void KAddPictureLabel::mousePressEvent(QMouseEvent *event)
{
    emit addPicClicked();
    QLabel::mousePressEvent(event);
}

void KAddPictureLabel::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    QPen pen(m_hovered ? QColor(0x12, 0x96, 0xDB) : QColor(0xCC, 0xCC, 0xCC), 2);
    pen.setDashPattern({ 5, 3, 5, 3 });
    painter.setPen(pen);
    painter.drawRect(rect().adjusted(1, 1, -1, -1));
    painter.end();
    QLabel::paintEvent(event);
}
