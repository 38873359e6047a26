#pragma once

#include <QStringList>
#include <QWidget>

#include "app/BatchResult.h"
#include "codec/OutputFormat.h"

class KTableListView;
class QButtonGroup;
class QPushButton;
class QThreadPool;

// "Image Convert": a list of files converted into one output format, two at a
// time on the view's own pool, into a new run folder under the desktop.
// Interface thread; the pool and its tasks report back by queued signals.
class KPicNormalConvertView : public QWidget
{
    Q_OBJECT
public:
    explicit KPicNormalConvertView(QWidget *parent = nullptr);
    ~KPicNormalConvertView() override;

    // Where run folders are created (the desktop unless set).
    void setOutputDirectory(const QString &dir) { m_outputDir = dir; }
    QString outputDirectory() const { return m_outputDir; }
    QString lastRunFolder() const { return m_runFolder; }
    bool isRunning() const;

    KTableListView *fileList() const { return m_list; }
    QPushButton *startButton() const { return m_start; }
    QButtonGroup *formatGroup() const { return m_formats; }
    QThreadPool *pool() const { return m_pool; }

signals:
    void runFinished();

public slots:
    void onStartConvert();
    void onFormatOutputBtn(int id);
    void onAddFiles(const QStringList &files);
    void onClearFiles();
    void onProcessStatusChanged(const BatchResult &result);
    void onRunFinished();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    KTableListView *m_list = nullptr;
    QPushButton *m_start = nullptr;
    QButtonGroup *m_formats = nullptr;
    QThreadPool *m_pool = nullptr;
    QString m_outputDir;
    QString m_runFolder;
    OutputFormat m_format = OutputFormat::Jpg;
};
