#include "KCliOcrCommand.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include "cli/FailureReasons.h"

QString KCliOcrCommand::name() const { return QStringLiteral("ocr"); }

QString KCliOcrCommand::summary() const
{
    return QStringLiteral("recognise text and tables in images (online service)");
}

QString KCliOcrCommand::synopsis() const
{
    return QStringLiteral("--to txt|docx|xlsx [--table] [--combine] [options] FILE|FOLDER...");
}

QString KCliOcrCommand::details() const
{
    return QStringLiteral(
        "Each image is one job of the online service, one after the other, with at most\n"
        "90 seconds per image. The result is named after the image: scan.png gives\n"
        "scan.png.txt (or .docx, .xlsx). The bundled service is started unless\n"
        "QUORVEL_SERVICE_URL names one. No login is needed.\n");
}

QString KCliOcrCommand::runFolderName() const { return QStringLiteral("Batch Ocr"); }

void KCliOcrCommand::addOptions(QCommandLineParser *parser) const
{
    parser->addOption({ QStringLiteral("to"),
        QStringLiteral("Result: txt (plain text), docx (Word) or xlsx (Excel); default txt."),
        QStringLiteral("format"), QStringLiteral("txt") });
    parser->addOption({ QStringLiteral("table"),
        QStringLiteral("Recognise a table with its borders and merged cells (docx or xlsx).") });
    parser->addOption({ QStringLiteral("combine"),
        QStringLiteral("Write all texts, in list order, into one file named after the first "
                       "image (txt only).") });
}

bool KCliOcrCommand::configure(const QCommandLineParser &parser, QString *error)
{
    m_extension = parser.value(QStringLiteral("to")).toLower();
    if (m_extension != QLatin1String("txt") && m_extension != QLatin1String("docx")
        && m_extension != QLatin1String("xlsx")) {
        *error = QStringLiteral("--to must be txt, docx or xlsx");
        return false;
    }
    m_table = parser.isSet(QStringLiteral("table"));
    m_combine = parser.isSet(QStringLiteral("combine"));
    if (m_table && m_extension == QLatin1String("txt")) {
        *error = QStringLiteral("--table needs --to docx or --to xlsx");
        return false;
    }
    if (m_combine && m_extension != QLatin1String("txt")) {
        *error = QStringLiteral("--combine works with --to txt only");
        return false;
    }
    return true;
}

int KCliOcrCommand::serviceType() const
{
    if (m_extension == QLatin1String("docx"))
        return m_table ? 3 : 1;
    if (m_extension == QLatin1String("xlsx"))
        return m_table ? 4 : 2;
    return 0;
}

QSize KCliOcrCommand::uploadSize(const QSize &imageSize, qint64 fileBytes) const
{
    // As the recognition views: text jobs and table jobs have their own
    // limits; Word and Excel pages go as they are.
    if (m_table)
        return pixelTarget(imageSize, fileBytes, 31457280, 8294400);
    if (serviceType() == 0)
        return pixelTarget(imageSize, fileBytes, 2097152, 2073600);
    return QSize();
}

void KCliOcrCommand::beginRun(const QStringList &inputs)
{
    m_outputReady = false;
    m_combinedName = inputs.isEmpty() ? QString() : QFileInfo(inputs.first()).fileName();
}

QString KCliOcrCommand::writeResult(
    const QString &input, const QByteArray &data, const QString &outputDir, QString *error)
{
    if (!m_outputReady) {
        m_output.begin(outputDir, m_extension, m_combine, m_combinedName);
        m_outputReady = true;
    }
    // Each source gets scan.png.txt; combined text is one file, rewritten
    // whole after every result so it is complete whenever a row reports it.
    QString reason;
    const QString path = m_output.write(input, data, &reason);
    if (path.isEmpty()) {
        *error = FailureReasons::outputProblem(outputDir);
        if (error->isEmpty())
            *error = QStringLiteral("the result could not be written to %1: %2")
                         .arg(outputDir, reason);
    }
    return path;
}
