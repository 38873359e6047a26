#pragma once

#include <QSize>
#include <QWidget>

class QLabel;

// An icon with a caption that behaves as a button (hover icon, blue caption).
class KPushButton : public QWidget
{
    Q_OBJECT
public:
    KPushButton(const QString &iconName, const QString &caption, QWidget *parent = nullptr);

    void setIconSize(const QSize &size);
    void setTextColor(const QString &colour);
    QString caption() const;

signals:
    void clicked();

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void showIcon(const QString &name);

    QString m_iconName;
    QLabel *m_icon = nullptr;
    QLabel *m_caption = nullptr;
    bool m_hovered = false;
    bool m_pressed = false;
    QSize m_iconSize;
    QString m_textColor = QStringLiteral("#333333");
};
