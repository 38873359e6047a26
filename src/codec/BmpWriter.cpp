#include "BmpWriter.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QVarLengthArray>
#include <QtEndian>

#include "codec/FileOutput.h"
#include "codec/RowBlock.h"
#include "codec/WriteFailure.h"

namespace {

constexpr int kHeaderBytes = 14 + 40; // file header and BITMAPINFOHEADER
constexpr int kBlockBytes = 256 * 1024;

// Fills the pointers to count rows of 32-bit pixels from row first on;
// false when they cannot be had.
using RowPointers = std::function<bool(const uchar **rows, int first, int count)>;

void put16(uchar *at, quint16 value) { qToLittleEndian(value, at); }
void put32(uchar *at, quint32 value) { qToLittleEndian(value, at); }

// The toolkit writer's resolution: the picture's own, or 72 dpi without one.
quint32 pelsPerMeter(int dotsPerMeter) { return dotsPerMeter ? quint32(dotsPerMeter) : 2834u; }

// Writes the file: header, then the rows of blocks from the top down, each
// block reversed into its place near the end of the file (BMP keeps the
// bottom row first). *sourceFailed tells a source that gave up.
bool writeFile(const QString &path, const QSize &size, const QImage &metadata,
    const RowPointers &rows, QString *error, bool *sourceFailed)
{
    const qint64 rowBytes = ((qint64(size.width()) * 24 + 31) / 32) * 4;
    const qint64 imageBytes = rowBytes * size.height();
    if (size.isEmpty() || kHeaderBytes + imageBytes > qint64(0xffffffffu)) {
        WriteFailure::report(error,
            size.isEmpty() ? QStringLiteral("there is no picture to encode")
                           : QStringLiteral("the picture is too large for a BMP file"));
        return false;
    }

    uchar header[kHeaderBytes] = {};
    header[0] = 'B';
    header[1] = 'M';
    put32(header + 2, quint32(kHeaderBytes + imageBytes));
    put32(header + 10, kHeaderBytes);
    put32(header + 14, 40);
    put32(header + 18, quint32(size.width()));
    put32(header + 22, quint32(size.height()));
    put16(header + 26, 1);
    put16(header + 28, 24);
    put32(header + 34, quint32(imageBytes));
    put32(header + 38, pelsPerMeter(metadata.dotsPerMeterX()));
    put32(header + 42, pelsPerMeter(metadata.dotsPerMeterY()));

    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        WriteFailure::report(error, WriteFailure::describeErrno(errno));
        return false;
    }
    int savedErrno = 0;
    bool ok = FileOutput::writeAll(fd, header, sizeof(header), 0, &savedErrno);

    const int blockRows = int(qBound<qint64>(1, kBlockBytes / rowBytes, size.height()));
    // One block for the whole picture; the pad bytes at the rows' ends stay
    // zero, the rest is written over for every block.
    std::vector<uchar> block;
    try {
        block.assign(size_t(rowBytes * blockRows), 0);
    } catch (const std::bad_alloc &) {
        savedErrno = ENOMEM;
        ok = false;
    }
    QVarLengthArray<const uchar *, 64> pointers(blockRows);
    bool gaveUp = false;
    for (int first = 0; ok && first < size.height(); first += blockRows) {
        const int count = qMin(blockRows, size.height() - first);
        if (!rows(pointers.data(), first, count)) {
            gaveUp = true;
            ok = false;
            break;
        }
        // The block's last row comes first in the file.
        for (int i = 0; i < count; ++i) {
            const auto *in = reinterpret_cast<const QRgb *>(pointers[i]);
            uchar *out = block.data() + qsizetype(count - 1 - i) * rowBytes;
            for (int x = 0; x < size.width(); ++x, out += 3) {
                out[0] = uchar(qBlue(in[x]));
                out[1] = uchar(qGreen(in[x]));
                out[2] = uchar(qRed(in[x]));
            }
        }
        const off_t offset = kHeaderBytes + off_t(size.height() - first - count) * rowBytes;
        ok = FileOutput::writeAll(fd, block.data(), size_t(rowBytes * count), offset, &savedErrno);
    }
    if (::close(fd) != 0 && ok) {
        savedErrno = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(name.constData());
        WriteFailure::report(error,
            gaveUp ? QStringLiteral("the picture could not be read")
                   : WriteFailure::describeErrno(savedErrno));
    }
    if (sourceFailed)
        *sourceFailed = gaveUp;
    return ok;
}

} // namespace

namespace BmpWriter {

bool takes(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_Invalid:
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
    case QImage::Format_Alpha8:
    case QImage::Format_Grayscale8:
        return false;
    default:
        return true;
    }
}

bool write(const QImage &source, const QString &path, QString *error)
{
    if (source.isNull() || !takes(source)) {
        WriteFailure::report(error, QStringLiteral("there is no picture to encode"));
        return false;
    }
    // The toolkit's writer keeps RGB32 and ARGB32 as they are and turns
    // other pictures into one of them; alpha is then left out.
    QImage image = source;
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        image = image.convertToFormat(
            image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull()) {
        WriteFailure::report(error, WriteFailure::describeErrno(ENOMEM));
        return false;
    }
    const RowPointers rows = [&image](const uchar **out, int first, int count) {
        for (int i = 0; i < count; ++i)
            out[i] = image.constScanLine(first + i);
        return true;
    };
    return writeFile(path, image.size(), image, rows, error, nullptr);
}

bool writeRows(const QSize &size, const QImage &metadata, const RowSource &next,
    const QString &path, QString *error, bool *sourceFailed)
{
    RowBlock block(next, size.width());
    const RowPointers rows = [&block](const uchar **out, int first, int count) {
        uchar *const *filled = block.fill(first, count);
        if (filled)
            std::copy(filled, filled + count, out);
        return filled != nullptr;
    };
    bool gaveUp = false;
    const bool ok = writeFile(path, size, metadata, rows, error, &gaveUp);
    if (block.outOfMemory())
        WriteFailure::report(error, WriteFailure::describeErrno(ENOMEM));
    if (sourceFailed)
        *sourceFailed = gaveUp && !block.outOfMemory();
    return ok;
}

} // namespace BmpWriter
