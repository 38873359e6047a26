#include "PageImageWriter.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>

#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QRandomGenerator>

namespace PageImageWriter {

namespace {

// The library depends on nothing of the program: its own temporary sibling
// (created exclusively, hidden, keeping the suffix) and rename.
QString siblingTempPath(const QString &target)
{
    const QFileInfo info(target);
    const QString suffix = info.suffix();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString token = QString::number(QRandomGenerator::global()->generate64(), 36);
        QString path = info.absolutePath() + QStringLiteral("/.") + info.completeBaseName()
            + QStringLiteral(".part-") + token;
        if (!suffix.isEmpty())
            path += QLatin1Char('.') + suffix;
        const int fd = ::open(
            QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            return QString();
    }
    return QString();
}

bool replaceFile(const QString &from, const QString &to)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    QFile::remove(from);
    return false;
}

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

bool writePng(const QImage &rgb32, const QString &path)
{
    FILE *file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file)
        return false;
    png_structp png
        = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = png && info && writePngRows(png, info, file, &rgb32);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0)
        ok = false;
    return ok;
}

bool writeWithQt(const QImage &image, Format format, const QString &path)
{
    QImageWriter writer(path);
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
        return false;
    }
    return writer.write(image);
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

bool writeImage(const QImage &image, Format format, const QString &target)
{
    if (format == Format::Unsupported || image.isNull())
        return false;
    const QFileInfo existing(target);
    if (existing.exists() && (!existing.isFile() || existing.size() > 0))
        return false;

    const QImage rgb32 = image.format() == QImage::Format_RGB32
        ? image
        : image.convertToFormat(QImage::Format_RGB32);
    if (rgb32.isNull())
        return false;

    const QString temp = siblingTempPath(target);
    if (temp.isEmpty())
        return false;
    const bool written
        = format == Format::Png ? writePng(rgb32, temp) : writeWithQt(rgb32, format, temp);
    if (!written) {
        QFile::remove(temp);
        return false;
    }
    return replaceFile(temp, target);
}

} // namespace PageImageWriter
