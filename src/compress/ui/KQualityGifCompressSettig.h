#pragma once

#include <QWidget>

class KPicResizeSlider;
class QComboBox;
class QLineEdit;

// "quality ajust" panel of the GIF compression tool: the share of palette
// colours to keep (slider and field kept in step) and how many frames to
// drop. Interface thread only.
class KQualityGifCompressSettig : public QWidget
{
    Q_OBJECT
public:
    explicit KQualityGifCompressSettig(QWidget *parent = nullptr);

    // The slider's value, 1..90.
    int colorPercent() const;
    // The frame-drop option, 0 (keep all) .. 5 (remove 50 %).
    int frameOption() const { return m_frameOption; }

    KPicResizeSlider *slider() const { return m_slider; }
    QLineEdit *ratioEdit() const { return m_ratio; }
    QComboBox *frameCombo() const { return m_frames; }

public slots:
    void onSliderValueChanged();
    void onTextChanged(const QString &text);
    void onCurrentIndexChanged(int index);

private:
    void onEditingFinished();

    KPicResizeSlider *m_slider = nullptr;
    QLineEdit *m_ratio = nullptr;
    QComboBox *m_frames = nullptr;
    int m_frameOption = 0;
    // Cleared while one control writes the other, so the echo is ignored.
    bool m_follow = true;
};
