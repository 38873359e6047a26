#pragma once

#include <QStringList>
#include <QWidget>

#include "app/BatchResult.h"
#include "codec/OutputFormat.h"
#include "compress/BatchCompressParams.h"

class KHighQualitySetting;
class KNormalCompressSettig;
class KTableListView;
class QPushButton;
class QThreadPool;

// "imageBatchCompress": every listed file re-encoded as JPEG at a preset or
// custom quality or below a size limit, into a new folder under a folder the
// user picks. Files sharing a base name go to one task so their outputs get
// distinct names. Interface thread; tasks run on the view's own pool.
class KPicBatchCompressProcess : public QWidget
{
    Q_OBJECT
public:
    explicit KPicBatchCompressProcess(QWidget *parent = nullptr);
    ~KPicBatchCompressProcess() override;

    // Starts a run into a new folder below parentDir (what the folder dialog
    // does after the user chose). False when nothing was started.
    bool startInto(const QString &parentDir);
    // JPEG quality of a preset id in batch compression: 1 → 60, 2 → 80, 3 → 40.
    static int batchQualityOf(int presetId);

    bool isRunning() const;
    QString lastRunFolder() const { return m_params.outputDir; }
    BatchCompressParams lastParams() const { return m_params; }
    int tasksStarted() const { return m_tasksStarted; }
    KTableListView *fileList() const { return m_list; }
    KNormalCompressSettig *normalPanel() const { return m_normal; }
    KHighQualitySetting *customPanel() const { return m_custom; }
    QPushButton *startButton() const { return m_start; }

signals:
    void runFinished();

public slots:
    void onStartCompress();
    void onAddFiles(const QStringList &files);
    void onClearImage();
    void onCompressModeChanged();
    void onSelectFormatChanged(OutputFormat format);
    void onProcessStatusChanged(const BatchResult &result);
    void onRunFinished();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    KTableListView *m_list = nullptr;
    KNormalCompressSettig *m_normal = nullptr;
    KHighQualitySetting *m_custom = nullptr;
    QPushButton *m_start = nullptr;
    QThreadPool *m_pool = nullptr;
    bool m_normalMode = true;
    OutputFormat m_format = OutputFormat::Jpg;
    BatchCompressParams m_params;
    int m_tasksStarted = 0;
};
