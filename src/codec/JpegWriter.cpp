#include "JpegWriter.h"

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <iterator>

#include <fcntl.h>
#include <jerror.h>
#include <jpeglib.h>
#include <unistd.h>

#include <QColorSpace>
#include <QFile>
#include <QVector>

#include "codec/FileOutput.h"
#include "codec/WriteFailure.h"

namespace {

// Everything the compressor needs, prepared before the library is entered:
// the code between setjmp and a longjmp may not own anything with a destructor.
struct Source
{
    QImage pixels; // RGB32/ARGB32(_Premultiplied), RGB888 or Grayscale8
    QSize size; // the picture's; pixels holds it unless rows come from next
    // Rows from elsewhere (BGRX) instead of pixels' own.
    const RowSource *next = nullptr;
    // With next: the same rows once more for the sample the Huffman tables
    // are worked out from; none means the whole picture is gathered.
    const RowSource *sample = nullptr;
    // Or planes of YCbCr 4:2:0 handed to the library as raw data.
    const JpegWriter::Planes420 *planes = nullptr;
    // Put on white row by row as the rows are handed over (pictures with
    // alpha): no flattened copy of the whole picture.
    bool onWhite = false;
    bool premultiplied = false;
    J_COLOR_SPACE colorSpace = JCS_EXT_BGRX;
    int components = 4;
    QVector<QByteArray> comments;
    QByteArray icc;
    UINT8 densityUnit = 0;
    UINT16 xDensity = 1;
    UINT16 yDensity = 1;
};

struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool sourceFailed = false;
};

