#pragma once

#include <functional>

#include <QString>
#include <QStringList>

// The inputs of a command-line run: files named on the command line as they
// are, folders walked for the files a command takes. Interface thread only.
namespace InputFiles {

struct Collected
{
    QStringList files; // absolute paths, in command-line order; folders sorted by name
    QStringList missing; // arguments that name nothing on disk, as typed
    QStringList emptyFolders; // folders holding no file the command takes, as typed
};

// Walks the arguments. Files named directly are taken whatever their type
// (the engine then decides); files inside folders only when takes() accepts
// them (unreadable ones too, so that they are reported). Hidden entries are
// skipped, and so is the folder skipDir (the run's
// output, when it lies inside an input folder). A file reached twice is
// taken once.
Collected collect(const QStringList &arguments, bool recursive,
    const std::function<bool(const QString &path)> &takes, const QString &skipDir = QString());

} // namespace InputFiles
