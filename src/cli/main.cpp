// quorvel-cli: the toolbox's engines from a terminal, without a display.
//
//   quorvel-cli <command> [options] FILE|FOLDER...
//
// Exit status: 0 every input succeeded, 1 some failed, 2 usage error,
// 130 interrupted.

#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QThread>
#include <QTimer>

#include "app/BatchResult.h"
#include "app/FileUtils.h"
#include "app/LargePages.h"
#include "app/MemoryReuse.h"
#include "app/Version.h"
#include "cli/InputFiles.h"
#include "cli/KCliCompressCommand.h"
#include "cli/KCliConvertCommand.h"
#include "cli/KCliEnhanceCommand.h"
#include "cli/KCliFromPdfCommand.h"
#include "cli/KCliGifCommand.h"
#include "cli/KCliOcrCommand.h"
#include "cli/KCliReporter.h"
#include "cli/KCliResizeCommand.h"
#include "cli/KCliRotateCommand.h"
#include "cli/KCliRun.h"
#include "cli/KCliToPdfCommand.h"
#include "codec/CodecLibraries.h"
#include "codec/FileNameCodec.h"
#include "codec/ImageFormats.h"
#include "codec/InputCheck.h"

namespace {

const int exitUsage = 2;

std::atomic_bool interruptRequested { false };

void onInterruptSignal(int)
{
    interruptRequested = true;
    // A second Ctrl-C ends the program at once.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

// The engines write diagnostic lines for the window's developers; here each
// failure is reported once, in plain words, by the run. QUORVEL_CLI_DEBUG=1
// lets the diagnostics through.
void messageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    static const bool debug = qEnvironmentVariableIntValue("QUORVEL_CLI_DEBUG") > 0;
    if (!debug && (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg))
        return;
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

// Some decoders print diagnostics on standard output (the HEIF reader tells
// how many images a file holds), which would break a script reading the
// results. Results get a private copy of standard output; what the libraries
// write there goes to standard error with QUORVEL_CLI_DEBUG=1, otherwise
// nowhere. Standard error is left alone (sanitizer reports go there).
FILE *takeStandardOutput()
{
    std::fflush(stdout);
    const int results = ::dup(STDOUT_FILENO);
    FILE *stream = results >= 0 ? ::fdopen(results, "w") : nullptr;
    if (!stream) {
        if (results >= 0)
            ::close(results);
        return stdout;
    }
    const int sink = qEnvironmentVariableIntValue("QUORVEL_CLI_DEBUG") > 0
        ? ::dup(STDERR_FILENO)
        : ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (sink >= 0) {
        ::dup2(sink, STDOUT_FILENO);
        ::close(sink);
    }
    return stream;
}

std::vector<std::unique_ptr<KCliCommand>> makeCommands()
{
    std::vector<std::unique_ptr<KCliCommand>> commands;
    commands.emplace_back(new KCliConvertCommand);
    commands.emplace_back(new KCliCompressCommand);
    commands.emplace_back(new KCliResizeCommand);
    commands.emplace_back(new KCliRotateCommand);
    commands.emplace_back(new KCliGifCommand);
    commands.emplace_back(new KCliToPdfCommand);
    commands.emplace_back(new KCliFromPdfCommand);
    commands.emplace_back(new KCliOcrCommand);
    commands.emplace_back(new KCliEnhanceCommand);
    return commands;
}

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

QString generalHelp(const std::vector<std::unique_ptr<KCliCommand>> &commands)
{
    QString text = QStringLiteral("Usage: quorvel-cli <command> [options] FILE|FOLDER...\n\n"
                                  "Image tools without a window. Commands:\n");
    for (const auto &command : commands)
        text += QStringLiteral("  %1%2\n").arg(command->name(), -10).arg(command->summary());
    text += QStringLiteral(
        "\nEvery command takes files and folders (-r walks folders recursively), writes into a\n"
        "new folder in the current one unless -o says where, never overwrites a file (a name\n"
        "that is taken gets (1), (2), ...), runs -j files at once, and exits with 0 when every\n"
        "input succeeded, 1 when some failed and 2 on a usage error.\n"
        "ocr and enhance send each file, one at a time, to the online service: the bundled\n"
        "one, or the one QUORVEL_SERVICE_URL names. A file the service fails or does not\n"
        "finish within 90 seconds fails alone.\n"
        "Run 'quorvel-cli <command> --help' for a command's options.\n");
    return text;
}

void addCommonOptions(QCommandLineParser *parser, const KCliCommand &command)
{
    parser->addOption({ { QStringLiteral("o"), QStringLiteral("output") },
        QStringLiteral("Write into DIR (created when missing) instead of a new "
                       "\"%1\" folder in the current folder.")
            .arg(command.runFolderName()),
        QStringLiteral("DIR") });
    parser->addOption({ { QStringLiteral("j"), QStringLiteral("jobs") },
        QStringLiteral("Files worked on at once (default: the number of cores, "
                       "%1 here).")
            .arg(QThread::idealThreadCount()),
        QStringLiteral("N") });
    parser->addOption({ { QStringLiteral("r"), QStringLiteral("recursive") },
        QStringLiteral("Walk folders recursively.") });
    parser->addOption({ QStringLiteral("json"),
        QStringLiteral("Print one JSON object per input on standard output: "
                       "input, status (ok or failed), output, bytes, error.") });
    parser->addOption({ { QStringLiteral("q"), QStringLiteral("quiet") },
        QStringLiteral("No progress line and no summary on standard error; "
                       "failures are still reported.") });
    parser->addOption(
        { { QStringLiteral("h"), QStringLiteral("help") }, QStringLiteral("Show this help.") });
    parser->addPositionalArgument(QStringLiteral("paths"),
        QStringLiteral("Files and folders to work on."), QStringLiteral("FILE|FOLDER..."));
}

QString commandHelp(const QCommandLineParser &parser, const KCliCommand &command)
{
    // The parser's own text starts with a usage line naming the executable's
    // path; the command's synopsis replaces it.
    QString options = parser.helpText();
    const int optionsStart = options.indexOf(QLatin1String("Options:"));
    if (optionsStart > 0)
        options = options.mid(optionsStart);
    QString text = QStringLiteral("Usage: quorvel-cli %1 %2\n\n%3.\n\n")
                       .arg(command.name(), command.synopsis(), command.summary());
    text += options;
    const QString details = command.details();
    if (!details.isEmpty())
        text += QLatin1Char('\n') + details;
    return text;
}

int usageError(const QString &command, const QString &message)
{
    const QString prefix = command.isEmpty() ? QStringLiteral("quorvel-cli")
                                             : QStringLiteral("quorvel-cli ") + command;
    print(stderr, QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(prefix, message));
    return exitUsage;
}

// The work on the inputs, from the output folder to the last result. Every
// object of the run is gone when it returns: its workers have ended and
// every output is closed and in place.
int runOnInputs(QGuiApplication &app, KCliCommand *command, const QCommandLineParser &parser,
    const QString &name, int jobs)
{
    QString error;
    const bool explicitOutput = parser.isSet(QStringLiteral("output"));
    const QString requestedOutput = explicitOutput
        ? QFileInfo(parser.value(QStringLiteral("output"))).absoluteFilePath()
        : QString();
    if (explicitOutput && QFileInfo(requestedOutput).exists()
        && !QFileInfo(requestedOutput).isDir())
        return usageError(name, QStringLiteral("-o %1 is not a folder").arg(requestedOutput));

    const InputFiles::Collected inputs = InputFiles::collect(
        parser.positionalArguments(), parser.isSet(QStringLiteral("recursive")),
        [command](const QString &path) { return command->takesFromFolder(path); }, requestedOutput);

    FILE *results = takeStandardOutput();
    const bool json = parser.isSet(QStringLiteral("json"));
    const bool quiet = parser.isSet(QStringLiteral("quiet"));
    // The progress line is for a person watching a terminal: never into a
    // pipe or a file, and never beside machine-read --json results.
    KCliReporter reporter(
        results, json, !json && !quiet && KCliProgressLine::standardErrorIsTerminal(), !quiet);
    if (!command->prepare(&error)) {
        reporter.error(error);
        return 1;
    }

    // The output folder is made only when there is something to write.
    QString outputDir = requestedOutput;
    if (!inputs.files.isEmpty()) {
        if (explicitOutput) {
            if (!QDir().mkpath(outputDir)) {
                reporter.error(QStringLiteral("cannot create the output folder %1").arg(outputDir));
                return 1;
            }
        } else {
            QString folderError;
            outputDir = uniqueDirPath(QDir::currentPath(), command->runFolderName(), &folderError);
            if (outputDir.isEmpty()) {
                reporter.error(folderError);
                return 1;
            }
        }
    }

    KCliRun run(command, outputDir, jobs, &reporter);
    for (const QString &missing : inputs.missing)
        run.addFailedInput(missing, QStringLiteral("no such file or folder"));
    for (const QString &folder : inputs.emptyFolders)
        run.addFailedInput(folder, QStringLiteral("the folder holds no file this command takes"));
    // FIFOs, devices and sockets (also behind links) fail here, before any
    // engine could block on them.
    for (const QString &file : inputs.files) {
        const QString problem = InputCheck::regularFileProblem(file);
        if (problem.isEmpty())
            run.addInput(file);
        else
            run.addFailedInput(file, problem);
    }

    QObject::connect(
        &run, &KCliRun::finished, &app, [](int status) { QCoreApplication::exit(status); });
    // A reader that goes away (| head) must not kill the run between a
    // worker's temporary file and its rename; writes to it just fail.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGINT, onInterruptSignal);
    std::signal(SIGTERM, onInterruptSignal);
    // The signal handler only sets a flag; the interface thread acts on it.
    QTimer interruptPoll;
    KCliRun *runner = &run;
    QObject::connect(&interruptPoll, &QTimer::timeout, runner, [runner]() {
        if (interruptRequested)
            runner->interrupt();
    });
    interruptPoll.start(100);

    run.start();
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    // Big work is done with large pages: this may start the program again.
    if (LargePages::worthRestarting(argc, argv))
        LargePages::restart(argv);
    MemoryReuse::fixThreshold();
    // Names that are not valid UTF-8 keep their bytes (see FileNameCodec).
    FileNameCodec::install();
    // The command line is read before the application object exists, which
    // would otherwise take arguments such as -platform for itself.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    // Some decoders (SVG, metafile text) need the GUI application's fonts;
    // nothing is ever shown, so no display is needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(messageHandler);
    int appArgc = 1;
    QGuiApplication app(appArgc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvel-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
    initialiseCodecLibraries();
    ImageFormats::global();
    registerWorkerMetaTypes();

    const auto commands = makeCommands();
    if (arguments.size() < 2) {
        print(stderr, generalHelp(commands));
        return exitUsage;
    }
    QString name = arguments.at(1);
    bool helpOnly = false;
    if (name == QLatin1String("help") && arguments.size() > 2) {
        name = arguments.at(2);
        helpOnly = true;
    } else if (name == QLatin1String("help") || name == QLatin1String("--help")
        || name == QLatin1String("-h")) {
        print(stdout, generalHelp(commands));
        return 0;
    } else if (name == QLatin1String("--version")) {
        print(
            stdout, QStringLiteral("quorvel-cli %1\n").arg(QCoreApplication::applicationVersion()));
        return 0;
    }
    KCliCommand *command = nullptr;
    for (const auto &candidate : commands) {
        if (candidate->name() == name)
            command = candidate.get();
    }
    if (!command)
        return usageError(QString(), QStringLiteral("unknown command '%1'").arg(name));

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    addCommonOptions(&parser, *command);
    command->addOptions(&parser);
    if (helpOnly) {
        print(stdout, commandHelp(parser, *command));
        return 0;
    }
    QStringList toParse = arguments.mid(2);
    toParse.prepend(QStringLiteral("quorvel-cli"));
    if (!parser.parse(toParse))
        return usageError(name, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        print(stdout, commandHelp(parser, *command));
        return 0;
    }
    QString error;
    if (!command->configure(parser, &error))
        return usageError(name, error);
    int jobs = QThread::idealThreadCount();
    if (parser.isSet(QStringLiteral("jobs"))) {
        bool ok = false;
        jobs = parser.value(QStringLiteral("jobs")).toInt(&ok);
        if (!ok || jobs < 1 || jobs > 256)
            return usageError(name, QStringLiteral("-j must be a whole number from 1 to 256"));
    }
    if (parser.positionalArguments().isEmpty())
        return usageError(name, QStringLiteral("no files or folders given"));

    const int status = runOnInputs(app, command, parser, name, jobs);
    std::fflush(nullptr);
#if defined(__SANITIZE_ADDRESS__)
    return status; // the leak checker runs at a normal exit
#else
    // Nothing is left to write, so the application object's teardown is
    // skipped: the offscreen platform reads the whole font configuration
    // just to release it, several milliseconds of every run.
    std::_Exit(status);
#endif
}
