#pragma once

#include <QString>
#include <QStringList>
#include <QThread>

#include "app/BatchResult.h"

// Turns a list of images into PDF documents: one PDF per image (mode 0) or
// one combined PDF with a page per image (mode 1), optionally protected by a
// password.
//
// Created and owned by the image-to-PDF view in the interface thread, one per
// run; run() works in the thread it starts, on its own copy of the
// parameters, and reports through the queued stateChanged signal only. One
// PDF per image: one final record per file, {row, Succeeded, pdf} or {row, Failed, "",
// reason}, in row order. Combined: {row, Processing} while a row's page is made, then
// {row, Succeeded, document} as soon as its page is in (or {row, Failed, "", reason}); if
// the document then cannot be written every row gets {row, Failed, "", reason}.
// The run is over when the thread finishes. Destroying the object asks the
// run to stop and waits for it; an interrupted document is not left behind.
class KImagePdfConverter : public QThread
{
    Q_OBJECT
public:
    struct Params
    {
        int mode = 0; // 0 one PDF per image, 1 one combined PDF; other values do nothing
        QString password; // empty: no encryption
        QString outputFolder; // the run folder, already created by the view
        QStringList files; // row order
    };

    explicit KImagePdfConverter(const Params &params, QObject *parent = nullptr);
    ~KImagePdfConverter() override;

signals:
    void stateChanged(BatchResult result);

protected:
    void run() override;

private:
    void runSingle();
    void runCombined();
    // Emits the record and remembers how far the rows have been reported, so
    // that an unexpected failure can still close every row.
    void report(int index, BatchResult::Status status, const QString &path,
        const QString &reason = QString());

    QString folderProblem() const;
    QString writeProblem(const QString &error) const;

    const Params m_params;
    int m_reported = 0; // rows 0..m_reported-1 have their final record
    QString m_unfinished; // a reserved document name not yet filled in
};
