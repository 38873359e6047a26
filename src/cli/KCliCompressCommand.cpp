#include "KCliCompressCommand.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

#include "cli/CliOptions.h"
#include "cli/FailureReasons.h"
#include "cli/KCliRun.h"
#include "codec/OutputFormat.h"
#include "compress/BatchCompressParams.h"
#include "compress/KBatchProcessCompressTask.h"

QString KCliCompressCommand::name() const { return QStringLiteral("compress"); }

QString KCliCompressCommand::summary() const
{
    return QStringLiteral("re-encode images as JPEG at a quality or below a size");
}

QString KCliCompressCommand::synopsis() const
{
    return QStringLiteral("--quality Q | --max-size SIZE [options] FILE|FOLDER...");
}

QString KCliCompressCommand::runFolderName() const
{
    return QStringLiteral("AI toolbox batch compress");
}

void KCliCompressCommand::addOptions(QCommandLineParser *parser) const
{
    parser->addOption({ QStringLiteral("quality"), QStringLiteral("JPEG quality, 1 to 100."),
        QStringLiteral("Q") });
    parser->addOption({ QStringLiteral("max-size"),
        QStringLiteral("Largest output, in kilobytes or megabytes: 200K, 2M. The highest "
                       "quality (a multiple of 5) below the size is used; the picture is made "
                       "smaller only when even quality 10 is too large."),
        QStringLiteral("SIZE") });
}

bool KCliCompressCommand::configure(const QCommandLineParser &parser, QString *error)
{
    const bool quality = parser.isSet(QStringLiteral("quality"));
    const bool size = parser.isSet(QStringLiteral("max-size"));
    if (quality == size) {
        *error = QStringLiteral("give either --quality Q or --max-size SIZE");
        return false;
    }
    if (quality) {
        if (!CliOptions::readInt(parser.value(QStringLiteral("quality")), 1, 100, &m_quality)) {
            *error = QStringLiteral("--quality must be a whole number from 1 to 100");
            return false;
        }
        return true;
    }
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d{1,7})\\s*([KkMm])[Bb]?\\s*$"));
    const QRegularExpressionMatch match = pattern.match(parser.value(QStringLiteral("max-size")));
    int value = 0;
    if (!match.hasMatch() || !CliOptions::readInt(match.captured(1), 1, 9999999, &value)) {
        *error = QStringLiteral("--max-size must be a size such as 200K or 2M, above 0");
        return false;
    }
    m_quality = 0;
    m_sizeValue = value;
    m_sizeUnit = match.captured(2).toLower() == QLatin1String("k") ? 1 : 0;
    return true;
}

bool KCliCompressCommand::takesFromFolder(const QString &path) const
{
    return CliOptions::isImageFile(path);
}

void KCliCompressCommand::start(KCliRun *run)
{
    BatchCompressParams params;
    params.quality = m_quality;
    params.sizeValue = m_sizeValue;
    params.sizeUnit = m_sizeUnit;
    params.outputDir = run->outputDir();
    params.outputFormat = OutputFormat::Jpg;
    const auto groups = CliOptions::groupByBaseName(run->pendingInputs());
    for (const auto &group : groups) {
        BatchCompressParams copy = params;
        copy.files = group;
        // Owned by the pool; reports are queued to the run.
        auto *task = new KBatchProcessCompressTask(copy);
        QObject::connect(task, &KBatchProcessCompressTask::processStatusChanged, run,
            &KCliRun::onProcessStatusChanged);
        run->pool()->start(task);
    }
}

QString KCliCompressCommand::explainFailure(const QString &input, const QString &outputDir) const
{
    QString reason = FailureReasons::fileProblem(input);
    if (reason.isEmpty())
        reason = FailureReasons::outputProblem(outputDir);
    if (reason.isEmpty())
        reason = QStringLiteral("could not be written as JPG");
    return reason;
}
