#pragma once

#include <QList>
#include <QWidget>

class KTaskPanelItem;
class QVBoxLayout;

// The narrow list of a mode's tools on the left of a mode page. Each mode has
// its own subclass that adds its tools; selection is kept here.
class KTaskPane : public QWidget
{
    Q_OBJECT
public:
    explicit KTaskPane(const QSize &size, QWidget *parent = nullptr);

    int selectedId() const { return m_selectedId; }
    const QList<KTaskPanelItem *> &items() const { return m_items; }

signals:
    void switchMode(int id);

public slots:
    void onTriggerSwitchBatchMode(int id);

protected:
    void addTool(const QString &iconName, const QString &text, int id);
    // Closes the list with a stretch and marks tool 0 selected.
    void finishTools();
    void paintEvent(QPaintEvent *event) override;

private:
    QVBoxLayout *m_layout = nullptr;
    QList<KTaskPanelItem *> m_items;
    int m_selectedId = 0;
};
