#include "TiffWriter.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <QColorSpace>
#include <QFile>
#include <QVarLengthArray>

#include "codec/WriteFailure.h"

namespace {

// The file behind libtiff's client procedures, with the first failure kept.
struct Sink
{
    int fd = -1;
    int savedErrno = 0;
    char message[512] = { 0 };
};

tmsize_t readProc(thandle_t, void *, tmsize_t) { return -1; }

tmsize_t writeProc(thandle_t handle, void *data, tmsize_t size)
{
    auto *sink = static_cast<Sink *>(handle);
    const auto *bytes = static_cast<const char *>(data);
    tmsize_t left = size;
    while (left > 0) {
        const ssize_t n = ::write(sink->fd, bytes, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (!sink->savedErrno)
                sink->savedErrno = errno;
            return -1;
        }
        bytes += n;
        left -= n;
    }
    return size;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence)
{
    auto *sink = static_cast<Sink *>(handle);
    const off_t result = ::lseek(sink->fd, off_t(offset), whence);
    if (result < 0 && !sink->savedErrno)
        sink->savedErrno = errno;
    return result < 0 ? toff_t(-1) : toff_t(result);
}

int closeProc(thandle_t) { return 0; } // the caller closes and checks

toff_t sizeProc(thandle_t handle)
{
    struct stat st;
    return ::fstat(static_cast<Sink *>(handle)->fd, &st) == 0 ? toff_t(st.st_size) : 0;
}

int mapProc(thandle_t, void **, toff_t *) { return 0; }

void unmapProc(thandle_t, void *, toff_t) { }

int keepError(TIFF *, void *user, const char *, const char *format, va_list args)
{
    auto *sink = static_cast<Sink *>(user);
    if (!sink->message[0])
        std::vsnprintf(sink->message, sizeof(sink->message), format, args);
    return 1;
}

int ignoreWarning(TIFF *, void *, const char *, const char *, va_list) { return 1; }

enum class Layout { Rgb, Rgba, RgbaPremultiplied };

// Rows y0..y0+count-1 of image as contiguous samples in out.
void convertRows(const QImage &image, Layout layout, int y0, int count, uchar *out)
{
    const int width = image.width();
    for (int y = y0; y < y0 + count; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        if (layout == Layout::Rgb) {
            for (int x = 0; x < width; ++x) {
                const QRgb p = line[x];
                *out++ = uchar(qRed(p));
                *out++ = uchar(qGreen(p));
                *out++ = uchar(qBlue(p));
            }
        } else {
            for (int x = 0; x < width; ++x) {
                const QRgb p = line[x];
                *out++ = uchar(qRed(p));
                *out++ = uchar(qGreen(p));
                *out++ = uchar(qBlue(p));
                *out++ = uchar(qAlpha(p));
            }
        }
    }
}

// Fills count rows from row y0 on as contiguous samples in out; false when
// they cannot be had.
using StripSource = std::function<bool(int y0, int count, uchar *out)>;

// The directory of a picture of size; metadata gives the resolution and the
// colour space, strips the samples.
bool writeDirectory(
    TIFF *tiff, const QSize &size, const QImage &metadata, Layout layout, const StripSource &strips)
{
    const int samples = layout == Layout::Rgb ? 3 : 4;
    const qint64 rowBytes = qint64(size.width()) * samples;
    const uint32_t rowsPerStrip
        = uint32_t(qBound<qint64>(1, (256 * 1024) / rowBytes, size.height()));
    bool ok = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(size.width()))
        && TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(size.height()))
        && TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8)
        && TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples)
        && TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB)
        && TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG)
        && TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE)
        && TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT)
        && TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    if (ok && layout != Layout::Rgb) {
        const uint16_t extra
            = layout == Layout::RgbaPremultiplied ? EXTRASAMPLE_ASSOCALPHA : EXTRASAMPLE_UNASSALPHA;
        ok = TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    // Resolution in dots per inch when it is a whole number there, as the
    // toolkit's writer decides, else per centimetre.
    const int dpmX = metadata.dotsPerMeterX();
    const int dpmY = metadata.dotsPerMeterY();
    if (ok && dpmX > 0 && dpmY > 0) {
        if ((dpmX * 254) % 10000 == 0 && (dpmY * 254) % 10000 == 0)
            ok = TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH)
                && TIFFSetField(tiff, TIFFTAG_XRESOLUTION, float(dpmX * 0.0254))
                && TIFFSetField(tiff, TIFFTAG_YRESOLUTION, float(dpmY * 0.0254));
        else
            ok = TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER)
                && TIFFSetField(tiff, TIFFTAG_XRESOLUTION, float(dpmX / 100.0))
                && TIFFSetField(tiff, TIFFTAG_YRESOLUTION, float(dpmY / 100.0));
    }
    const QByteArray icc = metadata.colorSpace().iccProfile();
    if (ok && !icc.isEmpty())
        ok = TIFFSetField(tiff, TIFFTAG_ICCPROFILE, uint32_t(icc.size()), icc.constData());
    if (!ok)
        return false;

    std::vector<uchar> strip;
    try {
        strip.resize(size_t(rowBytes) * rowsPerStrip);
    } catch (...) {
        return false;
    }
    uint32_t index = 0;
    for (int y = 0; y < size.height(); y += int(rowsPerStrip), ++index) {
        const int count = qMin(int(rowsPerStrip), size.height() - y);
        if (!strips(y, count, strip.data()))
            return false;
        if (TIFFWriteEncodedStrip(tiff, index, strip.data(), tmsize_t(rowBytes * count)) < 0)
            return false;
    }
    return TIFFWriteDirectory(tiff) != 0;
}

