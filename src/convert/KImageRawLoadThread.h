#pragma once

#include <atomic>

#include <QImage>
#include <QMutex>
#include <QSemaphore>
#include <QThread>

struct FIBITMAP;

// Develops one camera RAW file once and re-applies brightness and contrast on
// request, keeping the developed bitmap so only the cheap part repeats.
// A long-lived worker thread woken by a semaphore; owned by the RAW view. The
// destructor stops the loop and joins the thread before freeing the bitmaps.
class KImageRawLoadThread : public QThread
{
    Q_OBJECT
public:
    explicit KImageRawLoadThread(const QString &path, QObject *parent = nullptr);
    ~KImageRawLoadThread() override;

    // Queues an adjustment of the developed picture (percentages 0..100).
    void requestAdjust(int brightness, int contrast);
    int progress() const;
    // The last developed or adjusted picture; read after loadStatus/ajustStatus.
    QImage result() const;
    QString path() const { return m_path; }

signals:
    void loadStatus(bool ok);
    void ajustStatus(bool ok);

protected:
    void run() override;

private:
    // What the next wake-up does: develop the file (the first job) or
    // re-apply brightness and contrast to the developed bitmap.
    enum class Mode { Develop, Adjust };

    void setProgress(int value);
    // False when nothing new could be made; the reports then say so.
    bool develop();
    bool adjust(int brightness, int contrast);
    static QImage toImage(FIBITMAP *bitmap);

    const QString m_path;
    FIBITMAP *m_developed = nullptr; // 24-bit, owned by the worker thread
    mutable QMutex m_mutex;
    QImage m_result;
    int m_brightness = 50;
    int m_contrast = 50;
    Mode m_mode = Mode::Develop;
    int m_progress = 0;
    std::atomic_bool m_quit { false };
    QSemaphore m_work;
    QSemaphore m_finished;
};
