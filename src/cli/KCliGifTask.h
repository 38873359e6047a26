#pragma once

#include <QObject>
#include <QPair>
#include <QRunnable>
#include <QString>
#include <QVector>

#include "GifConverterApi.h"
#include "app/BatchResult.h"
#include "compress/GifCompressRequest.h"

// Shrinks one group of GIFs (same base name) one after the other through the
// GIF converter library: reads the facts of each source and builds the
// argument vector as the GIF compression tool does (readGifSourceFacts,
// GifCompressArguments), calls GifConverter, checks that the bytes decode
// and writes them under a reserved name.
//
// Created on the interface thread, run once on the run's pool, which deletes
// it; reports per file through processStatusChanged (queued). The library
// keeps each calling thread's result apart, so tasks may run in parallel.
class KCliGifTask : public QObject, public QRunnable
{
    Q_OBJECT
public:
    // request: the settings; its source path is set per file.
    KCliGifTask(const QString &runFolder, const QVector<QPair<QString, int>> &files,
        const GifCompressRequest &request, GifConverterFunction convert,
        GifReleaseFunction release);

    void run() override;

signals:
    void processStatusChanged(const BatchResult &result);

private:
    QString shrinkOne(const QString &path, QString *error) const;

    const QString m_runFolder;
    const QVector<QPair<QString, int>> m_files;
    const GifCompressRequest m_request;
    const GifConverterFunction m_convert;
    const GifReleaseFunction m_release;
};
