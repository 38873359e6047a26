#pragma once

#include <QImage>
#include <QObject>
#include <QPair>
#include <QRunnable>
#include <QVector>

#include "app/BatchResult.h"
#include "codec/JpegLossless.h"
#include "codec/OutputFormat.h"

// Turns or mirrors one group of files (same base name) one after the other
// into the run folder. A JPEG written as JPG and turned by a right angle (or
// mirrored) is transformed losslessly (JpegLossless), its EXIF orientation
// applied on the way; everything else is decoded and turned by FreeImage. Created on the
// interface thread, run once on the page's pool and deleted by it; reports per
// file through processStatusChanged (queued).
class KBatchProcessRotateTask : public QObject, public QRunnable
{
    Q_OBJECT
public:
    enum Type { RotateLeft = 0, RotateRight = 1, FlipLeftRight = 2, FlipUpDown = 3, FreeAngle = 4 };

    KBatchProcessRotateTask(const QString &runFolder, const QVector<QPair<QString, int>> &files,
        int type, int angle, OutputFormat outputFormat);

    void run() override;

    // The image turned or mirrored as the type says (null on failure). Images
    // with alpha get transparent corners on a free turn, others white ones.
    static QImage transform(const QImage &image, int type, int angle);
    // The size transform() gives an image of the given size.
    static QSize outputSize(const QSize &size, int type, int angle);

    // The lossless operation a type and angle mean; false for free angles
    // that are no multiple of 90 degrees.
    static bool losslessOperation(int type, int angle, JpegLossless::Operation *operation);

signals:
    void processStatusChanged(const BatchResult &result);

private:
    QString rotateOne(const QString &path, QString *error) const;
    // The written path when the lossless path took the file (*taken), which
    // is final even when empty (the write failed, with why in error).
    QString rotateLosslessly(const QString &path, bool *taken, QString *error) const;

    const QString m_runFolder;
    const QVector<QPair<QString, int>> m_files;
    const int m_type;
    const int m_angle;
    const OutputFormat m_outputFormat;
};
