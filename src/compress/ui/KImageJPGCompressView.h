#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

#include "codec/OutputFormat.h"
#include "compress/ProcessCompressThread.h"

class KHighQualitySetting;
class KImageContentView;
class KImageLoadView;
class KNormalCompressSettig;
class KSourceLoader;
class QPushButton;

// "JPG compress": one image re-encoded as JPEG at a preset or custom quality
// or below a size limit, shown beside its source and saved on request.
// Interface thread; owns its engine and waits for it before replacing it.
class KImageJPGCompressView : public QWidget
{
    Q_OBJECT
public:
    enum Mode { NormalMode, CustomMode };

    explicit KImageJPGCompressView(QWidget *parent = nullptr);
    ~KImageJPGCompressView() override;

    // Opens a source as the add-file dialog does, on a worker; sourceLoaded
    // tells how it went.
    void loadFile(const QString &path);
    bool isLoading() const;
    // Writes the result under a free name in dir; the written path, or empty.
    QString saveResultTo(const QString &dir);

    Mode mode() const { return m_mode; }
    QByteArray resultBytes() const { return m_result; }
    // The message of the last failed run (empty before any).
    QString lastError() const { return m_lastError; }
    ProcessCompressThread *engine() const { return m_engine; }
    KNormalCompressSettig *normalPanel() const { return m_normal; }
    KHighQualitySetting *customPanel() const { return m_custom; }
    KImageContentView *contentView() const { return m_content; }
    QPushButton *startButton() const { return m_start; }
    QPushButton *saveButton() const { return m_save; }

signals:
    // A source asked for by loadFile is shown (true) or could not be opened.
    void sourceLoaded(bool ok);
    // A run ended: true when the result is shown.
    void compressFinished(bool ok);

public slots:
    void onAddFile();
    void onClearFile();
    void onCompressSettingStatusChanged();
    void onStartCompress();
    void onStopCompress();
    void onSaveFile();
    void onSelectFormatChanged(OutputFormat format);
    void onProcessStatusChanged(
        ProcessCompressThread::Status status, int progress, const QString &path);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void releaseEngine();
    void onSourceLoaded(const QString &path, const QImage &image, int, const QString &error);
    void showNoSource(const QString &hint);

    KImageContentView *m_content = nullptr;
    KNormalCompressSettig *m_normal = nullptr;
    KHighQualitySetting *m_custom = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_save = nullptr;
    QImage m_source;
    QString m_sourcePath;
    QString m_baseName;
    Mode m_mode = NormalMode;
    OutputFormat m_format = OutputFormat::Jpg;
    ProcessCompressThread *m_engine = nullptr;
    QPointer<KImageLoadView> m_progress;
    KSourceLoader *m_loader = nullptr;
    QByteArray m_result;
    QString m_lastError;
    int m_runId = 0;
};