void exitOnError(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void ignoreMessage(j_common_ptr) { }

// Output either to a file descriptor (through a buffer of the library's pool)
// or straight into a growing QByteArray; with neither it is thrown away.
struct Destination
{
    jpeg_destination_mgr pub;
    int fd = -1;
    QByteArray *bytes = nullptr;
    JOCTET *buffer = nullptr;
    size_t bufferSize = 0;
    int savedErrno = 0;
};

constexpr size_t kFileBuffer = 256 * 1024;

void initDestination(j_compress_ptr cinfo)
{
    auto *dest = reinterpret_cast<Destination *>(cinfo->dest);
    if (dest->bytes) {
        dest->pub.next_output_byte = reinterpret_cast<JOCTET *>(dest->bytes->data());
        dest->pub.free_in_buffer = size_t(dest->bytes->size());
        return;
    }
    dest->buffer = static_cast<JOCTET *>(
        (*cinfo->mem->alloc_large)(j_common_ptr(cinfo), JPOOL_IMAGE, kFileBuffer));
    dest->bufferSize = kFileBuffer;
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kFileBuffer;
}

boolean emptyOutputBuffer(j_compress_ptr cinfo)
{
    auto *dest = reinterpret_cast<Destination *>(cinfo->dest);
    if (dest->bytes) {
        // The whole array was full: double it and go on behind the old end.
        const int used = dest->bytes->size();
        if (used > (1 << 30)) {
            dest->savedErrno = ENOMEM;
            ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
        }
        bool grown = true;
        try {
            dest->bytes->resize(used * 2);
        } catch (...) {
            grown = false;
        }
        if (!grown) {
            dest->savedErrno = ENOMEM;
            ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
        }
        dest->pub.next_output_byte = reinterpret_cast<JOCTET *>(dest->bytes->data()) + used;
        dest->pub.free_in_buffer = size_t(dest->bytes->size() - used);
        return TRUE;
    }
    if (dest->fd >= 0
        && !FileOutput::writeAll(dest->fd, dest->buffer, dest->bufferSize, -1, &dest->savedErrno))
        ERREXIT(cinfo, JERR_FILE_WRITE);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = dest->bufferSize;
    return TRUE;
}

void termDestination(j_compress_ptr cinfo)
{
    auto *dest = reinterpret_cast<Destination *>(cinfo->dest);
    if (dest->bytes) {
        dest->bytes->resize(int(size_t(dest->bytes->size()) - dest->pub.free_in_buffer));
        return;
    }
    const size_t used = dest->bufferSize - dest->pub.free_in_buffer;
    if (dest->fd >= 0 && !FileOutput::writeAll(dest->fd, dest->buffer, used, -1, &dest->savedErrno))
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

// The density fields as the toolkit's writer chooses them: whichever of dots
// per inch and dots per centimetre rounds with the smaller error.
void chooseDensity(const QImage &image, Source *source)
{
    const double dpmX = image.dotsPerMeterX();
    const double dpmY = image.dotsPerMeterY();
    const double diffInch = qAbs(dpmX * 2.54 / 100. - qRound(dpmX * 2.54 / 100.))
        + qAbs(dpmY * 2.54 / 100. - qRound(dpmY * 2.54 / 100.));
    const double diffCm
        = (qAbs(dpmX / 100. - qRound(dpmX / 100.)) + qAbs(dpmY / 100. - qRound(dpmY / 100.)))
        * 2.54;
    if (diffInch < diffCm) {
        source->densityUnit = 1;
        source->xDensity = UINT16(qRound(dpmX * 2.54 / 100.));
        source->yDensity = UINT16(qRound(dpmY * 2.54 / 100.));
    } else {
        source->densityUnit = 2;
        source->xDensity = UINT16((image.dotsPerMeterX() + 50) / 100);
        source->yDensity = UINT16((image.dotsPerMeterY() + 50) / 100);
    }
}

bool prepare(const QImage &image, Source *source)
{
    switch (image.format()) {
    case QImage::Format_RGB32:
        // Little-endian 0xffRRGGBB words are B, G, R, X bytes: the library
        // reads them in place.
        source->pixels = image;
        break;
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        source->pixels = image;
        source->onWhite = true;
        source->premultiplied = image.format() == QImage::Format_ARGB32_Premultiplied;
        break;
    case QImage::Format_RGB888:
        source->pixels = image;
        source->colorSpace = JCS_RGB;
        source->components = 3;
        break;
    case QImage::Format_Grayscale8:
        source->pixels = image;
        source->colorSpace = JCS_GRAYSCALE;
        source->components = 1;
        break;
    default:
        // Rare here (the decoders hand out 32-bit frames): palette pictures of
        // greys stay one-channel, everything else becomes RGB32.
        if ((image.format() == QImage::Format_Indexed8 || image.format() == QImage::Format_Mono
                || image.format() == QImage::Format_MonoLSB)
            && image.isGrayscale()) {
            source->pixels = image.convertToFormat(QImage::Format_Grayscale8);
            source->colorSpace = JCS_GRAYSCALE;
            source->components = 1;
        } else if (image.hasAlphaChannel()) {
            source->pixels = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            source->onWhite = true;
            source->premultiplied = true;
        } else {
            source->pixels = image.convertToFormat(QImage::Format_RGB32);
        }
        break;
    }
    if (source->pixels.isNull())
        return false;
    source->size = image.size();
    chooseDensity(image, source);
    // A picture put on white keeps no text keys, as the flattened copy the
    // program used to write did not carry them.
    const QStringList keys = source->onWhite ? QStringList() : image.textKeys(); // sorted
    for (const QString &key : keys) {
        if (key.isEmpty())
            continue;
        QByteArray comment = key.toUtf8() + ": " + image.text(key).toUtf8();
        if (comment.size() > 65533)
            comment.truncate(65533);
        source->comments.append(comment);
    }
    if (source->colorSpace != JCS_GRAYSCALE)
        source->icc = image.colorSpace().iccProfile();
    return true;
}

void writeIccProfile(j_compress_ptr cinfo, const QByteArray &icc)
{
    // Split over APP2 markers of at most 65533 bytes, each opened by
    // "ICC_PROFILE\0", its sequence number and the marker count.
    constexpr int kChunk = 65533 - (12 + 2);
    const int markers = (icc.size() + kChunk - 1) / kChunk;
    if (markers > 255)
        return;
    JOCTET block[65533];
    for (int marker = 1, offset = 0; marker <= markers; ++marker) {
        const int length = qMin(icc.size() - offset, kChunk);
        std::memcpy(block, "ICC_PROFILE", 12);
        block[12] = JOCTET(marker);
        block[13] = JOCTET(markers);
        std::memcpy(block + 14, icc.constData() + offset, size_t(length));
        jpeg_write_marker(cinfo, JPEG_APP0 + 2, block, unsigned(length + 14));
        offset += length;
    }
}

// A row of a picture with alpha put on opaque white, as painting it over a
// white RGB32 image does: premultiplied colour plus the uncovered share of
// white (255 - alpha) per channel.
void rowOnWhite(const QRgb *in, QRgb *out, int width, bool premultiplied)
{
    for (int x = 0; x < width; ++x) {
        const QRgb p = premultiplied ? in[x] : qPremultiply(in[x]);
        const uint white = 255 - qAlpha(p);
        out[x] = qRgb(int(qRed(p) + white), int(qGreen(p) + white), int(qBlue(p) + white));
    }
}

// Huffman tables, as the library keeps them: DC and AC, luma and chroma.
struct HuffmanTables
{
    JHUFF_TBL dc[2];
    JHUFF_TBL ac[2];
};

// Optimised tables cost a second pass over every coefficient of the picture
// (held whole in memory for it). A tall picture instead has its tables worked
// out from every step-th band of 16 rows, gathered in a small first pass; the
// picture is then written in one pass with them. The pixels are the same
// either way; the file of a photograph is a few hundredths of a percent
// larger. Smaller pictures, where a sample says less and the second pass
// costs little, are gathered whole.
constexpr int kBand = 16;
constexpr int kMinSampledBands = 64;
constexpr qint64 kMinSampledPixels = 1 << 20;

int sampleStep(const QSize &size)
{
    const int bands = (size.height() + kBand - 1) / kBand;
    return bands < kMinSampledBands || qint64(size.width()) * size.height() < kMinSampledPixels
        ? 1
        : qMin(8, bands / 16);
}

// The rows written for a pass over every step-th band.
int passHeight(int height, int step)
{
    int rows = 0;
    for (int first = 0; first < height; first += step * kBand)
        rows += qMin(kBand, height - first);
    return rows;
}

// Ends a pass; a pass that gathered tables leaves them in *learnt.
void finish(j_compress_ptr cinfo, HuffmanTables *learnt)
{
    jpeg_finish_compress(cinfo);
    if (learnt) {
        // The optimised tables are left where the defaults were.
        for (int i = 0; i < 2; ++i) {
            learnt->dc[i] = *cinfo->dc_huff_tbl_ptrs[i];
            learnt->ac[i] = *cinfo->ac_huff_tbl_ptrs[i];
        }
    }
    jpeg_destroy_compress(cinfo);
}

// Hands YCbCr 4:2:0 planes to the library a band of 16 luma rows (8 chroma
// rows) at a time, every step-th band. The library reads whole 8 x 8 blocks:
// rows below a plane's last are its last row again, and a plane whose width
// is not a whole number of blocks is copied a row at a time with its last
// sample repeated.
void writePlanes(
    j_compress_ptr cinfo, const JpegWriter::Planes420 &planes, int width, int height, int step)
{
    JSAMPROW rows[3][kBand];
    JSAMPARRAY data[3] = { rows[0], rows[1], rows[2] };
    JSAMPARRAY padded[3] = {};
    int planeWidth[3];
    int planeHeight[3];
    int blockWidth[3];
    for (int c = 0; c < 3; ++c) {
        planeWidth[c] = c == 0 ? width : (width + 1) / 2;
        planeHeight[c] = c == 0 ? height : (height + 1) / 2;
        blockWidth[c] = int(cinfo->comp_info[c].width_in_blocks) * DCTSIZE;
        if (blockWidth[c] > planeWidth[c])
            padded[c] = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo),
                JPOOL_IMAGE, JDIMENSION(blockWidth[c]), kBand);
    }
    while (cinfo->next_scanline < cinfo->image_height) {
        const int first = int(cinfo->next_scanline) / kBand * step * kBand;
        for (int c = 0; c < 3; ++c) {
            const int count = c == 0 ? kBand : kBand / 2;
            const int firstRow = c == 0 ? first : first / 2;
            for (int i = 0; i < count; ++i) {
                const int y = qMin(firstRow + i, planeHeight[c] - 1);
                const uchar *line = planes.data[c] + qsizetype(y) * planes.stride[c];
                if (padded[c]) {
                    std::memcpy(padded[c][i], line, size_t(planeWidth[c]));
                    std::memset(padded[c][i] + planeWidth[c], line[planeWidth[c] - 1],
                        size_t(blockWidth[c] - planeWidth[c]));
                    rows[c][i] = padded[c][i];
                } else {
                    rows[c][i] = const_cast<JSAMPROW>(line);
                }
            }
        }
        jpeg_write_raw_data(cinfo, data, JDIMENSION(kBand));
    }
}

