#pragma once

#include "GifConverterApi.h"
#include "app/BatchResult.h"

#include <QObject>
#include <QPair>
#include <QRunnable>
#include <QString>
#include <QVector>

// Shrinks one group of GIFs (same base name) one after the other through the
// GIF converter library: reads the facts of each source with an image
// wrapper, builds the tool's argument vector, calls GifConverter, checks that
// the bytes decode and writes them under a reserved name.
//
// Created on the interface thread, run once on the run's pool, which deletes
// it; reports per file through processStatusChanged (queued). The library
// keeps each calling thread's result apart, so tasks may run in parallel.
class KCliGifTask : public QObject, public QRunnable
{
    Q_OBJECT
public:
    struct Request
    {
        int width = 0; // 0: follow the ratio (both 0: keep the size)
        int height = 0;
        int colorPercent = 50;
        int frameOption = 0; // 0..5: drop none .. about 50 %
    };

    KCliGifTask(const QString &runFolder, const QVector<QPair<QString, int>> &files,
        const Request &request, GifConverterFunction convert, GifReleaseFunction release);

    void run() override;

signals:
    void processStatusChanged(const BatchResult &result);

private:
    QString shrinkOne(const QString &path) const;

    const QString m_runFolder;
    const QVector<QPair<QString, int>> m_files;
    const Request m_request;
    const GifConverterFunction m_convert;
    const GifReleaseFunction m_release;
};
