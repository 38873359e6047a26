#pragma once

#include <atomic>

#include <QByteArray>
#include <QImage>
#include <QThread>

#include "compress/CompressParams.h"

// Re-encodes one image as JPEG in memory, at a fixed quality or below a byte
// limit. Runs in its own thread; reports only through processStatusChanged
// (queued to the interface thread): (Working, progress) while working, then
// (Succeeded, 100, path) or (Failed, 100). Owned by the view that started it; the owner
// must stop() and wait() before destroying it (the destructor does both).
class ProcessCompressThread : public QThread
{
    Q_OBJECT
public:
    enum class Status { Working, Failed, Succeeded };

    ProcessCompressThread(
        const QImage &source, const CompressParams &params, QObject *parent = nullptr);
    ~ProcessCompressThread() override;

    // The encoded bytes; read after Succeeded was delivered.
    QByteArray compressData() const { return m_result; }
    // Why the run failed, in one plain line; read after Failed was delivered.
    QString errorString() const { return m_error; }
    // Asks a running search to end between two encodes (it then reports failure).
    void stop() { m_stop = true; }

    // Quality and pixel size of the last successful encode, for diagnostics.
    int usedQuality() const { return m_usedQuality; }
    QSize usedSize() const { return m_usedSize; }

signals:
    void processStatusChanged(
        ProcessCompressThread::Status status, int progress, const QString &fipath = QString());

protected:
    void run() override;

private:
    QImage m_source;
    CompressParams m_params;
    QByteArray m_result;
    QString m_error;
    std::atomic_bool m_stop { false };
    int m_usedQuality = 0;
    QSize m_usedSize;
};

Q_DECLARE_METATYPE(ProcessCompressThread::Status)
