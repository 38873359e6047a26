#include "KCliGifCommand.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include "Animation.h"
#include "app/AppPaths.h"
#include "cli/CliOptions.h"
#include "cli/FailureReasons.h"
#include "cli/KCliRun.h"
#include "compress/GifCompressArguments.h"
#include "compress/GifSourceFacts.h"

QString KCliGifCommand::name() const { return QStringLiteral("gif"); }

QString KCliGifCommand::summary() const
{
    return QStringLiteral("make animated GIFs smaller: size, frames and colours");
}

QString KCliGifCommand::synopsis() const
{
    return QStringLiteral("[--width W] [--height H] [--colors-percent P] [--drop 0..5] [options] "
                          "FILE|FOLDER...");
}

QString KCliGifCommand::runFolderName() const
{
    // The window's GIF tool saves one file where the user says; its run
    // folder is named after the tool's title.
    return QStringLiteral("Gif compress");
}

void KCliGifCommand::addOptions(QCommandLineParser *parser) const
{
    parser->addOption({ QStringLiteral("width"),
        QStringLiteral("New width; alone, the height follows the ratio."), QStringLiteral("W") });
    parser->addOption({ QStringLiteral("height"),
        QStringLiteral("New height; alone, the width follows the ratio."), QStringLiteral("H") });
    parser->addOption({ QStringLiteral("colors-percent"),
        QStringLiteral("Share of the palette's colours to keep, 1 to 100 "
                       "(default 50)."),
        QStringLiteral("P"), QStringLiteral("50") });
    parser->addOption({ QStringLiteral("drop"),
        QStringLiteral("Frames to remove: 0 none (default), 1 to 5 for about "
                       "10% to 50%; the last frame is always kept."),
        QStringLiteral("N"), QStringLiteral("0") });
}

bool KCliGifCommand::configure(const QCommandLineParser &parser, QString *error)
{
    m_request = GifCompressRequest();
    if (parser.isSet(QStringLiteral("width"))
        && !CliOptions::readInt(
            parser.value(QStringLiteral("width")), 1, 65535, &m_request.width)) {
        *error = QStringLiteral("--width must be a whole number from 1 to 65535");
        return false;
    }
    if (parser.isSet(QStringLiteral("height"))
        && !CliOptions::readInt(
            parser.value(QStringLiteral("height")), 1, 65535, &m_request.height)) {
        *error = QStringLiteral("--height must be a whole number from 1 to 65535");
        return false;
    }
    if (!CliOptions::readInt(
            parser.value(QStringLiteral("colors-percent")), 1, 100, &m_request.colorPercent)) {
        *error = QStringLiteral("--colors-percent must be a whole number from 1 to 100");
        return false;
    }
    if (!CliOptions::readInt(parser.value(QStringLiteral("drop")), 0, 5, &m_request.frameOption)) {
        *error = QStringLiteral("--drop must be a number from 0 to 5");
        return false;
    }
    return true;
}

bool KCliGifCommand::takesFromFolder(const QString &path) const
{
    return QFileInfo(path).suffix().compare(QLatin1String("gif"), Qt::CaseInsensitive) == 0;
}

bool KCliGifCommand::prepare(QString *error)
{
    m_library.setFileName(appDir() + QStringLiteral("/libqvgifconv.so"));
    if (m_library.load()) {
        m_convert = reinterpret_cast<GifConverterFunction>(m_library.resolve("GifConverter"));
        m_release = reinterpret_cast<GifReleaseFunction>(m_library.resolve("Release"));
    }
    if (!m_convert || !m_release) {
        *error = QStringLiteral("the GIF converter library cannot be used: ")
            + (m_library.isLoaded() ? QStringLiteral("it lacks GifConverter or Release")
                                    : m_library.errorString());
        return false;
    }
    return true;
}

void KCliGifCommand::start(KCliRun *run)
{
    const auto groups = CliOptions::groupByBaseName(run->pendingInputs());
    for (const auto &group : groups) {
        // Owned by the pool; reports are queued to the run.
        auto *task = new KCliGifTask(run->outputDir(), group, m_request, m_convert, m_release);
        QObject::connect(
            task, &KCliGifTask::processStatusChanged, run, &KCliRun::onProcessStatusChanged);
        run->pool()->start(task);
    }
}

QString KCliGifCommand::explainFailure(const QString &input, const QString &outputDir) const
{
    QString reason = FailureReasons::fileProblem(input);
    if (reason.isEmpty()) {
        // The converter's budget for the frames it keeps, at the output size.
        const GifSourceFacts facts = readGifSourceFacts(input);
        if (facts.valid && facts.size.width() > 0) {
            const qint64 width = m_request.width > 0 ? m_request.width : facts.size.width();
            const qint64 height = qMax<qint64>(1, width * facts.size.height() / facts.size.width());
            const qint64 kept = qMax(1,
                facts.frameCount
                    - GifCompressArguments::droppedFrames(facts.frameCount, m_request.frameOption)
                          .size());
            if (width * height * kept > qvgif::maxOutputPixels())
                reason = QStringLiteral("too large to convert: %1 frames of %2 x %3 pixels; try "
                                        "fewer frames (--drop) or a smaller width (--width)")
                             .arg(kept)
                             .arg(width)
                             .arg(height);
        }
    }
    if (reason.isEmpty())
        reason = FailureReasons::outputProblem(outputDir);
    if (reason.isEmpty())
        reason = QStringLiteral("the GIF converter could not make a GIF of it with these "
                                "settings; try fewer frames (--drop) or a smaller width (--width)");
    return reason;
}
