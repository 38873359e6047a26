#include "JpegReader.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

#include <QColorSpace>
#include <QString>

#include "codec/ExifOrientation.h"
#include "codec/FrameMemory.h"

namespace {

struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void exitOnError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager *>(cinfo->err)->jump, 1);
}

// Warnings (a corrupt entropy segment, extra bytes) are not fatal, as in the
// toolkit's reader; the completeness checks before decoding catch truncation.
void ignoreMessage(j_common_ptr) { }

// One decompressor. The library's calls run inside guarded(), whose setjmp
// catches its errors; nothing with a destructor lives in those frames.
struct Decoder
{
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    bool created = false;

    Decoder()
    {
        cinfo.err = jpeg_std_error(&err.pub);
        err.pub.error_exit = exitOnError;
        err.pub.output_message = ignoreMessage;
    }
    ~Decoder()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;

    template <typename F> bool guarded(F &&work)
    {
        if (setjmp(err.jump))
            return false;
        work();
        return true;
    }

    bool open(const QByteArray &bytes)
    {
        return guarded([&] {
            jpeg_create_decompress(&cinfo);
            created = true;
            jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(bytes.constData()),
                static_cast<unsigned long>(bytes.size()));
            jpeg_save_markers(&cinfo, JPEG_COM, 0xffff);
            jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xffff);
            jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xffff);
            jpeg_read_header(&cinfo, TRUE);
        });
    }
};

bool isSupportedColorSpace(J_COLOR_SPACE space)
{
    return space == JCS_YCbCr || space == JCS_RGB || space == JCS_GRAYSCALE;
}

int orientationOf(const jpeg_decompress_struct &cinfo)
{
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6
            && std::memcmp(m->data, "Exif\0\0", 6) == 0)
            return ExifOrientation::fromExifBlock(QByteArray::fromRawData(
                reinterpret_cast<const char *>(m->data), int(m->data_length)));
    }
    return 0;
}

// Comment markers become text keys as the toolkit's reader reads them:
// "key: value", or the whole text under "Description".
void readTexts(const jpeg_decompress_struct &cinfo, QImage *image)
{
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker != JPEG_COM)
            continue;
        const QString s
            = QString::fromUtf8(reinterpret_cast<const char *>(m->data), int(m->data_length));
        const int index = s.indexOf(QLatin1String(": "));
        if (index == -1 || s.indexOf(QLatin1Char(' ')) < index)
            image->setText(QStringLiteral("Description"), s);
        else
            image->setText(s.left(index), s.mid(index + 2));
    }
}

void readDensity(const jpeg_decompress_struct &cinfo, QImage *image)
{
    if (cinfo.density_unit == 1) {
        image->setDotsPerMeterX(int(100. * cinfo.X_density / 2.54));
        image->setDotsPerMeterY(int(100. * cinfo.Y_density / 2.54));
    } else if (cinfo.density_unit == 2) {
        image->setDotsPerMeterX(int(100. * cinfo.X_density));
        image->setDotsPerMeterY(int(100. * cinfo.Y_density));
    }
}

// The smallest M of M/8 whose decoded size still covers minimum.
int scaleFor(const QSize &stored, const QSize &minimum)
{
    if (!minimum.isValid() || minimum.isEmpty())
        return 8;
    for (int m = 1; m < 8; ++m) {
        const qint64 w = (qint64(stored.width()) * m + 7) / 8;
        const qint64 h = (qint64(stored.height()) * m + 7) / 8;
        if (w >= minimum.width() && h >= minimum.height())
            return m;
    }
    return 8;
}

// Where stored pixel (x, y) goes in the upright frame, as offsets in pixels:
// origin for (0, 0), then the steps for x + 1 and for y + 1.
struct Placement
{
    qsizetype origin = 0;
    qsizetype xStep = 1;
    qsizetype yStep = 0;
};

Placement placementFor(int orientation, int width, int height, qsizetype stride)
{
    // Upright (u, v) of stored (x, y), for a stored width x height picture.
    qsizetype ux = 1, uy = 0, u0 = 0, vx = 0, vy = 1, v0 = 0;
    switch (orientation) {
    case 2: // mirrored left-right
        ux = -1, u0 = width - 1;
        break;
    case 3: // turned 180 degrees
        ux = -1, u0 = width - 1, vy = -1, v0 = height - 1;
        break;
    case 4: // mirrored top-bottom
        vy = -1, v0 = height - 1;
        break;
    case 5: // transposed
        ux = 0, uy = 1, vx = 1, vy = 0;
        break;
    case 6: // to be turned clockwise
        ux = 0, uy = -1, u0 = height - 1, vx = 1, vy = 0;
        break;
    case 7: // transversed
        ux = 0, uy = -1, u0 = height - 1, vx = -1, vy = 0, v0 = width - 1;
        break;
    case 8: // to be turned counter-clockwise
        ux = 0, uy = 1, vx = -1, vy = 0, v0 = width - 1;
        break;
    default:
        break;
    }
    Placement p;
    p.origin = u0 + v0 * stride;
    p.xStep = ux + vx * stride;
    p.yStep = uy + vy * stride;
    return p;
}

