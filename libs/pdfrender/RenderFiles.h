#pragma once

#include <QString>

// The little file handling the renderer needs, kept inside the library so
// that it depends on nothing of the program: a hidden temporary file beside
// the target, and putting it in place without replacing anything.
namespace RenderFiles {

// A fresh, empty, hidden file in target's folder with a short fixed-length
// name that keeps target's suffix. Empty on failure, *errnoValue set.
QString createTempBeside(const QString &target, int *errnoValue);

// Moves temp to the free name target; an existing target is kept and the
// call fails with EEXIST. temp is removed on failure. Returns 0 or errno.
int linkInPlace(const QString &temp, const QString &target);

} // namespace RenderFiles
