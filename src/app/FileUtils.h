#pragma once

#include <QByteArray>
#include <QPixmap>
#include <QString>

class QIcon;

// Naming of outputs that never overwrite anything, and showing results to the
// user. The naming functions are called from worker threads as well as from the
// interface thread.

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
QString reserveUniqueFilePath(
    const QString &dir, const QString &name, const QString &ext, QString *error = nullptr);

// dir/name, or dir/name(n) with the first n at which nothing exists (a file
// of that name moves the counter on as a folder does); the folder (and any
// missing parent of dir) is created. Empty when it cannot be, with why in
// error.
QString uniqueDirPath(const QString &dir, const QString &name, QString *error = nullptr);

// One plain line for a failed file-system call's errno about path ("the disk
// is full", "permission denied: ..."); used for every reason a write gives.
QString fileErrorText(int errnoValue, const QString &path);

// Why a file cannot be written into dir now (no permission, a full disk,
// a read-only disk), for writers whose library only says that it failed.
// Empty when nothing is visibly wrong.
QString folderWriteProblem(const QString &dir);

// A fresh, empty, hidden file beside target that keeps target's suffix (so
// writers that choose the format by suffix still work). Empty on failure.
QString siblingTempPath(const QString &target);

// Atomically puts from in place of to (replacing the placeholder a
// reservation left there). On failure from is removed.
bool replaceFile(const QString &from, const QString &to, QString *error = nullptr);

// Writes bytes to a temporary sibling and renames it over path, so that path
// never holds a partial file. On failure nothing new is left behind.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// Opens the file with the desktop's default application. Empty path: nothing.
void openFile(const QString &path);

// Shows the file's folder in the file manager with the file selected where the
// file manager supports it, otherwise just opens the folder. Empty path: nothing.
void revealInFolder(const QString &path);

// The icon cut to a circle of the given radius, on a 2r x 2r transparent pixmap.
QPixmap roundedIcon(const QIcon &icon, int radius);
