#pragma once

#include <QLabel>

class QPushButton;

// The large dashed "Choose File" target of the empty pages.
class KAddPictureLabel : public QLabel
{
    Q_OBJECT
public:
    explicit KAddPictureLabel(const QString &text, QWidget *parent = nullptr);

    QPushButton *button() const { return m_button; }

signals:
    void addPicClicked();

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QPushButton *m_button = nullptr;
    bool m_hovered = false;
};
