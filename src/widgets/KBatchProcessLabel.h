#pragma once

#include <QLabel>

// A section heading of a settings panel: a blue bar and a 13 px caption.
class KBatchProcessLabel : public QLabel
{
    Q_OBJECT
public:
    explicit KBatchProcessLabel(const QString &text, QWidget *parent = nullptr);

    QString caption() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_caption = nullptr;
};
