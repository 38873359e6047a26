#pragma once

#include <QObject>
#include <QRunnable>

#include "app/BatchResult.h"
#include "codec/OutputFormat.h"

// Converts one file of a conversion run into the chosen output format.
// Created on the interface thread, run once on the view's pool (which deletes
// it afterwards); reports {row, Processing}, then {row, Succeeded, written
// path} or {row, Failed, reason} through processStatusChanged, queued to the
// view.
class KImageNormalConvertProcessTask : public QObject, public QRunnable
{
    Q_OBJECT
public:
    KImageNormalConvertProcessTask(
        const QString &outputDir, int row, const QString &sourcePath, OutputFormat outputFormat);

    void run() override;

    // File name without its last extension ("IMG_0001.HEIC" -> "IMG_0001").
    static QString baseNameOf(const QString &path);

signals:
    void processStatusChanged(const BatchResult &result);

private:
    const QString m_outputDir;
    const int m_row;
    const QString m_sourcePath;
    const OutputFormat m_outputFormat;
};
