#include "KImagePdfConverter.h"

#include <exception>

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QVector>

#include "app/FileUtils.h"
#include "pdf/PdfImageDocument.h"

namespace {

// The file name up to its last dot.
QString baseNameOf(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

void logFailure(const QString &file, const QString &why)
{
    qWarning().noquote() << "Error:" << file << "-" << why;
}

} // namespace

KImagePdfConverter::KImagePdfConverter(const Params &params, QObject *parent)
    : QThread(parent)
    , m_params(params)
{
    registerWorkerMetaTypes();
}

KImagePdfConverter::~KImagePdfConverter()
{
    requestInterruption();
    wait();
}

void KImagePdfConverter::report(int index, int status, const QString &path)
{
    m_reported = index + 1;
    emit stateChanged({ index, status, path });
}

void KImagePdfConverter::run()
{
    m_reported = 0;
    m_unfinished.clear();
    // Nothing may escape the thread (the allocator can throw), and the view
    // waits for the last row's record, so every row still gets one.
    bool stopped = false;
    try {
        if (m_params.mode == 0)
            runSingle();
        else if (m_params.mode == 1)
            runCombined();
    } catch (const std::exception &e) {
        qWarning().noquote() << "Error: PDF conversion stopped:" << e.what();
        stopped = true;
    } catch (...) {
        qWarning().noquote() << "Error: PDF conversion stopped";
        stopped = true;
    }
    if (!m_unfinished.isEmpty())
        releaseReservedPath(m_unfinished);
    if (stopped && !isInterruptionRequested()) {
        for (int i = m_reported; i < m_params.files.size(); ++i)
            report(i, BatchResult::Failed, QString());
    }
}

void KImagePdfConverter::runSingle()
{
    const bool folderOk
        = !m_params.outputFolder.isEmpty() && QFileInfo(m_params.outputFolder).isDir();
    for (int i = 0; i < m_params.files.size(); ++i) {
        if (isInterruptionRequested())
            return;
        const QString &file = m_params.files.at(i);
        const QString target = folderOk ? reserveUniqueFilePath(m_params.outputFolder,
                                   baseNameOf(file) + QStringLiteral(".pdf"), QStringLiteral("pdf"))
                                        : QString();
        if (target.isEmpty()) {
            logFailure(
                file, QStringLiteral("cannot create a document in ") + m_params.outputFolder);
            report(i, BatchResult::Failed, QString());
            continue;
        }
        m_unfinished = target;
        QString error;
        PdfImageDocument document;
        const bool ok = document.addImagePage(file, &error)
            && document.write(target, m_params.password, &error);
        m_unfinished.clear();
        if (!ok) {
            releaseReservedPath(target);
            logFailure(file, error);
            report(i, BatchResult::Failed, QString());
            continue;
        }
        report(i, BatchResult::Succeeded, target);
    }
}

void KImagePdfConverter::runCombined()
{
    const int count = m_params.files.size();
    if (count == 0)
        return;
    auto failAll = [this, count]() {
        for (int i = 0; i < count; ++i)
            report(i, BatchResult::Failed, QString());
    };

    // Pages first: the document is named after the first image that made
    // it in, not after an input that failed.
    PdfImageDocument document;
    QVector<bool> added(count, false);
    int first = -1;
    for (int i = 0; i < count; ++i) {
        if (isInterruptionRequested())
            return;
        QString error;
        added[i] = document.addImagePage(m_params.files.at(i), &error);
        if (!added[i])
            logFailure(m_params.files.at(i), error);
        else if (first < 0)
            first = i;
    }
    if (first < 0) {
        failAll();
        return;
    }

    const bool folderOk
        = !m_params.outputFolder.isEmpty() && QFileInfo(m_params.outputFolder).isDir();
    const QString target = folderOk
        ? reserveUniqueFilePath(m_params.outputFolder,
            baseNameOf(m_params.files.at(first)) + QStringLiteral(".pdf"), QStringLiteral("pdf"))
        : QString();
    if (target.isEmpty()) {
        logFailure(m_params.files.at(first),
            QStringLiteral("cannot create a document in ") + m_params.outputFolder);
        failAll();
        return;
    }
    m_unfinished = target;

    QString error;
    const bool written
        = document.pageCount() > 0 && document.write(target, m_params.password, &error);
    m_unfinished.clear();
    if (!written) {
        releaseReservedPath(target);
        if (document.pageCount() > 0)
            logFailure(target, error);
        failAll();
        return;
    }
    // Rows left out still carry the document they are missing from.
    for (int i = 0; i < count; ++i)
        report(i, added[i] ? BatchResult::Succeeded : BatchResult::Failed, target);
}
