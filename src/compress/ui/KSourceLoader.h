#pragma once

#include <memory>
#include <vector>

#include <QImage>
#include <QObject>
#include <QPointer>

#include "compress/SourceImageLoadThread.h"

class KImageLoadView;
class QTimer;
class QWidget;

// Opens the source of a single-image view off the interface thread. Only
// the latest request reports; one replaced while it decodes finishes on its
// own and is dropped. A source still opening after a moment gets a progress
// dialog, whose close button gives up on it. Interface thread.
class KSourceLoader : public QObject
{
    Q_OBJECT
public:
    KSourceLoader(const QString &dialogTitle, QWidget *dialogParent);
    ~KSourceLoader() override;

    void start(const QString &path, SourceImageLoadThread::Kind kind);
    // Forgets the current request: it will not report.
    void cancel();
    bool isLoading() const { return bool(m_current); }
    // The progress dialog while it shows, for tests.
    KImageLoadView *dialog() const;

    // How long a source may take before the dialog shows.
    static constexpr int kDialogDelayMs = 400;

signals:
    // image is null on failure, with the reason in error. Cancelled
    // requests give up silently.
    void loaded(const QString &path, const QImage &image, int frameCount, const QString &error);
    void cancelled();

private:
    void retireCurrent();
    void closeDialog();
    void onLoaded(const QString &path, const QImage &image, int frameCount, const QString &error);
    void showDialog();

    const QString m_title;
    QWidget *const m_parent;
    std::unique_ptr<SourceImageLoadThread> m_current;
    std::vector<std::unique_ptr<SourceImageLoadThread>> m_retired;
    QPointer<KImageLoadView> m_dialog;
    QTimer *m_dialogTimer = nullptr;
};
