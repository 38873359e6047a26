#include "PngWriter.h"

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <QColorSpace>
#include <QFile>
#include <QMap>
#include <QVarLengthArray>
#include <QVector>
#include <QtEndian>

#include "codec/FileOutput.h"
#include "codec/RowBlock.h"
#include "codec/WriteFailure.h"

namespace {

// Gives pointers to count rows of 32-bit pixels from row first on; false
// when they cannot be had.
using RowPointers = std::function<bool(png_bytep *rows, int first, int count)>;

constexpr int kBlockRows = 64;

// Everything the libpng frame below needs, made beforehand: that frame holds
// no object with a destructor, since libpng leaves it by longjmp.
struct Job
{
    int fd = -1;
    int savedErrno = 0;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    bool alpha = false;
    int level = -1;
    const char *iccName = nullptr;
    const png_byte *icc = nullptr;
    png_uint_32 iccSize = 0;
    png_uint_32 dotsPerMeterX = 0;
    png_uint_32 dotsPerMeterY = 0;
    png_textp texts = nullptr;
    int textCount = 0;
    const RowPointers *rows = nullptr;
    png_bytep *pointers = nullptr;
    bool sourceFailed = false;
};

void writeToFile(png_structp png, png_bytep data, png_size_t length)
{
    auto *job = static_cast<Job *>(png_get_io_ptr(png));
    if (!FileOutput::writeAll(job->fd, data, length, -1, &job->savedErrno))
        png_error(png, "Write Error");
}

void flushNothing(png_structp) { }

[[noreturn]] void jumpOnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void ignoreWarning(png_structp, png_const_charp) { }

bool fillRows(Job *job, int first, int count) { return (*job->rows)(job->pointers, first, count); }

bool writePng(Job *job)
{
    png_structp png
        = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, jumpOnError, ignoreWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    if (job->level >= 0)
        png_set_compression_level(png, job->level);
    png_set_write_fn(png, job, writeToFile, flushNothing);
    png_set_IHDR(png, info, job->width, job->height, 8,
        job->alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
        PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    if (job->icc)
        png_set_iCCP(png, info, job->iccName, PNG_COMPRESSION_TYPE_BASE, job->icc, job->iccSize);
    if (job->dotsPerMeterX > 0 || job->dotsPerMeterY > 0)
        png_set_pHYs(png, info, job->dotsPerMeterX, job->dotsPerMeterY, PNG_RESOLUTION_METER);
    if (job->textCount > 0)
        png_set_text(png, info, job->texts, job->textCount);
    png_write_info(png, info);
    // The pixels lie in memory as B, G, R and alpha (or an unused byte).
    png_set_bgr(png);
    if (!job->alpha)
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    for (png_uint_32 first = 0; first < job->height; first += kBlockRows) {
        const int count = int(qMin<png_uint_32>(kBlockRows, job->height - first));
        if (!fillRows(job, int(first), count)) {
            job->sourceFailed = true;
            png_destroy_write_struct(&png, &info);
            return false;
        }
        png_write_rows(png, job->pointers, png_uint_32(count));
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// The name the toolkit gives a colour space's profile: the description
// read from its 'desc' tag (ICC v2 text or the first record of v4's
// multilingual text), "Custom" without one.
QByteArray profileName(const QByteArray &icc)
{
    const auto u32 = [&icc](qsizetype at) {
        return at >= 0 && at + 4 <= icc.size() ? qFromBigEndian<quint32>(icc.constData() + at) : 0u;
    };
    QString description;
    const quint32 tags = u32(128);
    for (quint32 i = 0; i < tags && 132 + qsizetype(i + 1) * 12 <= icc.size(); ++i) {
        const qsizetype entry = 132 + qsizetype(i) * 12;
        if (u32(entry) != 0x64657363u) // 'desc'
            continue;
        const qsizetype offset = u32(entry + 4);
        const qsizetype size = u32(entry + 8);
        if (offset + size > icc.size() || size < 12)
            break;
        const quint32 type = u32(offset);
        if (type == 0x64657363u) { // 'desc': an ASCII count and text
            const quint32 length = u32(offset + 8);
            if (length >= 1 && quint32(size - 12) >= length
                && icc.at(offset + 12 + length - 1) == '\0')
                description = QString::fromLatin1(icc.constData() + offset + 12, int(length - 1));
        } else if (type == 0x6d6c7563u && size >= 28) { // 'mluc': UTF-16BE records
            const quint32 records = u32(offset + 8);
            const quint32 recordSize = u32(offset + 12);
            const quint32 stringSize = u32(offset + 20);
            const quint32 stringOffset = u32(offset + 24);
            if (records >= 1 && recordSize >= 12 && quint32(size) >= stringOffset
                && quint32(size) - stringOffset >= stringSize
                && !((stringSize | stringOffset) & 1)) {
                qsizetype count = stringSize / 2;
                const char *text = icc.constData() + offset + stringOffset;
                if (count > 1 && qFromBigEndian<quint16>(text + (count - 1) * 2) == 0)
                    --count;
                QVector<ushort> utf16(static_cast<int>(count));
                for (qsizetype c = 0; c < count; ++c)
                    utf16[int(c)] = qFromBigEndian<quint16>(text + c * 2);
                description = QString::fromUtf16(utf16.constData(), int(count));
            }
        }
        break;
    }
    const QByteArray name = description.toLatin1();
    return name.isEmpty() ? QByteArrayLiteral("Custom") : name;
}

// The toolkit's zlib level for a quality: 100 stores, 0 is level 9.
int levelFor(int quality)
{
    if (quality < 0)
        return -1;
    return qMin((100 - qMin(quality, 100)) * 9 / 91, 9);
}

bool writeFile(const QString &path, const QSize &size, bool alpha, const QImage &metadata,
    int quality, const RowPointers &rows, QString *error, bool *sourceFailed)
{
    if (size.isEmpty()) {
        WriteFailure::report(error, QStringLiteral("there is no picture to encode"));
        return false;
    }
    Job job;
    job.width = png_uint_32(size.width());
    job.height = png_uint_32(size.height());
    job.alpha = alpha;
    job.level = levelFor(quality);
    job.rows = &rows;
    QVarLengthArray<png_bytep, kBlockRows> pointers(kBlockRows);
    job.pointers = pointers.data();

    QByteArray icc;
    QByteArray iccName;
    if (metadata.colorSpace().isValid()) {
        icc = metadata.colorSpace().iccProfile();
        iccName = profileName(icc);
        if (!icc.isEmpty()) {
            job.icc = reinterpret_cast<const png_byte *>(icc.constData());
            job.iccSize = png_uint_32(icc.size());
            job.iccName = iccName.constData();
        }
    }
    job.dotsPerMeterX = png_uint_32(qMax(0, metadata.dotsPerMeterX()));
    job.dotsPerMeterY = png_uint_32(qMax(0, metadata.dotsPerMeterY()));

    // The text keys in order: Latin-1 values as tEXt (zTXt from 40
    // characters on), others as UTF-8 iTXt (compressed from 40 on).
    QMap<QString, QString> text;
    for (const QString &key : metadata.textKeys()) {
        if (!key.isEmpty())
            text.insert(key, metadata.text(key));
    }
    std::vector<QByteArray> strings; // key, value and language key of each
    strings.reserve(size_t(text.size()) * 3);
    std::vector<png_text> texts(size_t(text.size()));
    int n = 0;
    for (auto it = text.constBegin(); it != text.constEnd(); ++it, ++n) {
        const QString &value = it.value();
        const bool plain = value.length() < 40;
        bool international = false;
        for (const QChar c : value) {
            const uchar cell = c.cell();
            if (c.row() || (cell < 0x20 && cell != '\n') || (cell > 0x7e && cell < 0xa0)) {
                international = true;
                break;
            }
        }
        png_text &entry = texts[size_t(n)];
        entry = png_text();
        strings.push_back(it.key().left(79).toLatin1());
        entry.key = strings.back().data();
#ifdef PNG_iTXt_SUPPORTED
        if (international) {
            entry.compression = plain ? PNG_ITXT_COMPRESSION_NONE : PNG_ITXT_COMPRESSION_zTXt;
            strings.push_back(value.toUtf8());
            entry.text = strings.back().data();
            entry.itxt_length = size_t(strings.back().size());
            entry.lang = const_cast<char *>("UTF-8");
            strings.push_back(it.key().toUtf8());
            entry.lang_key = strings.back().data();
            continue;
        }
#endif
        entry.compression = plain ? PNG_TEXT_COMPRESSION_NONE : PNG_TEXT_COMPRESSION_zTXt;
        strings.push_back(value.toLatin1());
        entry.text = strings.back().data();
        entry.text_length = size_t(strings.back().size());
    }
    job.texts = texts.empty() ? nullptr : texts.data();
    job.textCount = n;

    const QByteArray name = QFile::encodeName(path);
    job.fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (job.fd < 0) {
        WriteFailure::report(error, WriteFailure::describeErrno(errno));
        return false;
    }
    bool ok = writePng(&job);
    if (::close(job.fd) != 0 && ok) {
        job.savedErrno = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(name.constData());
        WriteFailure::report(error,
            job.sourceFailed     ? QStringLiteral("the picture could not be read")
                : job.savedErrno ? WriteFailure::describeErrno(job.savedErrno)
                                 : QStringLiteral("the PNG writer failed"));
    }
    if (sourceFailed)
        *sourceFailed = job.sourceFailed;
    return ok;
}

} // namespace

namespace PngWriter {

bool takes(const QImage &image)
{
    return image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
        || image.format() == QImage::Format_ARGB32_Premultiplied;
}

bool write(const QImage &source, int quality, const QString &path, QString *error)
{
    if (source.isNull() || !takes(source)) {
        WriteFailure::report(error, QStringLiteral("there is no picture to encode"));
        return false;
    }
    // The toolkit's writer stores premultiplied pictures as plain ARGB32.
    const QImage image = source.format() == QImage::Format_ARGB32_Premultiplied
        ? source.convertToFormat(QImage::Format_ARGB32)
        : source;
    if (image.isNull()) {
        WriteFailure::report(error, WriteFailure::describeErrno(ENOMEM));
        return false;
    }
    const RowPointers rows = [&image](png_bytep *out, int first, int count) {
        for (int i = 0; i < count; ++i)
            out[i] = const_cast<png_bytep>(image.constScanLine(first + i));
        return true;
    };
    return writeFile(path, image.size(), image.format() == QImage::Format_ARGB32, image, quality,
        rows, error, nullptr);
}

bool writeRows(const QSize &size, const QImage &metadata, int quality, const RowSource &next,
    const QString &path, QString *error, bool *sourceFailed)
{
    RowBlock block(next, size.width());
    const RowPointers rows = [&block](png_bytep *out, int first, int count) {
        uchar *const *filled = block.fill(first, count);
        if (filled)
            std::copy(filled, filled + count, out);
        return filled != nullptr;
    };
    bool gaveUp = false;
    const bool ok = writeFile(path, size, false, metadata, quality, rows, error, &gaveUp);
    if (block.outOfMemory())
        WriteFailure::report(error, WriteFailure::describeErrno(ENOMEM));
    if (sourceFailed)
        *sourceFailed = gaveUp && !block.outOfMemory();
    return ok;
}

} // namespace PngWriter
