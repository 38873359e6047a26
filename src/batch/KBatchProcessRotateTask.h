#pragma once

#include <QImage>
#include <QObject>
#include <QPair>
#include <QRunnable>
#include <QVector>

#include "app/BatchResult.h"

// Turns or mirrors one group of files (same base name) one after the other
// into the run folder. The pixel work is FreeImage's. Created on the
// interface thread, run once on the page's pool and deleted by it; reports per
// file through processStatusChanged (queued).
class KBatchProcessRotateTask : public QObject, public QRunnable
{
    Q_OBJECT
public:
    enum Type { RotateLeft = 0, RotateRight = 1, FlipLeftRight = 2, FlipUpDown = 3, FreeAngle = 4 };

    KBatchProcessRotateTask(const QString &runFolder, const QVector<QPair<QString, int>> &files,
        int type, int angle, int outputFormat);

    void run() override;

    // The image turned or mirrored as the type says (null on failure). Images
    // with alpha get transparent corners on a free turn, others white ones.
    static QImage transform(const QImage &image, int type, int angle);

signals:
    void processStatusChanged(const BatchResult &result);

private:
    QString rotateOne(const QString &path, QString *error) const;

    const QString m_runFolder;
    const QVector<QPair<QString, int>> m_files;
    const int m_type;
    const int m_angle;
    const int m_outputFormat;
};
