#include "PageImageWriter.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>

#include <png.h>

#include <QFile>
#include <QFileInfo>
#include <QImageWriter>

#include "RenderFiles.h"

namespace PageImageWriter {

namespace {

// Rendered pages are photos as often as text. zlib level 1 with the Average
// filter on every row writes a photo page about five times faster than Qt's
// default PNG writer (level 6, adaptive filters) for about a fifth more
// bytes; on white text pages the difference in size is small.
constexpr int kPngZlibLevel = 1;
constexpr int kJpegQuality = 92;
constexpr int kWebpQuality = 90;
constexpr int kTiffLzw = 1;

[[noreturn]] void onPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void onPngWarning(png_structp, png_const_charp) { }

// Kept free of C++ objects with destructors: libpng leaves through longjmp.
bool writePngRows(png_structp png, png_infop info, FILE *file, const QImage *image)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image->width()),
        static_cast<png_uint_32>(image->height()), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
        PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(png, info, static_cast<png_uint_32>(image->dotsPerMeterX()),
        static_cast<png_uint_32>(image->dotsPerMeterY()), PNG_RESOLUTION_METER);
    png_set_compression_level(png, kPngZlibLevel);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_AVG);
    png_write_info(png, info);
    // RGB32 rows are 0xffRRGGBB words: B,G,R,x in memory on little-endian
    // machines, x,R,G,B on big-endian ones. libpng drops the filler byte.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    png_set_bgr(png);
    png_set_filler(png, 0, PNG_FILLER_AFTER);
#else
    png_set_filler(png, 0, PNG_FILLER_BEFORE);
#endif
    for (int y = 0; y < image->height(); ++y)
        png_write_row(png, const_cast<png_bytep>(image->constScanLine(y)));
    png_write_end(png, info);
    return true;
}

// libpng stops at the first short write (png_error); the stream's own error
// flag and fclose catch what the buffer held back.
int writePng(const QImage &rgb32, const QString &path)
{
    FILE *file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file)
        return errno;
    png_structp png
        = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    errno = 0;
    bool ok = png && info && writePngRows(png, info, file, &rgb32);
    int failure = ok ? 0 : (errno != 0 ? errno : EIO);
    png_destroy_write_struct(&png, &info);
    if ((std::fflush(file) != 0 || std::ferror(file)) && failure == 0)
        failure = errno != 0 ? errno : EIO;
    if (std::fclose(file) != 0 && failure == 0)
        failure = errno;
    return failure;
}

// A file that remembers its first failed write. The file's own error does
// not last: the toolkit's TIFF writer seeks back to its header after the
// pixels, and a seek that succeeds clears it, so a page cut short by a full
// device would pass for written. Unbuffered, every write of the writer
// arrives here as it is made.
class WriteCheckedFile : public QFile
{
public:
    using QFile::QFile;
    int failure() const { return m_failure; }

protected:
    qint64 writeData(const char *data, qint64 length) override
    {
        errno = 0;
        const qint64 written = QFile::writeData(data, length);
        if (written != length && m_failure == 0)
            m_failure = errno != 0 ? errno : EIO;
        return written;
    }

private:
    int m_failure = 0;
};

// The toolkit's writers do not all look at what the device did with their
// bytes (its JPEG writer goes on after a failed write, its TIFF writer does
// not check the last strip and the directory it writes when it closes), so
// the device is checked after the writer is done.
int writeWithQt(const QImage &image, Format format, const QString &path)
{
    WriteCheckedFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return EACCES;
    QImageWriter writer(&file, QByteArray());
    switch (format) {
    case Format::Jpeg:
        writer.setFormat("jpg");
        writer.setQuality(kJpegQuality);
        break;
    case Format::Bmp:
        writer.setFormat("bmp");
        break;
    case Format::Webp:
        writer.setFormat("webp");
        writer.setQuality(kWebpQuality);
        break;
    case Format::Tiff:
        writer.setFormat("tif");
        writer.setCompression(kTiffLzw);
        break;
    default:
        return EINVAL;
    }
    errno = 0;
    const bool written = writer.write(image);
    const bool flushed = file.flush();
    int failure = file.failure() != 0 ? file.failure() : errno;
    file.close();
    if (written && flushed && file.error() == QFileDevice::NoError && file.failure() == 0)
        return 0;
    return failure != 0 ? failure : EIO;
}

} // namespace

Format formatForPath(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return Format::Png;
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return Format::Jpeg;
    if (suffix == QLatin1String("bmp"))
        return Format::Bmp;
    if (suffix == QLatin1String("webp"))
        return Format::Webp;
    if (suffix == QLatin1String("tif") || suffix == QLatin1String("tiff"))
        return Format::Tiff;
    return Format::Unsupported;
}

int writeImage(const QImage &image, Format format, const QString &target)
{
    if (format == Format::Unsupported || image.isNull())
        return EINVAL;
    const QImage rgb32 = image.format() == QImage::Format_RGB32
        ? image
        : image.convertToFormat(QImage::Format_RGB32);
    if (rgb32.isNull())
        return ENOMEM;

    int failure = 0;
    const QString temp = RenderFiles::createTempBeside(target, &failure);
    if (temp.isEmpty())
        return failure;
    failure = format == Format::Png ? writePng(rgb32, temp) : writeWithQt(rgb32, format, temp);
    if (failure != 0) {
        QFile::remove(temp);
        return failure;
    }
    return RenderFiles::linkInPlace(temp, target);
}

} // namespace PageImageWriter
