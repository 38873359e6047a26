#pragma once

#include <QString>

// Checks made on an input before anything reads it. Any thread.
namespace InputCheck {

// Empty when path is a regular file that can be opened for reading (through
// symbolic links); otherwise one plain line: "no such file", "not a regular
// file (a FIFO)", "cannot be read: Permission denied". The file is opened
// without blocking, so a FIFO or a device never stalls the caller.
QString regularFileProblem(const QString &path);

} // namespace InputCheck
