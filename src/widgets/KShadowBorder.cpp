#include "KShadowBorder.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QTimer>
#include <QX11Info>

namespace {

struct Stop
{
    qreal at;
    int alpha;
};

// Alpha of a ramp (0 = at the window, 1 = outer edge), linear between stops.
int rampAlpha(const QVector<Stop> &ramp, qreal t)
{
    if (t <= ramp.first().at)
        return ramp.first().alpha;
    for (int i = 1; i < ramp.size(); ++i) {
        if (t <= ramp[i].at) {
            const qreal span = ramp[i].at - ramp[i - 1].at;
            const qreal f = span > 0 ? (t - ramp[i - 1].at) / span : 1.0;
            return int(ramp[i - 1].alpha + (ramp[i].alpha - ramp[i - 1].alpha) * f);
        }
    }
    return ramp.last().alpha;
}

const QVector<Stop> kLeftTop { { 0, 0x42 }, { 0.1, 0x42 }, { 0.5, 0x12 }, { 1, 0 } };
const QVector<Stop> kRightBottom { { 0, 0x42 }, { 0.1, 0x42 }, { 0.6, 0x12 }, { 1, 0 } };
const QVector<Stop> kTopLeftCorner { { 0, 0x1C }, { 0.6, 0x05 }, { 1, 0 } };
const QVector<Stop> kTopRightCorner { { 0, 0x1F }, { 0.6, 0x05 }, { 1, 0 } };
const QVector<Stop> kBottomLeftCorner { { 0, 0x1F }, { 0.6, 0x0A }, { 1, 0 } };
const QVector<Stop> kBottomRightCorner { { 0, 0x2F }, { 0.7, 0x0A }, { 1, 0 } };

QRadialGradient cornerGradient(
    const QPointF &centre, qreal radius, const QVector<Stop> &ramp, qreal opacity)
{
    QRadialGradient gradient(centre, radius);
    for (const Stop &s : ramp)
        gradient.setColorAt(s.at, QColor(0, 0, 0, int(s.alpha * opacity)));
    return gradient;
}

} // namespace

KShadowBorder::KShadowBorder(QWidget *target, QWidget *parent, int width)
    : QWidget(parent,
        Qt::Tool | Qt::FramelessWindowHint | Qt::WindowTransparentForInput
            | Qt::WindowDoesNotAcceptFocus)
    , m_target(target)
    , m_width(qMax(0, width))
{
    setProperty("winClassName", QStringLiteral("QWidget"));
    setProperty("BorderWidget", 1);
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    initShadowOption();
    m_delayedShow = new QTimer(this);
    m_delayedShow->setSingleShot(true);
    m_delayedShow->setInterval(0);
    connect(m_delayedShow, &QTimer::timeout, this, &KShadowBorder::onDelayedShowTimer);
    hide();
    if (m_target)
        m_target->installEventFilter(this);
}

void KShadowBorder::initShadowOption() { m_opacity = 1.0; }

void KShadowBorder::afterPlacement() { }

bool KShadowBorder::compositingAvailable()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb"))
        return QX11Info::isCompositingManagerRunning();
    return true;
}

QRect KShadowBorder::shadowRect(const QRect &targetGeometry) const
{
    if (!targetGeometry.isValid())
        return QRect();
    return targetGeometry.adjusted(-m_width, -m_width, m_width, m_width);
}

bool KShadowBorder::shouldHideShadow() const
{
    if (!m_target || !compositingAvailable())
        return true;
    return m_target->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized);
}

void KShadowBorder::onDelayedShowTimer() { updateShadowGeometry(); }

void KShadowBorder::updateShadowGeometry()
{
    if (shouldHideShadow()) {
        hide();
        return;
    }
    if (!m_target->isVisible() || m_target->isMinimized())
        return;
    if (isHidden() && !m_delayedShow->isActive())
        show();
    setGeometry(shadowRect(m_target->frameGeometry()));
    afterPlacement();
}

bool KShadowBorder::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_target) {
        switch (event->type()) {
        case QEvent::Show:
            if (m_shownOnce)
                updateShadowGeometry();
            else
                m_delayedShow->start();
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowStateChange:
            updateShadowGeometry();
            break;
        case QEvent::Hide:
            hide();
            break;
        case QEvent::WindowActivate:
        case QEvent::WindowDeactivate:
            update();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void KShadowBorder::showEvent(QShowEvent *event)
{
    m_shownOnce = true;
    QWidget::showEvent(event);
}

void KShadowBorder::paintEvent(QPaintEvent *)
{
    if (!isVisible() || m_width <= 0)
        return;
    QPainter painter(this);
    const int w = m_width;
    const QRect inner = rect().adjusted(w, w, -w, -w);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);

    // Sides: one-pixel lines parallel to each side, fading into the corners
    // over the first and last 30 px (15 px on the bottom).
    auto drawSide = [&](const QVector<Stop> &ramp, int fade, bool horizontal, int fixedStart,
                        int direction, int from, int to) {
        for (int step = 0; step < w; ++step) {
            const qreal t = 1.0 - qreal(step) / w;
            const int alpha = int(rampAlpha(ramp, t) * m_opacity);
            const int pos = fixedStart + direction * step;
            QLinearGradient gradient(horizontal ? QPointF(from, 0) : QPointF(0, from),
                horizontal ? QPointF(to, 0) : QPointF(0, to));
            const qreal len = qMax(1, to - from);
            const qreal f = qMin(0.5, fade / len);
            gradient.setColorAt(0, QColor(0, 0, 0, alpha / 2));
            gradient.setColorAt(f, QColor(0, 0, 0, alpha));
            gradient.setColorAt(1 - f, QColor(0, 0, 0, alpha));
            gradient.setColorAt(1, QColor(0, 0, 0, alpha / 2));
            if (horizontal)
                painter.fillRect(QRect(from, pos, to - from, 1), gradient);
            else
                painter.fillRect(QRect(pos, from, 1, to - from), gradient);
        }
    };
    drawSide(kLeftTop, 30, true, 0, 1, inner.left(), inner.right() + 1); // top
    drawSide(kRightBottom, 15, true, height() - 1, -1, inner.left(), inner.right() + 1); // bottom
    drawSide(kLeftTop, 30, false, 0, 1, inner.top(), inner.bottom() + 1); // left
    drawSide(kRightBottom, 30, false, width() - 1, -1, inner.top(), inner.bottom() + 1); // right

    painter.setPen(Qt::NoPen);
    painter.fillRect(
        QRect(0, 0, w, w), cornerGradient(QPointF(w, w), w, kTopLeftCorner, m_opacity));
    painter.fillRect(QRect(inner.right() + 1, 0, w, w),
        cornerGradient(QPointF(inner.right() + 1, w), w, kTopRightCorner, m_opacity));
    painter.fillRect(QRect(0, inner.bottom() + 1, w, w),
        cornerGradient(QPointF(w, inner.bottom() + 1), w, kBottomLeftCorner, m_opacity));
    painter.fillRect(QRect(inner.right() + 1, inner.bottom() + 1, w, w),
        cornerGradient(
            QPointF(inner.right() + 1, inner.bottom() + 1), w, kBottomRightCorner, m_opacity));
}
