#include "KCliResizeCommand.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include "batch/KBatchProcessResizeTask.h"
#include "cli/CliOptions.h"
#include "cli/FailureReasons.h"
#include "cli/KCliRun.h"
#include "codec/ImageLimits.h"
#include "codec/OutputFormat.h"

namespace {

// Names for the help text; the sizes are the resize tool's own (ResizeParams).
const char *const presetNames[] = { "One inch", "Two inches", "Little One inches",
    "Little Two inches", "Big One inches", "Three inches", "Five inches", "Thumbnail", "Weibo" };
const int presetCount = int(sizeof(presetNames) / sizeof(presetNames[0]));

} // namespace

QSize KCliResizeCommand::presetSize(int index) { return ResizeParams::presetSize(index); }

QString KCliResizeCommand::presetName(int index)
{
    if (index < 0 || index >= presetCount)
        return QString();
    return QLatin1String(presetNames[index]);
}

QString KCliResizeCommand::name() const { return QStringLiteral("resize"); }

QString KCliResizeCommand::summary() const
{
    return QStringLiteral("resize images by pixels, percentage or a preset size");
}

QString KCliResizeCommand::synopsis() const
{
    return QStringLiteral("--width W [--height H] [--no-keep-ratio] | --percent P | --preset N "
                          "[--to FORMAT] [options] FILE|FOLDER...");
}

QString KCliResizeCommand::details() const
{
    QString text = QStringLiteral("Presets:\n");
    for (int i = 0; i < presetCount; ++i)
        text += QStringLiteral("  %1  %2 (%3*%4)\n")
                    .arg(i)
                    .arg(presetName(i))
                    .arg(presetSize(i).width())
                    .arg(presetSize(i).height());
    return text;
}

QString KCliResizeCommand::runFolderName() const { return QStringLiteral("quorvel"); }

void KCliResizeCommand::addOptions(QCommandLineParser *parser) const
{
    parser->addOption({ QStringLiteral("width"),
        QStringLiteral("New width in pixels; the height follows the ratio."),
        QStringLiteral("W") });
    parser->addOption({ QStringLiteral("height"),
        QStringLiteral("New height in pixels; alone, the width follows the ratio."),
        QStringLiteral("H") });
    parser->addOption({ QStringLiteral("no-keep-ratio"),
        QStringLiteral("Stretch to exactly --width x --height.") });
    parser->addOption({ QStringLiteral("percent"),
        QStringLiteral("Scale both sides, 1 to 200 percent."), QStringLiteral("P") });
    parser->addOption({ QStringLiteral("preset"),
        QStringLiteral("Stretch to a preset size, 0 to %1 (listed below).").arg(presetCount - 1),
        QStringLiteral("N") });
    parser->addOption({ QStringLiteral("to"),
        QStringLiteral("Output format: %1 (default jpg).").arg(CliOptions::outputFormatChoices()),
        QStringLiteral("format"), QStringLiteral("jpg") });
}

bool KCliResizeCommand::configure(const QCommandLineParser &parser, QString *error)
{
    const bool width = parser.isSet(QStringLiteral("width"));
    const bool height = parser.isSet(QStringLiteral("height"));
    const bool percent = parser.isSet(QStringLiteral("percent"));
    const bool preset = parser.isSet(QStringLiteral("preset"));
    const bool stretch = parser.isSet(QStringLiteral("no-keep-ratio"));
    const int modes = int(width || height) + int(percent) + int(preset);
    if (modes != 1) {
        *error = QStringLiteral("give one of --width/--height, --percent or --preset");
        return false;
    }
    if (!CliOptions::readOutputFormat(parser.value(QStringLiteral("to")), &m_format, error))
        return false;
    if (stretch && !(width && height)) {
        *error = QStringLiteral("--no-keep-ratio needs both --width and --height");
        return false;
    }
    m_params = ResizeParams();
    if (percent) {
        int value = 0;
        if (!CliOptions::readInt(parser.value(QStringLiteral("percent")), 1, 200, &value)) {
            *error = QStringLiteral("--percent must be a whole number from 1 to 200");
            return false;
        }
        m_params.mode = 1;
        m_params.lockRatio = true;
        m_params.scale = value / 100.0;
        return true;
    }
    if (preset) {
        int index = 0;
        if (!CliOptions::readInt(
                parser.value(QStringLiteral("preset")), 0, presetCount - 1, &index)) {
            *error = QStringLiteral("--preset must be a number from 0 to %1").arg(presetCount - 1);
            return false;
        }
        m_params.mode = 2;
        m_params.lockRatio = false;
        m_params.width = presetSize(index).width();
        m_params.height = presetSize(index).height();
        return true;
    }
    if (width && height && !stretch) {
        *error = QStringLiteral("with the ratio kept give --width or --height, not both "
                                "(add --no-keep-ratio to stretch)");
        return false;
    }
    m_params.mode = 0;
    m_params.lockRatio = !stretch;
    if (width
        && !CliOptions::readInt(parser.value(QStringLiteral("width")), 1, 65535, &m_params.width)) {
        *error = QStringLiteral("--width must be a whole number from 1 to 65535");
        return false;
    }
    if (height
        && !CliOptions::readInt(
            parser.value(QStringLiteral("height")), 1, 65535, &m_params.height)) {
        *error = QStringLiteral("--height must be a whole number from 1 to 65535");
        return false;
    }
    return true;
}

bool KCliResizeCommand::takesFromFolder(const QString &path) const
{
    return CliOptions::isImageFile(path);
}

void KCliResizeCommand::start(KCliRun *run)
{
    const auto groups = CliOptions::groupByBaseName(run->pendingInputs());
    for (const auto &group : groups) {
        // Owned by the pool; reports are queued to the run.
        auto *task = new KBatchProcessResizeTask(run->outputDir(), group, m_params, m_format);
        QObject::connect(task, &KBatchProcessResizeTask::processStatusChanged, run,
            &KCliRun::onProcessStatusChanged);
        run->pool()->start(task);
    }
}

QString KCliResizeCommand::explainFailure(const QString &input, const QString &outputDir) const
{
    QString reason = FailureReasons::fileProblem(input);
    if (reason.isEmpty())
        reason = FailureReasons::outputProblem(outputDir);
    if (reason.isEmpty())
        reason = QStringLiteral("could not be written as %1")
                     .arg(FailureReasons::formatName(outputExtension(m_format)));
    return reason;
}
