#include "FrameMemory.h"

#include <sys/mman.h>

namespace FrameMemory {

namespace {

constexpr quintptr kLargePage = quintptr(2) << 20;

} // namespace

QImage allocate(const QSize &size, QImage::Format format)
{
    QImage image(size, format);
    // A fresh image is unshared: bits() gives its own memory without a copy.
    if (!image.isNull())
        adviseLargePages(image.bits(), image.sizeInBytes());
    return image;
}

void adviseLargePages(void *data, qsizetype bytes)
{
    if (!data || bytes < qsizetype(2 * kLargePage))
        return;
    const quintptr start = reinterpret_cast<quintptr>(data);
    const quintptr begin = (start + kLargePage - 1) & ~(kLargePage - 1);
    const quintptr end = (start + quintptr(bytes)) & ~(kLargePage - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
}

} // namespace FrameMemory
