#include "KImagePdfConverter.h"

#include <exception>
#include <new>

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

void KImagePdfConverter::report(
    int index, BatchResult::Status status, const QString &path, const QString &reason)
{
    m_reported = index + 1;
    emit stateChanged({ index, status, path, reason });
}

QString KImagePdfConverter::folderProblem() const
{
    if (m_params.outputFolder.isEmpty() || !QFileInfo(m_params.outputFolder).isDir())
        return QStringLiteral("the output folder does not exist");
    const QString why = folderWriteProblem(m_params.outputFolder);
    return why.isEmpty()
        ? QStringLiteral("cannot create a document in %1").arg(m_params.outputFolder)
        : why;
}

QString KImagePdfConverter::writeProblem(const QString &error) const
{
    // A full disk or a folder that turned read-only says more than the
    // writer's own words.
    const QString why = folderWriteProblem(m_params.outputFolder);
    if (!why.isEmpty())
        return why;
    return error.isEmpty() ? QStringLiteral("the PDF could not be written") : error;
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
    } catch (const std::bad_alloc &) {
        qWarning().noquote() << "Error: PDF conversion stopped: out of memory";
        stopped = true;
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
        // A combined document that stopped half-way holds no row at all.
        const int from = m_params.mode == 1 ? 0 : m_reported;
        for (int i = from; i < m_params.files.size(); ++i)
            report(i, BatchResult::Failed, QString(),
                QStringLiteral("the PDF could not be made: not enough memory"));
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
            report(i, BatchResult::Failed, QString(), folderProblem());
            continue;
        }
        m_unfinished = target;
        QString error;
        PdfImageDocument document;
        const bool added = document.addImagePage(file, &error);
        const bool ok = added && document.write(target, m_params.password, &error);
        m_unfinished.clear();
        if (!ok) {
            releaseReservedPath(target);
            logFailure(file, error);
            report(i, BatchResult::Failed, QString(), added ? writeProblem(error) : error);
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
    auto failAll = [this, count](const QString &reason) {
        for (int i = 0; i < count; ++i)
            report(i, BatchResult::Failed, QString(), reason);
    };
    if (m_params.outputFolder.isEmpty() || !QFileInfo(m_params.outputFolder).isDir()) {
        logFailure(m_params.files.first(),
            QStringLiteral("cannot create a document in ") + m_params.outputFolder);
        failAll(folderProblem());
        return;
    }

    // Each row is reported as its page goes in; should the document then
    // not reach the disk, every row is failed again with the reason. The
    // document is named after the first image that made it in, not after
    // an input that failed, so its name is reserved at the first page.
    PdfImageDocument document;
    QStringList reasons; // of the rows left out, by row
    QString target;
    for (int i = 0; i < count; ++i) {
        if (isInterruptionRequested())
            return; // run() gives the reserved name back
        emit stateChanged({ i, BatchResult::Processing, QString(), QString() });
        QString error;
        const bool added = document.addImagePage(m_params.files.at(i), &error);
        reasons << (added ? QString() : error);
        if (added && target.isEmpty()) {
            QString why;
            target = reserveUniqueFilePath(m_params.outputFolder,
                baseNameOf(m_params.files.at(i)) + QStringLiteral(".pdf"), QStringLiteral("pdf"),
                &why);
            if (target.isEmpty()) {
                logFailure(m_params.files.at(i),
                    QStringLiteral("cannot create a document in ") + m_params.outputFolder);
                failAll(why.isEmpty() ? folderProblem() : writeProblem(why));
                return;
            }
            m_unfinished = target;
            // Rows already left out name the document they are missing from.
            for (int j = 0; j < i; ++j)
                report(j, BatchResult::Failed, target, reasons.value(j));
        }
        if (added) {
            report(i, BatchResult::Succeeded, target);
        } else {
            // The row still names the document it is missing from.
            logFailure(m_params.files.at(i), error);
            report(i, BatchResult::Failed, target, error);
        }
    }
    if (target.isEmpty()) {
        // No document at all: the rows keep their reasons but name none.
        for (int i = 0; i < count; ++i)
            report(i, BatchResult::Failed, QString(), reasons.value(i));
        return;
    }

    QString error;
    const bool written = document.write(target, m_params.password, &error);
    m_unfinished.clear();
    if (!written) {
        releaseReservedPath(target);
        logFailure(target, error);
        failAll(writeProblem(error));
    }
}