// Stored rows first .. first + count - 1 (in block) into the upright frame.
void placeRows(
    const Placement &p, quint32 *frame, JSAMPARRAY block, int first, int count, int width)
{
    const qsizetype rowOrigin = p.origin + first * p.yStep;
    if (p.yStep == 1 || p.yStep == -1) {
        // Turned sideways: a stored column of the block is a run of pixels
        // in one upright row; write those runs.
        for (int x = 0; x < width; ++x) {
            quint32 *out = frame + rowOrigin + x * p.xStep;
            for (int i = 0; i < count; ++i)
                out[i * p.yStep] = reinterpret_cast<const quint32 *>(block[i])[x];
        }
        return;
    }
    for (int i = 0; i < count; ++i) {
        const auto *in = reinterpret_cast<const quint32 *>(block[i]);
        quint32 *out = frame + rowOrigin + i * p.yStep;
        for (int x = 0; x < width; ++x)
            out[x * p.xStep] = in[x];
    }
}

// What read() attaches to its frame besides the pixels, read while the
// markers are still in the library's pool. The ICC profile is copied out.
QByteArray readIccProfile(Decoder *d, bool *ok)
{
    JOCTET *icc = nullptr;
    unsigned int iccLength = 0;
    *ok = d->guarded([&] { jpeg_read_icc_profile(&d->cinfo, &icc, &iccLength); });
    const QByteArray profile = icc && *ok
        ? QByteArray(reinterpret_cast<const char *>(icc), int(iccLength))
        : QByteArray();
    std::free(icc);
    return profile;
}

} // namespace

struct JpegReader::RowDecoder
{
    Decoder d;
};

namespace JpegReader {

bool isJpeg(const QByteArray &bytes)
{
    return bytes.size() >= 3 && uchar(bytes[0]) == 0xff && uchar(bytes[1]) == 0xd8
        && uchar(bytes[2]) == 0xff;
}

bool readHeader(const QByteArray &bytes, Header *header)
{
    if (!isJpeg(bytes))
        return false;
    Decoder d;
    if (!d.open(bytes))
        return false;
    header->size = QSize(int(d.cinfo.image_width), int(d.cinfo.image_height));
    header->orientation = orientationOf(d.cinfo);
    header->components = d.cinfo.num_components;
    header->supported = isSupportedColorSpace(d.cinfo.jpeg_color_space);
    return true;
}

Result read(const QByteArray &bytes, QImage *image, const QSize &minimum, qint64 maxPixels)
{
    *image = QImage();
    if (!isJpeg(bytes))
        return Result::Failed;
    Decoder d;
    if (!d.open(bytes))
        return Result::Failed;
    if (!isSupportedColorSpace(d.cinfo.jpeg_color_space))
        return Result::Unsupported;

    const int orientation = orientationOf(d.cinfo);
    const QSize stored(int(d.cinfo.image_width), int(d.cinfo.image_height));
    const QSize wanted = orientation >= 5 ? minimum.transposed() : minimum;
    const int scale = scaleFor(stored, wanted);
    if (!d.guarded([&] {
            d.cinfo.out_color_space = JCS_EXT_BGRX;
            d.cinfo.scale_num = unsigned(scale);
            d.cinfo.scale_denom = 8;
            jpeg_calc_output_dimensions(&d.cinfo);
        }))
        return Result::Failed;
    const int width = int(d.cinfo.output_width);
    const int height = int(d.cinfo.output_height);
    if (width < 1 || height < 1 || (maxPixels > 0 && qint64(width) * height > maxPixels))
        return Result::Failed;

    // A picture stored turned is put upright as its rows arrive: the frame
    // is allocated once, in its final shape, and nothing is copied afterwards.
    const bool upright = orientation < 2 || orientation > 8;
    const bool sideways = orientation >= 5 && orientation <= 8;
    QImage frame = FrameMemory::allocate(
        QSize(sideways ? height : width, sideways ? width : height), QImage::Format_RGB32);
    if (frame.isNull())
        return Result::Failed;
    // The saved markers live in the library's image pool, which finishing
    // the decode releases: read them first.
    readDensity(d.cinfo, &frame);
    readTexts(d.cinfo, &frame);
    if (sideways) {
        const int dpmX = frame.dotsPerMeterX();
        frame.setDotsPerMeterX(frame.dotsPerMeterY());
        frame.setDotsPerMeterY(dpmX);
    }
    uchar *bits = frame.bits();
    const qsizetype stride = frame.bytesPerLine();
    const Placement place = placementFor(orientation, width, height, stride / 4);
    bool iccRead = false;
    const QByteArray profile = readIccProfile(&d, &iccRead);
    if (!iccRead)
        return Result::Failed;
    const bool decoded = d.guarded([&] {
        jpeg_start_decompress(&d.cinfo);
        // Upright pictures: the library's rows are the frame's rows. Turned
        // ones: a block of rows in the library's pool, placed from there.
        constexpr int kRows = 16;
        JSAMPARRAY block = upright
            ? nullptr
            : (*d.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d.cinfo), JPOOL_IMAGE,
                JDIMENSION(width) * 4, kRows);
        JSAMPROW rows[kRows];
        while (d.cinfo.output_scanline < d.cinfo.output_height) {
            const int first = int(d.cinfo.output_scanline);
            const int count = qMin(kRows, height - first);
            for (int i = 0; i < count; ++i)
                rows[i] = upright ? bits + (first + i) * stride : block[i];
            const int got = int(jpeg_read_scanlines(&d.cinfo, rows, JDIMENSION(count)));
            if (!upright)
                placeRows(place, reinterpret_cast<quint32 *>(bits), block, first, got, width);
        }
        jpeg_finish_decompress(&d.cinfo);
    });
    if (!decoded)
        return Result::Failed;

