#pragma once

#include <QWidget>

class QLabel;

// One entry of a mode's task pane. Lives on the interface thread, owned by its pane.
class KTaskPanelItem : public QWidget
{
    Q_OBJECT
public:
    KTaskPanelItem(
        const QString &identifier, const QString &text, int id, QWidget *parent = nullptr);

    int id() const { return m_id; }
    QString identifier() const { return m_identifier; }
    QString text() const;
    bool isSelected() const { return m_selected; }
    bool isHovered() const { return m_hovered; }

    void setSelected(bool selected);

signals:
    void clicked(int id);

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_identifier;
    QLabel *m_label = nullptr;
    int m_id = 0;
    bool m_hovered = false;
    bool m_selected = false;
};
