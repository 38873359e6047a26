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
    enum Status { Failed = 2, Succeeded = 3 };

    int jobId = 0;
    int status = Failed;
    // The new GIF file, exactly as the converter returned it.
    QByteArray bytes;
    // Decoded from bytes: the first frame for the preview and the frame count.
    QImage firstFrame;
    int frameCount = 0;
    // Why the job failed, in words the user can read (translated); empty on success.
    QString error;
};

Q_DECLARE_METATYPE(GifCompressResult)
