#include "KPicResizeSlider.h"

#include <QMouseEvent>

KPicResizeSlider::KPicResizeSlider(QWidget *parent)
    : QSlider(Qt::Horizontal, parent)
{
    installEventFilter(this);
}

void KPicResizeSlider::setSliderEnabled(bool enabled)
{
    setEnabled(enabled);
    if (enabled)
        installEventFilter(this);
    else
        removeEventFilter(this);
}

int KPicResizeSlider::valueAt(int x) const
{
    if (width() <= 0)
        return minimum();
    return int(minimum() + double(maximum() - minimum()) * x / width());
}

bool KPicResizeSlider::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != this || !isEnabled())
        return QSlider::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        m_target = valueAt(mouse->pos().x());
        setValue(m_target);
        m_pressValue = value();
        return true;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const int x = qBound(0, mouse->pos().x(), width());
        m_target = valueAt(x);
        setValue(m_target);
        m_dragging = true;
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        if (valueAt(mouse->pos().x()) == m_target)
            setValue(m_target);
        if (m_dragging)
            setValue(m_target);
        m_dragging = false;
        emit valueChangedFinished();
        return true;
    }
    default:
        break;
    }
    return QSlider::eventFilter(watched, event);
}
