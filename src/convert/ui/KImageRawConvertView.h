#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

class KImageContentView;
class KImageLoadView;
class KImageRawLoadThread;
class KPicResizeSlider;
class QLineEdit;
class QPushButton;
class QTimer;

// "Raw Convert": develops one camera RAW file, adjusts brightness and contrast
// on the developed picture and saves it as JPEG or PNG. Interface thread; owns
// one long-lived worker per loaded file.
class KImageRawConvertView : public QWidget
{
    Q_OBJECT
public:
    explicit KImageRawConvertView(QWidget *parent = nullptr);
    ~KImageRawConvertView() override;

    // What the add-file dialog does once a file was chosen.
    void loadFile(const QString &path);
    // The path the save dialog proposes for the current source.
    QString proposedSavePath() const;
    // Writes the current picture to path (format from its suffix); false on failure.
    bool saveTo(const QString &path) const;
    // The path to save to for what the save dialog returned: a name without
    // ".jpg", ".jpeg" or ".png" gets the extension of the chosen filter (a
    // free name when that file exists).
    static QString withImageSuffix(const QString &path, const QString &selectedFilter);

    bool isApplyMode() const { return m_applyMode; }
    QImage currentResult() const { return m_result; }
    KImageRawLoadThread *worker() const { return m_worker; }
    KPicResizeSlider *brightnessSlider() const { return m_brightness; }
    KPicResizeSlider *contrastSlider() const { return m_contrast; }
    QLineEdit *brightnessEdit() const { return m_brightnessEdit; }
    QLineEdit *contrastEdit() const { return m_contrastEdit; }
    QPushButton *actionButton() const { return m_action; }
    KImageContentView *contentView() const { return m_content; }

signals:
    void developed();
    void adjusted();

public slots:
    void onAddFile();
    void onClearFile();
    void onSliderValueChanged();
    void onLineEditChanged(const QString &text);
    void onStartConvert();
    void onLoadFile(bool ok);
    void onAjust(bool ok);
    void onGetProgress();
    void onCancelLoading();
    void onRawModeChanged(int mode);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void setControlsEnabled(bool enabled);
    void setApplyMode(bool apply);

    KImageContentView *m_content = nullptr;
    KPicResizeSlider *m_brightness = nullptr;
    KPicResizeSlider *m_contrast = nullptr;
    QLineEdit *m_brightnessEdit = nullptr;
    QLineEdit *m_contrastEdit = nullptr;
    QPushButton *m_action = nullptr;
    QPointer<KImageLoadView> m_progressDialog;
    QTimer *m_timer = nullptr;
    QString m_sourcePath;
    QImage m_result;
    bool m_applyMode = true;
    bool m_reentrancy = true;
    bool m_rawMode = false;
    int m_displayed = 0;
    KImageRawLoadThread *m_worker = nullptr;
    int m_generation = 0;
};
