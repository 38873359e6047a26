#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QThread>

#include "app/BatchResult.h"
#include "pdf/SelectPageItem.h"

// Turns the selected pages of every listed PDF into image files in the run
// folder, one file after the other in row order.
//
// The object is created and owned by the PDF-to-image view in the interface
// thread; run() executes in the thread it starts, which touches only the
// copies of the parameters given here and the renderer proxy. Results reach
// the view through queued signals: per file {row, Processing} when it starts, then
// progress, then exactly one final record, {row, Succeeded, first image}, or
// {row, Failed, ""} when any of its wanted pages could not be written (the
// others still are; a page that fails never stops its neighbours). Each
// document is opened once for all its pages. Destroying the
// object asks the run to stop after the current page and waits for it.
class KPdf2ImageConverterThread : public QThread
{
    Q_OBJECT
public:
    // extension: "jpg", "png", "bmp", "webp" or "tif". selections: per path;
    // a missing entry means all pages.
    KPdf2ImageConverterThread(const QString &runFolder, const QStringList &files,
        const QString &extension, const QMap<QString, SelectPageItem> &selections,
        QObject *parent = nullptr);
    ~KPdf2ImageConverterThread() override;

signals:
    void stateChanged(BatchResult result);
    void processChanged(ProcessProgress progress);

protected:
    void run() override;

private:
    void convertFile(int index);

    const QString m_runFolder;
    const QStringList m_files;
    const QString m_extension;
    const QMap<QString, SelectPageItem> m_selections;
};
