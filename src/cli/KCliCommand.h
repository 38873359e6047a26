#pragma once

#include <QString>
#include <QStringList>

class KCliRun;
class QCommandLineParser;

// One command of quorvel-cli: its options, which files it takes from folders,
// how it hands its inputs to the engines, and why an input failed.
//
// Created and configured in the interface thread before the run starts and
// never changed afterwards; explainFailure() is then called from worker
// threads, so it reads only the configuration.
class KCliCommand
{
public:
    virtual ~KCliCommand();

    virtual QString name() const = 0;
    // One line for the list of commands.
    virtual QString summary() const = 0;
    // What follows "quorvel-cli <name>" in the usage line.
    virtual QString synopsis() const = 0;
    // Further help text after the options (may be empty).
    virtual QString details() const;
    // The run folder created in the current folder when -o is not given,
    // named as the window's tool names its own.
    virtual QString runFolderName() const = 0;

    virtual void addOptions(QCommandLineParser *parser) const = 0;
    // Reads the command's options; false with a usage error in error.
    virtual bool configure(const QCommandLineParser &parser, QString *error) = 0;

    // Whether a file met while walking a folder is an input of this command.
    virtual bool takesFromFolder(const QString &path) const = 0;
    // Called before the run starts; false (with the reason) when the
    // command cannot work at all, for example a missing helper library.
    virtual bool prepare(QString *error);
    // Hands the run's pending inputs to the engines (interface thread).
    virtual void start(KCliRun *run) = 0;

    // Why input failed, in plain words (worker thread). The default checks
    // the file and the output folder.
    virtual QString explainFailure(const QString &input, const QString &outputDir) const;
};
