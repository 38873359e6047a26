#pragma once

#include <QSize>
#include <QWidget>

class QComboBox;
class QLineEdit;

// "size adjust" panel of the GIF compression tool: output width and height
// typed in or filled from a list of common sizes. An empty side follows the
// source's ratio. Interface thread only.
class KResizeGifCompressSettig : public QWidget
{
    Q_OBJECT
public:
    explicit KResizeGifCompressSettig(QWidget *parent = nullptr);

    // The two fields as numbers, 0 for an empty field.
    QSize sizeSetting() const;

    QLineEdit *widthEdit() const { return m_width; }
    QLineEdit *heightEdit() const { return m_height; }
    QComboBox *presetCombo() const { return m_presets; }

public slots:
    // Writes the preset's width and height into the fields.
    void onCurrentIndexChanged(int index);

private:
    QLineEdit *m_width = nullptr;
    QLineEdit *m_height = nullptr;
    QComboBox *m_presets = nullptr;
};
