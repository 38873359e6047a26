#pragma once

#include <QWidget>

class QLabel;

// One mode tab of the title bar: its text and a blue underline when selected.
class KCommonHeaderItem : public QWidget
{
    Q_OBJECT
public:
    KCommonHeaderItem(QWidget *parent, const QString &text, int id);

    int id() const { return m_id; }
    QString text() const { return m_text; }
    bool isSelected() const;
    void setSelected(bool selected);

signals:
    void clicked(int id);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QString m_text;
    int m_id = 0;
    QLabel *m_label = nullptr;
    QLabel *m_underline[2] = { nullptr, nullptr };
};
