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

// Same naming rule, but the chosen name is also free of every reservation
// this process holds, and it is reserved until the file is put in place
// (replaceFile) or the reservation is given back (releaseReservedPath).
// Nothing is created at that name: a writer that is killed can leave only
// its hidden temporary file (siblingTempPath), never an empty or partial
// file under the final name. The first reservation in a folder removes the
// temporary files that earlier runs of this program left there when they
// were killed (removeStaleTempFiles). Returns an empty string, with the
// reason in *error, when the folder cannot take a new file.
QString reserveUniqueFilePath(
    const QString &dir, const QString &name, const QString &ext, QString *error = nullptr);

// Gives a reservation back after a failed write. Nothing on disk is touched.
void releaseReservedPath(const QString &path);

// dir/name, or dir/name(n) with the first n at which nothing exists (a file
// of that name moves the counter on as a folder does); the folder (and any
// missing parent of dir) is created. Empty when it cannot be, with why in
// error.
QString uniqueDirPath(const QString &dir, const QString &name, QString *error = nullptr);

// One plain line for a failed file-system call's errno about path ("no space
// left on the device", "permission denied: ..."); used for every reason a write gives.
QString fileErrorText(int errnoValue, const QString &path);

// Why a file cannot be written into dir now (no permission, a full disk,
// a read-only disk), for writers whose library only says that it failed.
// Empty when nothing is visibly wrong.
QString folderWriteProblem(const QString &dir);

// A fresh, empty, hidden file beside target, created exclusively. Its name
// has a fixed length whatever target's is (".qv-" + process id + random +
// ".part") and keeps target's suffix, so writers that choose the format by
// suffix still work and any target name that fits the file system works.
// Empty on failure, with the reason in *error.
QString siblingTempPath(const QString &target, QString *error = nullptr);

// Puts the finished file from at to. A name reserved by reserveUniqueFilePath
// (or any free name) is linked without replacing anything, so a file that
// another process put there meanwhile is kept and this call fails; an
// existing file that was not reserved (a target the user chose in a save
// dialog) is replaced atomically. On failure from is removed. The
// reservation of to ends either way.
bool replaceFile(const QString &from, const QString &to, QString *error = nullptr);

// Writes bytes to a temporary sibling, checking every write and the close,
// and puts it at path with replaceFile, so that path never holds a partial
// file. On failure nothing new is left behind and *error says why ("no
// space left on the device").
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// Removes the temporary files of this program in dir whose writer is gone
// (its process no longer exists, or the file is older than a day). Returns
// how many were removed.
int removeStaleTempFiles(const QString &dir);

// True for a name siblingTempPath makes.
bool isTempFileName(const QString &fileName);

// The plain reason for a failed file operation: "no space left on the
// device", "the disk quota is used up", or the system's own text.
QString fileErrorReason(int errnoValue);
