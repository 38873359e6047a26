#include "InputFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace InputFiles {

namespace {

void walk(const QString &folder, bool recursive,
    const std::function<bool(const QString &path)> &takes, const QString &skipDir,
    QSet<QString> *seen, QStringList *files)
{
    const QDir dir(folder);
    // System: FIFOs, sockets, devices and dangling links are listed too, so
    // that they are reported instead of left out without a word.
    const QFileInfoList entries
        = dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::System | QDir::NoDotAndDotDot,
            QDir::Name | QDir::DirsLast);
    for (const QFileInfo &entry : entries) {
        const QString canonical = entry.canonicalFilePath();
        if (entry.isDir()) {
            // Symbolic links to folders are not followed: they can loop.
            if (recursive && !entry.isSymLink() && canonical != skipDir)
                walk(entry.absoluteFilePath(), recursive, takes, skipDir, seen, files);
            continue;
        }
        if (!takes(entry.absoluteFilePath()))
            continue;
        // A dangling link has no canonical path; its own path stands in.
        const QString key = canonical.isEmpty() ? entry.absoluteFilePath() : canonical;
        if (seen->contains(key))
            continue;
        seen->insert(key);
        files->append(entry.absoluteFilePath());
    }
}

} // namespace

Collected collect(const QStringList &arguments, bool recursive,
    const std::function<bool(const QString &path)> &takes, const QString &skipDir)
{
    Collected result;
    QSet<QString> seen;
    const QString skip = skipDir.isEmpty() ? QString() : QFileInfo(skipDir).canonicalFilePath();
    for (const QString &argument : arguments) {
        const QFileInfo info(argument);
        if (!info.exists()) {
            result.missing.append(argument);
            continue;
        }
        if (info.isDir()) {
            const int before = result.files.size();
            walk(info.absoluteFilePath(), recursive, takes, skip, &seen, &result.files);
            if (result.files.size() == before)
                result.emptyFolders.append(argument);
            continue;
        }
        const QString canonical = info.canonicalFilePath();
        const QString key = canonical.isEmpty() ? info.absoluteFilePath() : canonical;
        if (seen.contains(key))
            continue;
        seen.insert(key);
        result.files.append(info.absoluteFilePath());
    }
    return result;
}

} // namespace InputFiles
