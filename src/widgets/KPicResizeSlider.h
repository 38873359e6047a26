#pragma once

#include <QSlider>

// Horizontal slider whose handle jumps to the pointer on a click and follows a
// drag; views listen to valueChangedFinished() (one per gesture) rather than to
// every value change.
class KPicResizeSlider : public QSlider
{
    Q_OBJECT
public:
    explicit KPicResizeSlider(QWidget *parent = nullptr);

    // Enables or disables the slider together with its pointer handling.
    void setSliderEnabled(bool enabled);

signals:
    void valueChangedFinished();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int valueAt(int x) const;

    int m_pressValue = 0;
    int m_target = 0;
    bool m_dragging = false;
};