    if (!profile.isEmpty())
        frame.setColorSpace(QColorSpace::fromIccProfile(profile));
    *image = frame;
    return Result::Decoded;
}

RowReader::RowReader() = default;

RowReader::~RowReader() = default;

Result RowReader::start(const QByteArray &bytes, QImage *metadata, qint64 maxPixels)
{
    m_decoder.reset();
    m_size = QSize();
    *metadata = QImage();
    if (!isJpeg(bytes))
        return Result::Failed;
    auto decoder = std::make_unique<RowDecoder>();
    Decoder &d = decoder->d;
    if (!d.open(bytes))
        return Result::Failed;
    const int orientation = orientationOf(d.cinfo);
    if (!isSupportedColorSpace(d.cinfo.jpeg_color_space) || (orientation >= 2 && orientation <= 8))
        return Result::Unsupported;
    if (!d.guarded([&] {
            d.cinfo.out_color_space = JCS_EXT_BGRX;
            jpeg_calc_output_dimensions(&d.cinfo);
        }))
        return Result::Failed;
    const QSize size(int(d.cinfo.output_width), int(d.cinfo.output_height));
    if (size.width() < 1 || size.height() < 1
        || (maxPixels > 0 && qint64(size.width()) * size.height() > maxPixels))
        return Result::Failed;
    // Frames are what the rest of the program hands around with these facts;
    // a one-pixel one carries them without the pixels.
    QImage carrier(1, 1, QImage::Format_RGB32);
    if (carrier.isNull())
        return Result::Failed;
    readDensity(d.cinfo, &carrier);
    readTexts(d.cinfo, &carrier);
    bool iccRead = false;
    const QByteArray profile = readIccProfile(&d, &iccRead);
    if (!iccRead || !d.guarded([&] { jpeg_start_decompress(&d.cinfo); }))
        return Result::Failed;
    if (!profile.isEmpty())
        carrier.setColorSpace(QColorSpace::fromIccProfile(profile));
    *metadata = carrier;
    m_size = size;
    m_decoder = std::move(decoder);
    return Result::Decoded;
}

QSize RowReader::size() const { return m_size; }

bool RowReader::readRows(uchar *const *rows, int count)
{
    if (!m_decoder)
        return false;
    Decoder &d = m_decoder->d;
    return d.guarded([&] {
        int done = 0;
        while (done < count && d.cinfo.output_scanline < d.cinfo.output_height) {
            const JDIMENSION got = jpeg_read_scanlines(
                &d.cinfo, const_cast<JSAMPARRAY>(rows + done), JDIMENSION(count - done));
            if (got == 0)
                break;
            done += int(got);
        }
        // Fewer rows than asked for only when the data ran out.
        if (done < count)
            ERREXIT(&d.cinfo, JERR_INPUT_EMPTY);
    });
}

bool RowReader::skipRows(int count)
{
    if (!m_decoder)
        return false;
    Decoder &d = m_decoder->d;
    return d.guarded([&] {
        const JDIMENSION left = d.cinfo.output_height - d.cinfo.output_scanline;
        if (count < 0 || JDIMENSION(count) > left)
            ERREXIT(&d.cinfo, JERR_INPUT_EMPTY);
        JDIMENSION done = 0;
        while (done < JDIMENSION(count)) {
            const JDIMENSION skipped = jpeg_skip_scanlines(&d.cinfo, JDIMENSION(count) - done);
            if (skipped == 0)
                ERREXIT(&d.cinfo, JERR_INPUT_EMPTY);
            done += skipped;
        }
    });
}

bool RowReader::finish()
{
    if (!m_decoder)
        return false;
    Decoder &d = m_decoder->d;
    return d.guarded([&] { jpeg_finish_decompress(&d.cinfo); });
}

} // namespace JpegReader
