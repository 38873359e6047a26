#pragma once

#include <cstddef>

#include <QtGlobal>

// Checked writes for the writers that talk to the file system themselves.
// Safe from any thread.
namespace FileOutput {

// Writes size bytes of data to fd, at offset when it is not negative (the
// file position is then left alone), retrying short and interrupted
// writes. False with the system's error number in *savedErrno when a write
// fails.
bool writeAll(int fd, const void *data, size_t size, qint64 offset, int *savedErrno);

} // namespace FileOutput