// One pass of the library; no C++ object is created between setjmp and the
// end. step 1 writes the picture, optimised or with the given tables; a
// larger step gathers optimised tables from every step-th band into *learnt
// and throws the bytes away.
bool compress(const Source &source, int quality, Destination *dest, ErrorManager *err, int step,
    const HuffmanTables *tables, HuffmanTables *learnt)
{
    jpeg_compress_struct cinfo;
    cinfo.err = jpeg_std_error(&err->pub);
    err->pub.error_exit = exitOnError;
    err->pub.output_message = ignoreMessage;
    err->message[0] = '\0';
    if (setjmp(err->jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    dest->pub.init_destination = initDestination;
    dest->pub.empty_output_buffer = emptyOutputBuffer;
    dest->pub.term_destination = termDestination;
    cinfo.dest = &dest->pub;

    const QImage &pixels = source.pixels;
    const int width = source.size.width();
    const int height = source.size.height();
    const RowSource *rowSource = step > 1 ? source.sample : source.next;
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(step > 1 ? passHeight(height, step) : height);
    cinfo.input_components = source.planes ? 3 : source.components;
    cinfo.in_color_space = source.planes ? JCS_YCbCr : source.colorSpace;
    jpeg_set_defaults(&cinfo);
    // YCbCr in gives YCbCr out with luma sampled 2 x 2: the planes' layout.
    cinfo.raw_data_in = source.planes ? TRUE : FALSE;
    cinfo.density_unit = source.densityUnit;
    cinfo.X_density = source.xDensity;
    cinfo.Y_density = source.yDensity;
    cinfo.optimize_coding = tables ? FALSE : TRUE;
    jpeg_set_quality(&cinfo, qBound(1, quality, 100), TRUE);
    if (tables) {
        // jpeg_set_defaults allocated all four; only the used ones are written.
        for (int i = 0; i < 2; ++i) {
            *cinfo.dc_huff_tbl_ptrs[i] = tables->dc[i];
            *cinfo.ac_huff_tbl_ptrs[i] = tables->ac[i];
        }
    }
    jpeg_start_compress(&cinfo, TRUE);
    if (step == 1) {
        for (const QByteArray &comment : source.comments)
            jpeg_write_marker(&cinfo, JPEG_COM,
                reinterpret_cast<const JOCTET *>(comment.constData()), unsigned(comment.size()));
        if (!source.icc.isEmpty())
            writeIccProfile(&cinfo, source.icc);
    }

    if (source.planes) {
        writePlanes(&cinfo, *source.planes, width, height, step);
        finish(&cinfo, learnt);
        return true;
    }

    // Rows are handed over in place, a band at a time; rows with alpha, and
    // rows from elsewhere, go through a band buffer of the library's pool.
    JSAMPROW rows[kBand];
    JSAMPARRAY block = source.onWhite || rowSource
        ? (*cinfo.mem->alloc_sarray)(
            reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, JDIMENSION(width) * 4, kBand)
        : nullptr;
    while (cinfo.next_scanline < cinfo.image_height) {
        // Bands are whole in the pass except perhaps the picture's last.
        const int first = int(cinfo.next_scanline) / kBand * step * kBand;
        const int count = qMin(kBand, height - first);
        if (rowSource) {
            if (!(*rowSource)(block, first, count)) {
                err->sourceFailed = true;
                jpeg_destroy_compress(&cinfo);
                return false;
            }
            jpeg_write_scanlines(&cinfo, block, JDIMENSION(count));
            continue;
        }
        for (int i = 0; i < count; ++i) {
            const uchar *line = pixels.constScanLine(first + i);
            if (block) {
                rowOnWhite(reinterpret_cast<const QRgb *>(line), reinterpret_cast<QRgb *>(block[i]),
                    width, source.premultiplied);
                rows[i] = block[i];
            } else {
                rows[i] = const_cast<JSAMPROW>(line);
            }
        }
        jpeg_write_scanlines(&cinfo, rows, JDIMENSION(count));
    }
    finish(&cinfo, learnt);
    return true;
}

// Code lengths of at most 16 bits for 256 symbols of the given weights
// (a symbol of weight 0 gets no code), in the library's bits/huffval form:
// Huffman's construction, then lengths over 16 folded back as the JPEG
// standard's table generation does, never giving out the all-ones code.
void buildTable(const quint64 (&weights)[256], JHUFF_TBL *table)
{
    // Slot 256 is the reserved code no symbol may get.
    quint64 weight[257];
    int codeSize[257];
    int next[257];
    for (int i = 0; i < 256; ++i)
        weight[i] = weights[i];
    weight[256] = 1;
    std::fill(std::begin(codeSize), std::end(codeSize), 0);
    std::fill(std::begin(next), std::end(next), -1);
    for (;;) {
        // The two lightest trees (on ties the higher symbol), merged.
        int c1 = -1;
        int c2 = -1;
        for (int i = 0; i <= 256; ++i) {
            if (weight[i] == 0)
                continue;
            if (c1 < 0 || weight[i] <= weight[c1]) {
                c2 = c1;
                c1 = i;
            } else if (c2 < 0 || weight[i] <= weight[c2]) {
                c2 = i;
            }
        }
        if (c2 < 0)
            break;
        weight[c1] += weight[c2];
        weight[c2] = 0;
        for (++codeSize[c1]; next[c1] >= 0; ++codeSize[c1])
            c1 = next[c1];
        next[c1] = c2;
        for (++codeSize[c2]; next[c2] >= 0; ++codeSize[c2])
            c2 = next[c2];
    }
    int bits[258] = {};
    for (int i = 0; i <= 256; ++i)
        if (codeSize[i] > 0)
            ++bits[codeSize[i]];
    for (int length = 257; length > 16; --length) {
        while (bits[length] > 0) {
            int shorter = length - 2;
            while (bits[shorter] == 0)
                --shorter;
            bits[length] -= 2;
            ++bits[length - 1];
            bits[shorter + 1] += 2;
            --bits[shorter];
        }
    }
    int longest = 16;
    while (bits[longest] == 0)
        --longest;
    --bits[longest]; // the reserved code
    std::memset(table, 0, sizeof(*table));
    for (int length = 1; length <= 16; ++length)
        table->bits[length] = UINT8(bits[length]);
    int at = 0;
    for (int length = 1; length <= 256; ++length)
        for (int symbol = 0; symbol < 256; ++symbol)
            if (codeSize[symbol] == length)
                table->huffval[at++] = UINT8(symbol);
}

// A table for the whole picture from one optimised for the sample: the
// sample's code lengths stand for its frequencies, and every symbol the
// picture could need that the sample did not have gets the least weight,
// so that whatever the other bands hold can be coded.
void widenTable(JHUFF_TBL *table, bool dc)
{
    quint64 weights[256] = {};
    for (int symbol = 0; symbol < 256; ++symbol) {
        // DC: the size of the difference, 0..11 at 8 bits. AC: a run of zeros
        // (high nibble) and the size of the value, 1..10, or end of block and
        // a run of sixteen zeros.
        const int size = symbol & 15;
        const bool valid
            = dc ? symbol <= 11 : (size >= 1 && size <= 10) || symbol == 0x00 || symbol == 0xf0;
        weights[symbol] = valid ? 1 : 0;
    }
    int at = 0;
    for (int length = 1; length <= 16; ++length)
        for (int n = 0; n < table->bits[length]; ++n)
            weights[table->huffval[at++]] = quint64(1) << (20 - length);
    buildTable(weights, table);
}

bool compress(const Source &source, int quality, Destination *dest, ErrorManager *err)
{
    const int step = sampleStep(source.size);
    if (step > 1 && (source.sample || !source.next)) {
        HuffmanTables tables;
        Destination discard;
        ErrorManager sampleErr;
        // A sample that cannot be had leaves the whole picture to be gathered.
        if (compress(source, quality, &discard, &sampleErr, step, nullptr, &tables)) {
            for (int i = 0; i < 2; ++i) {
                widenTable(&tables.dc[i], true);
                widenTable(&tables.ac[i], false);
            }
            return compress(source, quality, dest, err, 1, &tables, nullptr);
        }
    }
    return compress(source, quality, dest, err, 1, nullptr, nullptr);
}

QString failureText(const ErrorManager &err, const Destination &dest)
{
    if (err.sourceFailed)
        return QStringLiteral("the picture could not be read");
    if (dest.savedErrno)
        return WriteFailure::describeErrno(dest.savedErrno);
    return QStringLiteral("the JPEG encoder failed: %1").arg(QString::fromLocal8Bit(err.message));
}

bool writeSource(
    const Source &source, int quality, const QString &path, QString *error, bool *sourceFailed)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        WriteFailure::report(error, WriteFailure::describeErrno(errno));
        return false;
    }
    Destination dest;
    dest.fd = fd;
    ErrorManager err;
    bool ok = compress(source, quality, &dest, &err);
    if (sourceFailed)
        *sourceFailed = err.sourceFailed;
    QString reason = ok ? QString() : failureText(err, dest);
    // Delayed allocation failures (network file systems, quotas) may show up
    // only at the close.
    if (::close(fd) != 0 && ok) {
        ok = false;
        reason = WriteFailure::describeErrno(errno);
    }
    if (!ok) {
        ::unlink(name.constData());
        WriteFailure::report(error, reason);
    }
    return ok;
}

} // namespace

