#pragma once

#include <QPair>
#include <QString>
#include <QVector>

#include "codec/OutputFormat.h"

// Parameters of a batch compression run, copied into every task; a task's
// copy carries its group of files (source path, row).
struct BatchCompressParams
{
    int quality = 0; // JPEG quality; 0 selects the size limit
    int sizeValue = 0;
    int sizeUnit = 0; // 1: kilobytes, anything else: megabytes
    QString outputDir; // the run folder
    OutputFormat outputFormat = OutputFormat::Jpg; // always JPG from the view
    QVector<QPair<QString, int>> files;

    qint64 byteLimit() const
    {
        return sizeUnit == 1 ? qint64(sizeValue) * 1024 : qint64(sizeValue) * 1024 * 1024;
    }
};
