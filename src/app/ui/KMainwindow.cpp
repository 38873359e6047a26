#include "KMainwindow.h"

#include <cstdlib>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "app/ui/KMainView.h"
#include "app/ui/KTitleBar.h"
#include "widgets/KShadowBorder.h"

KMainwindow::KMainwindow(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowOpacity(1.0);
    setWindowIcon(QIcon(QStringLiteral(":/photo.ico")));
    setWindowTitle(tr("quorvel"));
    setFixedSize(1050, 620);

    m_titleBar = new KTitleBar(this);
    setMenuWidget(m_titleBar);
    m_mainView = new KMainView(this);
    setCentralWidget(m_mainView);
    m_shadow = new KShadowBorder(this, this, 10);

    connect(m_titleBar, &KTitleBar::selectFuncMode, m_mainView, &KMainView::onSelectFuncMode);
    connect(m_titleBar, &KTitleBar::minimizeWindow, this, &KMainwindow::onMinimize);
    connect(m_titleBar, &KTitleBar::closeWindow, this, &KMainwindow::onCloseWindow);

    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(placement(screen->availableGeometry()));
}

QPoint KMainwindow::placement(const QRect &available, const QSize &size)
{
    QSize scaled = size;
    if (available.width() < size.width() || available.height() < size.height()) {
        const double f = std::min(
            double(available.width()) / size.width(), double(available.height()) / size.height());
        scaled = QSize(int(size.width() * f), int(size.height() * f));
    }
    const int x = std::abs(available.left() + (available.width() - scaled.width()) / 2);
    const int y = std::abs(available.top() + (available.height() - scaled.height()) / 2) - 10;
    return QPoint(x, y);
}

void KMainwindow::onMinimize() { showMinimized(); }

void KMainwindow::onMaximize() { showNormal(); }

void KMainwindow::onCloseWindow() { QCoreApplication::quit(); }

void KMainwindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_pressPos = event->pos();
    }
    QMainWindow::mousePressEvent(event);
}

void KMainwindow::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QMainWindow::mouseReleaseEvent(event);
}

void KMainwindow::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging)
        move(pos() + (event->pos() - m_pressPos));
    QMainWindow::mouseMoveEvent(event);
}

void KMainwindow::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    QMainWindow::paintEvent(event);
}