namespace JpegWriter {

bool encode(const QImage &image, int quality, QByteArray *bytes, QString *error)
{
    bytes->clear();
    Source source;
    if (image.isNull() || !prepare(image, &source)) {
        WriteFailure::report(error, QStringLiteral("there is no picture to encode"));
        return false;
    }
    // A first guess of the size (about a byte per pixel at high qualities);
    // the destination doubles it when that is not enough.
    const qint64 pixels = qint64(image.width()) * image.height();
    const qint64 guess
        = qBound<qint64>(16 * 1024, quality >= 90 ? pixels / 2 : pixels / 8, 64 << 20);
    try {
        bytes->resize(int(guess));
    } catch (...) {
        WriteFailure::report(error, WriteFailure::describeErrno(ENOMEM));
        return false;
    }
    Destination dest;
    dest.bytes = bytes;
    ErrorManager err;
    if (!compress(source, quality, &dest, &err)) {
        bytes->clear();
        WriteFailure::report(error, failureText(err, dest));
        return false;
    }
    return true;
}

bool write(const QImage &image, int quality, const QString &path, QString *error)
{
    Source source;
    if (image.isNull() || !prepare(image, &source)) {
        WriteFailure::report(error, QStringLiteral("there is no picture to encode"));
        return false;
    }
    return writeSource(source, quality, path, error, nullptr);
}

bool writeRows(const QSize &size, const QImage &metadata, int quality, const RowSource &next,
    const QString &path, QString *error, bool *sourceFailed, const RowSource *sample)
{
    if (sourceFailed)
        *sourceFailed = false;
    Source source;
    // Only the metadata's facts are taken; it is never read as pixels.
    if (size.isEmpty() || metadata.format() != QImage::Format_RGB32 || !next
        || !prepare(metadata, &source)) {
        WriteFailure::report(error, QStringLiteral("there is no picture to encode"));
        return false;
    }
    source.size = size;
    source.next = &next;
    source.sample = sample && *sample ? sample : nullptr;
    return writeSource(source, quality, path, error, sourceFailed);
}

bool writeYCbCr420(const QSize &size, const Planes420 &planes, const QImage &metadata, int quality,
    const QString &path, QString *error)
{
    Source source;
    if (size.isEmpty() || !planes.data[0] || !planes.data[1] || !planes.data[2]
        || planes.stride[0] < size.width() || planes.stride[1] < (size.width() + 1) / 2
        || planes.stride[2] < (size.width() + 1) / 2 || metadata.format() != QImage::Format_RGB32
        || !prepare(metadata, &source)) {
        WriteFailure::report(error, QStringLiteral("there is no picture to encode"));
        return false;
    }
    source.size = size;
    source.planes = &planes;
    return writeSource(source, quality, path, error, nullptr);
}

} // namespace JpegWriter
