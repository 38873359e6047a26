#pragma once

#include <QPointer>
#include <QWidget>

class QTimer;

// A translucent, click-through tool window that follows its target window and
// paints a soft drop shadow around it. Interface thread; owned by its parent.
// Without a compositing manager translucency would paint black, so the shadow
// then stays hidden.
class KShadowBorder : public QWidget
{
    Q_OBJECT
public:
    KShadowBorder(QWidget *target, QWidget *parent, int width = 10);

    int shadowWidth() const { return m_width; }
    // The target geometry grown by the shadow width on every side.
    virtual QRect shadowRect(const QRect &targetGeometry) const;
    virtual bool shouldHideShadow() const;

    // Whether the windowing system composes translucent windows.
    static bool compositingAvailable();

public slots:
    void onDelayedShowTimer();

protected:
    virtual void initShadowOption();
    virtual void afterPlacement();
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void updateShadowGeometry();

    QPointer<QWidget> m_target;
    int m_width = 10;
    qreal m_opacity = 1.0;
    QTimer *m_delayedShow = nullptr;
    bool m_shownOnce = false;
};
