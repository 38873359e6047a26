#pragma once

#include <QWidget>

class KPicResizeSlider;
class QButtonGroup;
class QComboBox;
class QLineEdit;
class QRadioButton;

// Custom compression: a chosen JPEG quality, or a size the result must stay
// below. Shared by the single and batch views.
class KHighQualitySetting : public QWidget
{
    Q_OBJECT
public:
    struct Settings
    {
        int quality = 0;
        int sizeValue = 0;
        int sizeUnit = 0; // 0 "MB", 1 "KB"
    };

    explicit KHighQualitySetting(QWidget *parent = nullptr);

    Settings settings() const;

    KPicResizeSlider *slider() const { return m_slider; }
    QLineEdit *qualityEdit() const { return m_quality; }
    QLineEdit *sizeEdit() const { return m_size; }
    QComboBox *unitCombo() const { return m_unit; }
    QRadioButton *clarityButton() const { return m_clarity; }
    QRadioButton *sizeButton() const { return m_sizeButton; }

signals:
    void statusChanged();

public slots:
    void onSliderValueChanged(int value);
    void onCompressQualityChanged(const QString &text);
    void onCompressSizeLimitChanged(const QString &text);
    void onCompressSizeUintChanged(int index);
    void onRadioBtnClicked(bool checked);
    void onNormalModeSelected();

private:
    QButtonGroup *m_group = nullptr;
    QRadioButton *m_hidden = nullptr;
    QRadioButton *m_clarity = nullptr;
    QRadioButton *m_sizeButton = nullptr;
    KPicResizeSlider *m_slider = nullptr;
    QLineEdit *m_quality = nullptr;
    QLineEdit *m_size = nullptr;
    QComboBox *m_unit = nullptr;
    int m_unitIndex = 0;
    bool m_reentrancy = true;
};
