#pragma once

#include <QStringList>
#include <QWidget>

#include "app/BatchResult.h"

class KPicResizeOutput;
class KPicResizeParams;
class KTableListView;
class QThreadPool;

// "imageBatchResize": every listed image scaled by pixels, percentage or a
// preset size, into a new "quorvel" folder on the desktop. Interface thread;
// tasks run on the page's own one-thread pool.
class KPicBatchProcessResize : public QWidget
{
    Q_OBJECT
public:
    explicit KPicBatchProcessResize(QWidget *parent = nullptr);
    ~KPicBatchProcessResize() override;

    void setOutputFolder(const QString &dir) { m_outputFolder = dir; }
    QString lastRunFolder() const { return m_runFolder; }
    bool isRunning() const;
    KTableListView *fileList() const { return m_list; }
    KPicResizeParams *paramsPanel() const { return m_params; }
    KPicResizeOutput *outputPanel() const { return m_output; }

signals:
    void runFinished();

public slots:
    void onAddFiles(const QStringList &files);
    void onClearImage();
    void onStartResize();
    void onProcessStatusChanged(const BatchResult &result);
    void onRunFinished();
    void onImageSizeProbed(const QSize &size, int generation);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    KTableListView *m_list = nullptr;
    KPicResizeParams *m_params = nullptr;
    KPicResizeOutput *m_output = nullptr;
    QThreadPool *m_pool = nullptr;
    QThreadPool *m_probePool = nullptr; // reads the reference size of added files
    int m_probeGeneration = 0;
    QString m_outputFolder;
    QString m_runFolder;
};
