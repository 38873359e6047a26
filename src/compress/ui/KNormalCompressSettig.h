#pragma once

#include <QWidget>

#include "codec/OutputFormat.h"

class QButtonGroup;
class QComboBox;
class QRadioButton;

// The three fixed compression presets ("standard", "quality priority", "size
// priority") and the output format. Shared by the single and batch views.
class KNormalCompressSettig : public QWidget
{
    Q_OBJECT
public:
    explicit KNormalCompressSettig(QWidget *parent = nullptr);

    int presetId() const { return m_presetId; }
    OutputFormat outputFormat() const { return m_format; }
    // JPEG quality of a preset id of this panel: 1 → 65, 2 → 85, 3 → 45.
    static int qualityOf(int presetId);

    QRadioButton *presetButton(int id) const;
    int checkedButtonId() const;

signals:
    void statusChanged();
    void selectFormatChanged(OutputFormat format);

public slots:
    void onNormalCompressSelectBtn(int id);
    void onCurrentIndexChanged(int index);
    void onHighCompressModeChanged();

private:
    QButtonGroup *m_group = nullptr;
    QComboBox *m_format_combo = nullptr;
    int m_presetId = 1;
    OutputFormat m_format = OutputFormat::Jpg;
};
