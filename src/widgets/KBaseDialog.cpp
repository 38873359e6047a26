#include "KBaseDialog.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "widgets/WidgetResources.h"

KBaseDialog::KBaseDialog(QWidget *parent)
    : QDialog(parent)
{
}

void KBaseDialog::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_pressPos = event->pos();
    }
    QDialog::mousePressEvent(event);
}

void KBaseDialog::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging)
        move(pos() + (event->pos() - m_pressPos));
    QDialog::mouseMoveEvent(event);
}

void KBaseDialog::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}

void KBaseDialog::showEvent(QShowEvent *event)
{
    if (m_centerOnFirstShow) {
        m_centerOnFirstShow = false;
        adjustSize();
        QRect area;
        if (QWidget *main = WidgetResources::mainWidget())
            area = main->frameGeometry();
        else if (parentWidget())
            area = parentWidget()->window()->frameGeometry();
        else if (QScreen *screen = QGuiApplication::primaryScreen())
            area = screen->availableGeometry();
        if (area.isValid())
            move(area.center() - QPoint(width() / 2, height() / 2));
    }
    QDialog::showEvent(event);
}

void KBaseDialog::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    QDialog::paintEvent(event);
}
