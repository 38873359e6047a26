#include "KCliConvertCommand.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include "cli/CliOptions.h"
#include "cli/FailureReasons.h"
#include "cli/KCliRun.h"
#include "codec/OutputFormat.h"
#include "convert/KImageNormalConvertProcessTask.h"

QString KCliConvertCommand::name() const { return QStringLiteral("convert"); }

QString KCliConvertCommand::summary() const
{
    return QStringLiteral("convert images to jpg, png, bmp, webp or tif");
}

QString KCliConvertCommand::synopsis() const
{
    return QStringLiteral("--to jpg|png|bmp|webp|tif [options] FILE|FOLDER...");
}

QString KCliConvertCommand::runFolderName() const { return QStringLiteral("format convert"); }

void KCliConvertCommand::addOptions(QCommandLineParser *parser) const
{
    parser->addOption({ QStringLiteral("to"),
        QStringLiteral("Output format: %1. Only the first frame of an animation "
                       "is written; JPG and BMP get a white background where the "
                       "image was transparent.")
            .arg(CliOptions::outputFormatChoices()),
        QStringLiteral("format") });
}

bool KCliConvertCommand::configure(const QCommandLineParser &parser, QString *error)
{
    if (!parser.isSet(QStringLiteral("to"))) {
        *error = QStringLiteral("--to is required (%1)").arg(CliOptions::outputFormatChoices());
        return false;
    }
    if (!CliOptions::readOutputFormat(parser.value(QStringLiteral("to")), &m_format, error))
        return false;
    return true;
}

bool KCliConvertCommand::takesFromFolder(const QString &path) const
{
    return CliOptions::isImageFile(path);
}

void KCliConvertCommand::start(KCliRun *run)
{
    const auto pending = run->pendingInputs();
    for (const auto &input : pending) {
        // Owned by the pool, which deletes it after run(); reports are queued
        // to the run in the interface thread.
        auto *task = new KImageNormalConvertProcessTask(
            run->outputDir(), input.second, input.first, m_format);
        QObject::connect(task, &KImageNormalConvertProcessTask::processStatusChanged, run,
            &KCliRun::onProcessStatusChanged);
        run->pool()->start(task);
    }
}

QString KCliConvertCommand::explainFailure(const QString &input, const QString &outputDir) const
{
    QString reason = FailureReasons::fileProblem(input);
    if (reason.isEmpty())
        reason = FailureReasons::outputProblem(outputDir);
    if (reason.isEmpty())
        reason = QStringLiteral("could not be written as %1")
                     .arg(FailureReasons::formatName(outputExtension(m_format)));
    return reason;
}
