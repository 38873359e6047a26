#pragma once

#include <QStringList>
#include <QWidget>

#include "app/BatchResult.h"
#include "codec/OutputFormat.h"

class KPicResizeSlider;
class KTableListView;
class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPushButton;
class QThreadPool;

// "imageBatchRotate": every listed image turned by 90 degrees, mirrored, or
// turned by any angle, into a new "quorvel" folder on the desktop. Interface
// thread; tasks run on the page's own pool, two at a time.
class KPicBatchProcessRotate : public QWidget
{
    Q_OBJECT
public:
    explicit KPicBatchProcessRotate(QWidget *parent = nullptr);
    ~KPicBatchProcessRotate() override;

    void setControlsEnabled(bool enabled);
    void setOutputFolder(const QString &dir) { m_outputFolder = dir; }
    QString lastRunFolder() const { return m_runFolder; }
    bool isRunning() const;
    int rotationType() const { return m_type; }
    int angle() const { return m_angle; }

    KTableListView *fileList() const { return m_list; }
    QButtonGroup *typeGroup() const { return m_types; }
    KPicResizeSlider *slider() const { return m_slider; }
    QLineEdit *angleEdit() const { return m_angleEdit; }
    QComboBox *formatCombo() const { return m_formatCombo; }
    QPushButton *startButton() const { return m_start; }

signals:
    void runFinished();

public slots:
    void onAddImages(const QStringList &files);
    void onClearImage();
    void onNormalRotateSelectBtn(int index);
    void onSliderValueChanged(int value);
    void onRotatDegreeChanged(const QString &text);
    void onCurrentIndexChanged(int index);
    void onStartRotte();
    void onProcessStatusChanged(const BatchResult &result);
    void onRunFinished();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    KTableListView *m_list = nullptr;
    QButtonGroup *m_types = nullptr;
    KPicResizeSlider *m_slider = nullptr;
    QLineEdit *m_angleEdit = nullptr;
    QComboBox *m_formatCombo = nullptr;
    QPushButton *m_start = nullptr;
    QThreadPool *m_pool = nullptr;
    bool m_guard = true;
    int m_type = 0;
    int m_angle = 0;
    OutputFormat m_format = OutputFormat::Jpg;
    QString m_outputFolder;
    QString m_runFolder;
};
