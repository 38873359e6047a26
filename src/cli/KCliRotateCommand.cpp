#include "KCliRotateCommand.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include "batch/KBatchProcessRotateTask.h"
#include "cli/CliOptions.h"
#include "cli/FailureReasons.h"
#include "cli/KCliRun.h"
#include "codec/ImageLimits.h"
#include "codec/OutputFormat.h"

QString KCliRotateCommand::name() const { return QStringLiteral("rotate"); }

QString KCliRotateCommand::summary() const { return QStringLiteral("turn or mirror images"); }

QString KCliRotateCommand::synopsis() const
{
    return QStringLiteral("--left | --right | --flip-h | --flip-v | --angle A [--to FORMAT] "
                          "[options] FILE|FOLDER...");
}

QString KCliRotateCommand::runFolderName() const { return QStringLiteral("quorvel"); }

void KCliRotateCommand::addOptions(QCommandLineParser *parser) const
{
    parser->addOption({ QStringLiteral("left"), QStringLiteral("Turn 90 degrees to the left.") });
    parser->addOption({ QStringLiteral("right"), QStringLiteral("Turn 90 degrees to the right.") });
    parser->addOption({ QStringLiteral("flip-h"), QStringLiteral("Mirror left and right.") });
    parser->addOption({ QStringLiteral("flip-v"), QStringLiteral("Mirror top and bottom.") });
    parser->addOption({ QStringLiteral("angle"),
        QStringLiteral("Turn by A degrees, -360 to 360, counter-clockwise when "
                       "positive; the uncovered corners are white, or transparent "
                       "in PNG, WEBP and TIF."),
        QStringLiteral("A") });
    parser->addOption({ QStringLiteral("to"),
        QStringLiteral("Output format: %1 (default jpg).").arg(CliOptions::outputFormatChoices()),
        QStringLiteral("format"), QStringLiteral("jpg") });
}

bool KCliRotateCommand::configure(const QCommandLineParser &parser, QString *error)
{
    const QStringList fixed { QStringLiteral("left"), QStringLiteral("right"),
        QStringLiteral("flip-h"), QStringLiteral("flip-v") };
    int chosen = 0;
    for (int type = 0; type < fixed.size(); ++type) {
        if (parser.isSet(fixed[type])) {
            m_type = type; // the task's numbering: left, right, flip-h, flip-v
            ++chosen;
        }
    }
    if (parser.isSet(QStringLiteral("angle"))) {
        if (!CliOptions::readInt(parser.value(QStringLiteral("angle")), -360, 360, &m_angle)) {
            *error = QStringLiteral("--angle must be a whole number from -360 to 360");
            return false;
        }
        m_type = KBatchProcessRotateTask::FreeAngle;
        ++chosen;
    }
    if (chosen != 1) {
        *error = QStringLiteral("give one of --left, --right, --flip-h, --flip-v or --angle A");
        return false;
    }
    if (!CliOptions::readOutputFormat(parser.value(QStringLiteral("to")), &m_format, error))
        return false;
    return true;
}

bool KCliRotateCommand::takesFromFolder(const QString &path) const
{
    return CliOptions::isImageFile(path);
}

void KCliRotateCommand::start(KCliRun *run)
{
    const auto groups = CliOptions::groupByBaseName(run->pendingInputs());
    for (const auto &group : groups) {
        // Owned by the pool; reports are queued to the run.
        auto *task
            = new KBatchProcessRotateTask(run->outputDir(), group, m_type, m_angle, m_format);
        QObject::connect(task, &KBatchProcessRotateTask::processStatusChanged, run,
            &KCliRun::onProcessStatusChanged);
        run->pool()->start(task);
    }
}

QString KCliRotateCommand::explainFailure(const QString &input, const QString &outputDir) const
{
    QString reason = FailureReasons::fileProblem(input);
    if (reason.isEmpty())
        reason = FailureReasons::outputProblem(outputDir);
    if (reason.isEmpty())
        reason = QStringLiteral("could not be turned or written as %1")
                     .arg(FailureReasons::formatName(outputExtension(m_format)));
    return reason;
}
