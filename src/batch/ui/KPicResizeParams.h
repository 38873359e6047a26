#pragma once

#include <QSize>
#include <QWidget>

#include "batch/ResizeParams.h"

class KPicResizeSlider;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

// How batch resize sizes images: explicit pixels (optionally keeping the
// ratio), a percentage, or a preset photo size.
class KPicResizeParams : public QWidget
{
    Q_OBJECT
public:
    explicit KPicResizeParams(QWidget *parent = nullptr);

    ResizeParams params() const;
    // The size of the first listed image: shown in the pixel boxes.
    void setImageSize(const QSize &size);
    QSize imageSize() const { return m_imageSize; }

    // Preset photo and web sizes, by combo index.
    static QSize presetSize(int index);

    QLineEdit *widthEdit() const { return m_width; }
    QLineEdit *heightEdit() const { return m_height; }
    QCheckBox *lockBox() const { return m_lock; }
    KPicResizeSlider *slider() const { return m_slider; }
    QLineEdit *scaleEdit() const { return m_scale; }
    QComboBox *presetCombo() const { return m_presets; }
    QRadioButton *modeButton(int mode) const;

public slots:
    void onResizeModeSelectBtn(int id);
    void onPixelVaueChanged(const QString &text);
    void onSliderValueChanged(int value);
    void onScaleEditValueChanged(const QString &text);
    void onCustomSizeIndexChanged(int index);
    void onLockRatioBtnClicked(bool checked);

private:
    void writeReferenceSize();

    QButtonGroup *m_modes = nullptr;
    QLineEdit *m_width = nullptr;
    QLineEdit *m_height = nullptr;
    QCheckBox *m_lock = nullptr;
    KPicResizeSlider *m_slider = nullptr;
    QLineEdit *m_scale = nullptr;
    QComboBox *m_presets = nullptr;
    bool m_guard = true;
    int m_mode = 1;
    bool m_locked = true;
    int m_preset = 0;
    QSize m_imageSize { -1, -1 };
};
