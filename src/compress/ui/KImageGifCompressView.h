#pragma once

#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "compress/GifCompressResult.h"

class KImageContentView;
class KImageGifCompressThread;
class KImageLoadView;
class KSourceLoader;
class KQualityGifCompressSettig;
class KResizeGifCompressSettig;
class QPushButton;
class QTimer;

// "GIF compress": one animated GIF made smaller by resizing, dropping frames
// and reducing colours; the result is shown beside the source and saved
// where the user chooses. Interface thread. Owns its worker thread (created
// at the first start, kept for the view's life) and stops and joins it
// before destroying it.
class KImageGifCompressView : public QWidget
{
    Q_OBJECT
public:
    explicit KImageGifCompressView(QWidget *parent = nullptr);
    ~KImageGifCompressView() override;

    // Where the worker loads the converter from; only before the first start
    // (tests use the library of the build tree).
    void setConverterLibraryPath(const QString &path) { m_libraryPath = path; }

    // Opens a source as the add-file dialog does, on a worker; sourceLoaded
    // tells how it went (false, with a hint on the empty page, when it is
    // not a readable GIF).
    void loadFile(const QString &path);
    bool isLoading() const;
    // The name the save dialog proposes: a free name beside the source.
    QString proposedSavePath() const;
    // Writes the result to path, which the user chose (and, if it exists,
    // agreed to replace) in the save dialog. The file is written beside and
    // renamed into place, so it is never left half-written.
    bool saveResultAs(const QString &path);
    // Writes the result under a free name in dir; the written path, or empty.
    QString saveResultTo(const QString &dir);

    KImageContentView *contentView() const { return m_content; }
    KResizeGifCompressSettig *resizePanel() const { return m_resize; }
    KQualityGifCompressSettig *qualityPanel() const { return m_quality; }
    QPushButton *startButton() const { return m_start; }
    QPushButton *saveButton() const { return m_save; }
    // The open progress dialog, null when none is shown.
    KImageLoadView *progressDialog() const;
    KImageGifCompressThread *worker() const { return m_worker; }
    const GifCompressResult &result() const { return m_result; }
    bool isCompressing() const { return m_busy; }
    // The text of the last failure notice shown (the dialog deletes itself).
    QString lastNotice() const { return m_lastNotice; }

signals:
    // A source asked for by loadFile is shown (true) or could not be opened.
    void sourceLoaded(bool ok);
    // A job of the current source ended: true when its result is shown.
    void compressFinished(bool ok);

public slots:
    void onAddFile();
    void onClearFile();
    void onStartCompress();
    void onSaveFile();
    void onCompressProcessStatusChanged(GifCompressResult::Status status);
    void onGetProgress();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void onJobFinished(const GifCompressResult &result);
    void closeProgress();
    void showNotice(const QString &message);
    void forgetSource();
    void onSourceLoaded(const QString &path, const QImage &image, int, const QString &error);

    KImageContentView *m_content = nullptr;
    KResizeGifCompressSettig *m_resize = nullptr;
    KQualityGifCompressSettig *m_quality = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_save = nullptr;
    QPointer<KImageLoadView> m_progress;
    QTimer *m_timer = nullptr;
    QImage m_source;
    QString m_sourcePath;
    QString m_pendingPath; // being opened
    KSourceLoader *m_loader = nullptr;
    int m_progressCounter = 0;
    KImageGifCompressThread *m_worker = nullptr;
    QString m_libraryPath;
    // The job whose report is awaited (0: none, or its source was replaced);
    // m_busy stays set until the worker reports, whatever the job.
    int m_currentJob = 0;
    bool m_busy = false;
    GifCompressResult m_result;
    QString m_lastNotice;
};