// Opens path (created or truncated) for libtiff, lets write fill it and
// checks every write and the close; on failure the file is removed and
// *error holds the reason.
bool writeFile(const QString &path, QString *error, const std::function<bool(TIFF *)> &write)
{
    const QByteArray name = QFile::encodeName(path);
    Sink sink;
    sink.fd = ::open(name.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (sink.fd < 0) {
        WriteFailure::report(error, WriteFailure::describeErrno(errno));
        return false;
    }
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, keepError, &sink);
    TIFFOpenOptionsSetWarningHandlerExtR(options, ignoreWarning, &sink);
    // "m": no memory mapping of the file being written.
    TIFF *tiff = TIFFClientOpenExt(name.constData(), "wm", &sink, readProc, writeProc, seekProc,
        closeProc, sizeProc, mapProc, unmapProc, options);
    TIFFOpenOptionsFree(options);
    bool ok = tiff && write(tiff);
    if (tiff) {
        // TIFFClose flushes what is still buffered; its failures reach the sink.
        TIFFClose(tiff);
        ok = ok && !sink.savedErrno && !sink.message[0];
    }
    const int closeResult = ::close(sink.fd);
    if (closeResult != 0 && !sink.savedErrno)
        sink.savedErrno = errno;
    ok = ok && closeResult == 0;
    if (!ok) {
        ::unlink(name.constData());
        if (sink.savedErrno)
            WriteFailure::report(error, WriteFailure::describeErrno(sink.savedErrno));
        else
            WriteFailure::report(error,
                QStringLiteral("the TIFF writer failed: %1")
                    .arg(sink.message[0] ? QString::fromLocal8Bit(sink.message)
                                         : QStringLiteral("unknown error")));
    }
    return ok;
}

} // namespace

namespace TiffWriter {

bool write(const QImage &source, const QString &path, QString *error)
{
    if (source.isNull()) {
        WriteFailure::report(error, QStringLiteral("there is no picture to encode"));
        return false;
    }
    Layout layout;
    QImage image;
    switch (source.format()) {
    case QImage::Format_RGB32:
        image = source;
        layout = Layout::Rgb;
        break;
    case QImage::Format_ARGB32:
        image = source;
        layout = Layout::Rgba;
        break;
    case QImage::Format_ARGB32_Premultiplied:
        image = source;
        layout = Layout::RgbaPremultiplied;
        break;
    default:
        // Decoders hand out the three above; anything else is converted once.
        if (source.hasAlphaChannel()) {
            image = source.convertToFormat(QImage::Format_ARGB32);
            layout = Layout::Rgba;
        } else {
            image = source.convertToFormat(QImage::Format_RGB32);
            layout = Layout::Rgb;
        }
        break;
    }
    if (image.isNull()) {
        WriteFailure::report(error, WriteFailure::describeErrno(ENOMEM));
        return false;
    }

    return writeFile(path, error, [&](TIFF *tiff) {
        return writeDirectory(
            tiff, image.size(), image, layout, [&image, layout](int y0, int count, uchar *out) {
                convertRows(image, layout, y0, count, out);
                return true;
            });
    });
}

bool writeRows(const QSize &size, const QImage &metadata, const RowSource &next,
    const QString &path, QString *error, bool *sourceFailed)
{
    if (sourceFailed)
        *sourceFailed = false;
    if (size.isEmpty()) {
        WriteFailure::report(error, QStringLiteral("there is no picture to encode"));
        return false;
    }
    // One strip's rows at a time, decoded into a block and converted from it.
    QImage block;
    bool gaveUp = false;
    bool outOfMemory = false;
    const StripSource strips = [&](int y0, int count, uchar *out) {
        if (block.height() < count)
            block = QImage(size.width(), count, QImage::Format_RGB32);
        if (block.isNull()) {
            outOfMemory = true;
            return false;
        }
        QVarLengthArray<uchar *, 64> rows(count);
        for (int i = 0; i < count; ++i)
            rows[i] = block.scanLine(i);
        if (!next(rows.data(), y0, count)) {
            gaveUp = true;
            return false;
        }
        convertRows(block, Layout::Rgb, 0, count, out);
        return true;
    };
    QString why;
    const bool ok = writeFile(path, &why,
        [&](TIFF *tiff) { return writeDirectory(tiff, size, metadata, Layout::Rgb, strips); });
    if (!ok) {
        if (sourceFailed)
            *sourceFailed = gaveUp;
        WriteFailure::report(error,
            gaveUp            ? QStringLiteral("the picture could not be read")
                : outOfMemory ? WriteFailure::describeErrno(ENOMEM)
                              : why);
    }
    return ok;
}

} // namespace TiffWriter
