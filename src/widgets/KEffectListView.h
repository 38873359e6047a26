#pragma once

#include <QListView>

class QComboBox;

// The drop-down list of every combo box: the combo's font, a thin grey frame.
class KEffectListView : public QListView
{
    Q_OBJECT
public:
    explicit KEffectListView(QComboBox *combo, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    QStyleOptionViewItem viewOptions() const override;

private:
    QComboBox *m_combo = nullptr;
};
