#include "JpegReader.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include <QColorSpace>
#include <QString>

#include "codec/ExifOrientation.h"

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

} // namespace

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

    QImage frame(width, height, QImage::Format_RGB32);
    if (frame.isNull())
        return Result::Failed;
    // The saved markers live in the library's image pool, which finishing
    // the decode releases: read them first.
    readDensity(d.cinfo, &frame);
    readTexts(d.cinfo, &frame);
    uchar *bits = frame.bits();
    const qsizetype stride = frame.bytesPerLine();
    JOCTET *icc = nullptr;
    unsigned int iccLength = 0;
    const bool decoded = d.guarded([&] {
        jpeg_read_icc_profile(&d.cinfo, &icc, &iccLength);
        jpeg_start_decompress(&d.cinfo);
        // The library's rows are the frame's rows: no copy of any kind.
        JSAMPROW rows[16];
        while (d.cinfo.output_scanline < d.cinfo.output_height) {
            const int first = int(d.cinfo.output_scanline);
            const int count = qMin(16, height - first);
            for (int i = 0; i < count; ++i)
                rows[i] = bits + (first + i) * stride;
            jpeg_read_scanlines(&d.cinfo, rows, JDIMENSION(count));
        }
        jpeg_finish_decompress(&d.cinfo);
    });
    const QByteArray profile = icc && decoded
        ? QByteArray(reinterpret_cast<const char *>(icc), int(iccLength))
        : QByteArray();
    std::free(icc);
    if (!decoded)
        return Result::Failed;

    if (!profile.isEmpty())
        frame.setColorSpace(QColorSpace::fromIccProfile(profile));
    if (orientation > 1) {
        QImage upright = ExifOrientation::apply(frame, orientation);
        upright.setDotsPerMeterX(frame.dotsPerMeterY());
        upright.setDotsPerMeterY(frame.dotsPerMeterX());
        if (orientation < 5) {
            upright.setDotsPerMeterX(frame.dotsPerMeterX());
            upright.setDotsPerMeterY(frame.dotsPerMeterY());
        }
        for (const QString &key : frame.textKeys())
            upright.setText(key, frame.text(key));
        frame = QImage();
        *image = upright;
    } else {
        *image = frame;
    }
    return image->isNull() ? Result::Failed : Result::Decoded;
}

} // namespace JpegReader
