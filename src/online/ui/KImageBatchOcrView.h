#pragma once

#include <memory>

#include <QStringList>
#include <QWidget>

#include "online/OcrBatchOutput.h"

class KTableListView;
class KvHttp;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

// "batch ocr": up to 50 images recognised one after the other, each by its
// own job on the view's client, into a new "Batch Ocr" folder under the
// chosen folder; text results may be combined into one file. Every file has
// the same time limit as the single views, and a file that fails in any way
// (service failure, no answer, result not writable) fails only its row.
// Interface thread; the client and the timer are the view's.
class KImageBatchOcrView : public QWidget
{
    Q_OBJECT
public:
    enum Format { Text = 0, Word = 1, Excel = 2 };
    static constexpr int kMaxImages = 50;

    explicit KImageBatchOcrView(QWidget *parent = nullptr);
    ~KImageBatchOcrView() override;

    void setOutputFolder(const QString &dir);
    QString outputFolder() const;
    QString runFolder() const { return m_runFolder; }
    void setJobTimeout(int ms);
    bool isRunning() const { return m_running; }
    int format() const { return m_format; }
    bool combines() const { return m_combine; }
    QString combinedPath() const { return m_output.combinedPath(); }
    QStringList runPaths() const { return m_paths; }

    KTableListView *fileList() const { return m_list; }
    QPushButton *startButton() const { return m_start; }
    QButtonGroup *formatGroup() const { return m_formats; }
    QCheckBox *combineBox() const { return m_combineBox; }
    KvHttp *client() const { return m_client.get(); }
    QString lastMessage() const { return m_lastMessage; }

signals:
    void batchFinished();

public slots:
    void onAddFiles(const QStringList &files);
    void onClearImage();
    void onEncryptStateChanged(int state);
    void onFormatOutputBtn(int id);
    void onStartConvert();
    void onOpenFolder();
    void onGetData();
    void onFail();
    void onProcessFinished(int code);
    void onFileTimeout();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void setControlsEnabled(bool on);
    void beginBatch();
    void startNext();
    void finishCurrent(bool ok, const QString &output, const QString &reason = QString());
    void showMessage(const QString &text);
    QString extension() const;

    KTableListView *m_list = nullptr;
    QButtonGroup *m_formats = nullptr;
    QLabel *m_combineLabel = nullptr;
    QCheckBox *m_combineBox = nullptr;
    QLineEdit *m_folder = nullptr;
    QPushButton *m_folderButton = nullptr;
    QPushButton *m_start = nullptr;
    std::unique_ptr<KvHttp> m_client;
    QTimer *m_timeout = nullptr;
    int m_format = Text;
    bool m_combine = false;
    bool m_running = false;
    bool m_busy = false; // a job of the batch is out
    QStringList m_paths;
    int m_currentIndex = -1;
    QString m_runFolder;
    OcrBatchOutput m_output;
    QString m_lastMessage;
};
