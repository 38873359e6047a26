#pragma once

#include <QByteArray>
#include <QImage>
#include <QMetaType>
#include <QString>

// What one GIF compression job produced. Built in the worker thread and sent
// by value through a queued signal; the bytes and image are implicitly shared,
// so the copy is cheap.
struct GifCompressResult
{
    // Only the two outcomes: a GIF job has no progress states of its own
    // (unlike BatchResult::Status, whose values it must not be mixed with).
    enum class Status { Failed, Succeeded };

    int jobId = 0;
    Status status = Status::Failed;
    // The new GIF file, exactly as the converter returned it.
    QByteArray bytes;
    // Decoded from bytes: the first frame for the preview and the frame count.
    QImage firstFrame;
    int frameCount = 0;
    // Why the job failed, in words the user can read (translated); empty on success.
    QString error;
};

Q_DECLARE_METATYPE(GifCompressResult)
Q_DECLARE_METATYPE(GifCompressResult::Status)
