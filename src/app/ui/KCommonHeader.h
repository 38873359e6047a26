#pragma once

#include <QList>
#include <QWidget>

class KCommonHeaderItem;

// The row of five mode tabs in the title bar.
class KCommonHeader : public QWidget
{
    Q_OBJECT
public:
    explicit KCommonHeader(QWidget *parent = nullptr);

    const QList<KCommonHeaderItem *> &items() const { return m_items; }
    int selectedId() const { return m_selectedId; }

signals:
    void selectFuncMode(int func);

public slots:
    void onHeadItemClicked(int func);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<KCommonHeaderItem *> m_items;
    int m_selectedId = 0;
};
