#pragma once

#include <QByteArray>
#include <QString>

// Naming and writing of outputs that never overwrite anything. Called from
// worker threads as well as from the interface thread.

// dir/stem.ext, or dir/stem(n).ext with the first n at which no regular file
// exists. stem is name without its last ".suffix". Nothing is created, so two
// callers asking at once may get the same answer: writers use
// reserveUniqueFilePath instead.
QString uniqueFilePath(const QString &dir, const QString &name, const QString &ext);

// Same naming rule, but the chosen file is created empty and exclusively
// (O_EXCL) before it is returned, so concurrent callers always get distinct
// names and no existing file is ever touched. Returns an empty string when the
// folder cannot hold a new file. The caller replaces the placeholder with its
// output (replaceFile) or removes it when the work fails.
QString reserveUniqueFilePath(const QString &dir, const QString &name, const QString &ext);

// dir/name, or dir/name(n) with the first n at which no folder exists; the
// folder (and any missing parent of dir) is created. The path is returned even
// when creation fails, so the following write fails and reports it.
QString uniqueDirPath(const QString &dir, const QString &name);

// A fresh, empty, hidden file beside target that keeps target's suffix (so
// writers that choose the format by suffix still work). Empty on failure.
QString siblingTempPath(const QString &target);

// Atomically puts from in place of to (replacing the placeholder a
// reservation left there). On failure from is removed.
bool replaceFile(const QString &from, const QString &to);

// Writes bytes to a temporary sibling and renames it over path, so that path
// never holds a partial file. On failure nothing new is left behind.
bool writeFileAtomically(const QString &path, const QByteArray &bytes);
