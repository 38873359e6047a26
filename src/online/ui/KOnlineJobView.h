#pragma once

#include <memory>

#include <QImage>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include "online/OcrResult.h"
#include "online/UploadFile.h"

class KImageLoadView;
class KvHttp;
class QButtonGroup;
class QHBoxLayout;
class QPushButton;
class QTimer;

// What the three single-image online tools (text, table, AI enhancement)
// share: one opened image, a row of modes, one job at a time on the view's
// own client under a progress dialog with a 90 s limit and a creeping bar,
// results kept per mode, and "save result". Subclasses give the display, the
// texts, the service type of a mode, how the upload is prepared and how a
// result is shown. Interface thread; the client and timers are the view's.
class KOnlineJobView : public QWidget
{
    Q_OBJECT
public:
    struct Setup
    {
        int clientType = 0; // the client is created with this service type
        QString dialogTitle; // "Text recognition", ...
        QString modeLabel; // "output format:" / "AI Mode:"
        QStringList modes; // radio texts, ids in order
        QVector<int> modeWidths;
        int modeSpacing = 20;
        QString hint; // the grey line under the modes
        int hintWidth = 260;
        int startSpacing = 706;
        int tickStep = 1; // added to the bar every second
        bool followsServiceProgress = true;
        bool fullBarOnSuccess = true;
        QString failureMessage;
        QString savedMessage;
    };

    ~KOnlineJobView() override;

    // What "addFile" does once the dialog gave a path; false when the file
    // cannot be read (the user is told).
    bool loadFile(const QString &path);
    // The file the save dialog proposes for the current result.
    virtual QString proposedSavePath() const = 0;
    // What "save result" does once the dialog gave a path: the mode's
    // extension is added to a bare name, the result is written through a
    // temporary file, and a failure is reported. Returns the written path or
    // empty.
    QString saveResultTo(const QString &chosen);

    void setJobTimeout(int ms);
    int jobTimeout() const;
    KvHttp *client() const { return m_client.get(); }
    QPushButton *startButton() const { return m_start; }
    QButtonGroup *modeGroup() const { return m_modes; }
    KImageLoadView *progressDialog() const;
    bool needsRun() const { return m_needsRun; }
    bool isRunning() const { return m_running; }
    bool hasResult(int mode) const { return m_cache.contains(mode); }
    OcrResult cachedResult(int mode) const { return m_cache.value(mode); }
    QByteArray resultBytes() const { return m_resultBytes; }
    int currentMode() const { return m_mode; }
    // The upload of the last job started and how many jobs were started.
    QList<UploadFile> lastUpload() const { return m_lastUpload; }
    int jobsStarted() const { return m_jobsStarted; }
    QString sourcePath() const { return m_path; }
    QImage sourceImage() const { return m_image; }
    QString lastMessage() const { return m_lastMessage; }

signals:
    // Every job ends with exactly one of these (tests and the shell listen).
    void jobFinished(bool ok);

public slots:
    void onAddFile();
    void onClearFile();
    void onFormatOutputBtn(int id);
    void onStartConvert();
    void onGetData();
    void onFail();
    void onProgressValueChanged(int value);
    void onProcessOverTime();
    void onProgressUpdateProgress();
    void onProcessFinished(int code);

protected:
    KOnlineJobView(const Setup &setup, QWidget *display, QWidget *parent);

    // The service type for the current mode.
    virtual int serviceTypeFor(int mode) const = 0;
    // Adjusts m_files before a job (reduction); calls startJob() when the
    // job may go, possibly later (after a question), or never.
    virtual void prepareAndStart() = 0;
    virtual void showSource() = 0;
    virtual void showResult(const OcrResult &result) = 0;
    virtual void resetDisplay() = 0;
    virtual void setDisplayButtonsEnabled(bool enabled) = 0;
    // The extension a bare saved name gets.
    virtual QString saveExtension() const = 0;
    virtual QString saveFilter() const = 0;
    // Builds the record of a finished job from the client.
    virtual OcrResult resultFromClient() const;
    virtual void afterLoad() { }
    virtual void afterTimeout() { }

    // Starts the job with m_files now.
    void startJob();
    // The reduced copy of the opened image replaces m_files (when it can be made).
    void useReducedCopy(const QSize &target);
    void showMessage(const QString &text);
    void retry();

    const Setup m_setup;
    QString m_path;
    QString m_fileName;
    QString m_baseName;
    QString m_suffix;
    QString m_folder;
    QImage m_image;
    qint64 m_fileSize = 0;
    QList<UploadFile> m_files;
    int m_mode = 0;
    QMap<int, OcrResult> m_cache;

private:
    void setControlsEnabled(bool enabled);
    void stopSupervision(int barValue);
    void ensureProgressDialog();

    std::unique_ptr<KvHttp> m_client;
    QPushButton *m_start = nullptr;
    QButtonGroup *m_modes = nullptr;
    QPointer<KImageLoadView> m_progress;
    QTimer *m_timeout = nullptr;
    QTimer *m_tick = nullptr;
    bool m_needsRun = false;
    bool m_running = false;
    QByteArray m_resultBytes;
    QString m_lastSavePath;
    QList<UploadFile> m_lastUpload;
    int m_jobsStarted = 0;
    QString m_lastMessage;
};
