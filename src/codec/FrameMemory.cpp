#include "FrameMemory.h"

#include <sys/mman.h>

#include <QFile>

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

QByteArray readAll(QFile *file)
{
    const qint64 left = file->size() - file->pos();
    if (file->isSequential() || left < qint64(2 * kLargePage) || left >= 0x7fffff00)
        return file->readAll();
    QByteArray bytes;
    try {
        bytes.resize(int(left));
    } catch (...) {
        return file->readAll(); // fails the same way readAll() would
    }
    adviseLargePages(bytes.data(), left);
    qint64 got = 0;
    while (got < left) {
        const qint64 n = file->read(bytes.data() + got, left - got);
        if (n <= 0)
            break;
        got += n;
    }
    bytes.resize(int(got));
    // A file that grew meanwhile is read to its end, as readAll() does.
    if (got == left)
        bytes.append(file->readAll());
    return bytes;
}

} // namespace FrameMemory
