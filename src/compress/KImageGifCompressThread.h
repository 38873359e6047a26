#pragma once

#include <atomic>

#include <QLibrary>
#include <QMutex>
#include <QSemaphore>
#include <QThread>

#include "GifConverterApi.h"
#include "compress/GifCompressRequest.h"
#include "compress/GifCompressResult.h"

// Shrinks an animated GIF through the converter library (libqvgifconv.so
// beside the executable, loaded at run time): resize, frame dropping and
// colour reduction in one call.
//
// A long-lived worker: run() waits on a semaphore for requests for the rest
// of the owner's life. The object itself lives in the interface thread and
// is owned by the view that created it; request() and stopWorker() are
// called from there. Jobs run in this QThread; each one reports through the
// queued signals jobFinished() and then processStatus() and touches nothing
// of the caller's. The destructor stops the loop and joins the thread before
// the library is let go.
class KImageGifCompressThread : public QThread
{
    Q_OBJECT
public:
    // Loads the library from defaultLibraryPath().
    explicit KImageGifCompressThread(QObject *parent = nullptr);
    // Loads the library from the given file (tests point it elsewhere).
    explicit KImageGifCompressThread(const QString &libraryPath, QObject *parent = nullptr);
    ~KImageGifCompressThread() override;

    static QString defaultLibraryPath();

    // True when the library and both of its entry points were found.
    bool isLibraryLoaded() const { return m_convert && m_release; }

    // Hands a job over and wakes the worker (starting its thread at the first
    // call) and returns the job's id (0 once the worker was stopped). One job
    // at a time: the caller waits for the report of the last one before it
    // asks again.
    int request(const QString &path, int width, int height, int colorPercent, int frameOption);

    // Ends the loop after the current job and joins the thread. Idempotent.
    void stopWorker();

signals:
    // The job's outcome, bytes and preview included; emitted just before processStatus().
    void jobFinished(const GifCompressResult &result);
    // The job's outcome alone.
    void processStatus(GifCompressResult::Status status);

protected:
    void run() override;

private:
    GifCompressResult runJob(const GifCompressRequest &request) const;

    QLibrary m_library;
    GifConverterFunction m_convert = nullptr;
    GifReleaseFunction m_release = nullptr;

    // Written by request() in the interface thread, copied by the worker once
    // it is woken.
    QMutex m_mutex;
    GifCompressRequest m_request;
    int m_lastJobId = 0;

    std::atomic_bool m_quit { false };
    QSemaphore m_work;
    QSemaphore m_finished;
};
