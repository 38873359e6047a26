#include "FileOutput.h"

#include <cerrno>

#include <unistd.h>

namespace FileOutput {

bool writeAll(int fd, const void *data, size_t size, qint64 offset, int *savedErrno)
{
    const auto *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = offset < 0 ? ::write(fd, bytes, size) : ::pwrite(fd, bytes, size, offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *savedErrno = errno;
            return false;
        }
        bytes += n;
        size -= size_t(n);
        if (offset >= 0)
            offset += n;
    }
    return true;
}

} // namespace FileOutput
