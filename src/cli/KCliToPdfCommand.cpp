#include "KCliToPdfCommand.h"

#include <memory>

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include "cli/FailureReasons.h"
#include "cli/KCliRun.h"
#include "pdf/KImagePdfConverter.h"
#include "pdf/PdfImageDocument.h"

QString KCliToPdfCommand::name() const { return QStringLiteral("topdf"); }

QString KCliToPdfCommand::summary() const
{
    return QStringLiteral("put images on A4 pages: one PDF each, or one combined PDF");
}

QString KCliToPdfCommand::synopsis() const
{
    return QStringLiteral("[--combined] [--password-file FILE] [options] FILE|FOLDER...");
}

QString KCliToPdfCommand::runFolderName() const { return QStringLiteral("Pdf Convert"); }

void KCliToPdfCommand::addOptions(QCommandLineParser *parser) const
{
    parser->addOption({ QStringLiteral("combined"),
        QStringLiteral("One PDF with a page per image, named after the first "
                       "image; images that cannot be read are left out.") });
    parser->addOption({ QStringLiteral("password-file"),
        QStringLiteral("Protect the PDFs with the password on the first line of "
                       "FILE (kept out of the command line, where other users "
                       "could see it)."),
        QStringLiteral("FILE") });
}

bool KCliToPdfCommand::configure(const QCommandLineParser &parser, QString *error)
{
    m_combined = parser.isSet(QStringLiteral("combined"));
    m_password.clear();
    if (!parser.isSet(QStringLiteral("password-file")))
        return true;
    const QString path = parser.value(QStringLiteral("password-file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error
            = QStringLiteral("cannot read the password file %1: %2").arg(path, file.errorString());
        return false;
    }
    QByteArray line = file.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    // A NUL would cut the password short where the PDF library reads it,
    // and bytes that are not UTF-8 would be changed: both are refused.
    if (line.contains('\0')) {
        *error = QStringLiteral("the password file %1 contains a NUL byte").arg(path);
        return false;
    }
    m_password = QString::fromUtf8(line);
    // Invalid bytes come back as U+FFFD, so they do not survive the round trip.
    if (m_password.toUtf8() != line) {
        m_password.clear();
        *error = QStringLiteral("the password file %1 is not UTF-8 text").arg(path);
        return false;
    }
    if (m_password.isEmpty()) {
        // An empty password would write unprotected documents without a word.
        *error = QStringLiteral("the password file %1 has an empty first line").arg(path);
        return false;
    }
    return true;
}

bool KCliToPdfCommand::takesFromFolder(const QString &path) const
{
    // The image-to-PDF tool's own list filter.
    static const QStringList suffixes { QStringLiteral("jpg"), QStringLiteral("jpeg"),
        QStringLiteral("png"), QStringLiteral("tif"), QStringLiteral("tiff"), QStringLiteral("bmp"),
        QStringLiteral("gif") };
    return suffixes.contains(QFileInfo(path).suffix().toLower());
}

void KCliToPdfCommand::start(KCliRun *run)
{
    const auto pending = run->pendingInputs();
    // One converter for a combined document; otherwise contiguous shares of
    // the list, one converter thread each.
    const int threads = m_combined ? 1 : qBound(1, run->jobs(), pending.size());
    for (int t = 0; t < threads; ++t) {
        const int first = pending.size() * t / threads;
        const int last = pending.size() * (t + 1) / threads;
        KImagePdfConverter::Params params;
        params.mode = m_combined ? 1 : 0;
        params.password = m_password;
        params.outputFolder = run->outputDir();
        QVector<int> rows;
        for (int i = first; i < last; ++i) {
            params.files.append(pending[i].first);
            rows.append(pending[i].second);
        }
        auto *converter = new KImagePdfConverter(params);
        run->adoptThread(converter);
        // The converter numbers its files from 0; the lambdas run queued in
        // the interface thread and map them back to the run's rows. A row's
        // last word counts (a combined document can fail after its pages
        // went in), so records are kept until the converter is done.
        auto kept = std::make_shared<QMap<int, BatchResult>>();
        QObject::connect(
            converter, &KImagePdfConverter::stateChanged, run, [kept, rows](BatchResult result) {
                if (!BatchResult::isFinal(result.status))
                    return;
                result.index = rows.value(result.index, -1);
                kept->insert(result.index, result);
            });
        QObject::connect(converter, &QThread::finished, run, [run, kept]() {
            for (const BatchResult &result : qAsConst(*kept))
                run->onProcessStatusChanged(result);
        });
        converter->start();
    }
}

QString KCliToPdfCommand::explainFailure(const QString &input, const QString &outputDir) const
{
    QString reason = FailureReasons::fileProblem(input);
    if (reason.isEmpty()) {
        // The converter's own page maker says why an image does not go in.
        PdfImageDocument document;
        QString why;
        if (!document.addImagePage(input, &why))
            reason = why.isEmpty() ? QStringLiteral("cannot be put on a PDF page") : why;
    }
    if (reason.isEmpty())
        reason = FailureReasons::outputProblem(outputDir);
    if (reason.isEmpty())
        reason = QStringLiteral("the PDF could not be written");
    return reason;
}
