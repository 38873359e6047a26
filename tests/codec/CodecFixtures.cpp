#include "CodecFixtures.h"

#include <cmath>
#include <cstring>

#include <gif_lib.h>
#include <libheif/heif.h>
#include <zlib.h>

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

// libx265, which writes the HEIF fixtures, keeps a few allocations for the
// process's lifetime; none of the program's code runs x265.
extern "C" const char *__lsan_default_suppressions() { return "leak:libx265.so\n"; }

namespace CodecFixtures {

namespace {

void put16(QByteArray *out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out->append(b, 2);
}

void put32(QByteArray *out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out->append(b, 4);
}

void putBE32(QByteArray *out, quint32 v)
{
    char b[4];
    qToBigEndian(v, b);
    out->append(b, 4);
}

void set32(QByteArray *out, int offset, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        (*out)[offset + i] = char((v >> (8 * i)) & 0xFF);
}

void pad(QByteArray *out, int alignment)
{
    while (out->size() % alignment)
        out->append('\0');
}

} // namespace

QByteArray pngChunk(const char *type, const QByteArray &data)
{
    QByteArray chunk;
    putBE32(&chunk, quint32(data.size()));
    QByteArray body = QByteArray(type, 4) + data;
    chunk += body;
    putBE32(&chunk,
        quint32(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size()))));
    return chunk;
}

// --- TIFF ---------------------------------------------------------------

TiffEntry shortEntry(quint16 tag, const QVector<quint16> &values)
{
    TiffEntry e { tag, 3, quint32(values.size()), {} };
    for (quint16 v : values)
        put16(&e.value, v);
    return e;
}

TiffEntry longEntry(quint16 tag, const QVector<quint32> &values)
{
    TiffEntry e { tag, 4, quint32(values.size()), {} };
    for (quint32 v : values)
        put32(&e.value, v);
    return e;
}

TiffEntry byteEntry(quint16 tag, const QVector<quint8> &values)
{
    TiffEntry e { tag, 1, quint32(values.size()), {} };
    for (quint8 v : values)
        e.value.append(char(v));
    return e;
}

TiffEntry asciiEntry(quint16 tag, const QByteArray &text)
{
    TiffEntry e { tag, 2, quint32(text.size() + 1), text };
    e.value.append('\0');
    return e;
}

TiffEntry rationalEntry(quint16 tag, const QVector<QPair<quint32, quint32>> &values)
{
    TiffEntry e { tag, 5, quint32(values.size()), {} };
    for (const auto &v : values) {
        put32(&e.value, v.first);
        put32(&e.value, v.second);
    }
    return e;
}

TiffEntry srationalEntry(quint16 tag, const QVector<QPair<qint32, qint32>> &values)
{
    TiffEntry e { tag, 10, quint32(values.size()), {} };
    for (const auto &v : values) {
        put32(&e.value, quint32(v.first));
        put32(&e.value, quint32(v.second));
    }
    return e;
}

QByteArray tiffFromPages(
    const QVector<QVector<TiffEntry>> &entries, const QVector<QByteArray> &pixels)
{
    QByteArray out("II*\0", 4);
    put32(&out, 0); // first IFD, patched below
    int linkAt = 4;
    for (int page = 0; page < entries.size(); ++page) {
        const int dataAt = out.size();
        out += pixels[page];
        pad(&out, 2);
        QVector<TiffEntry> all = entries[page];
        all.append(longEntry(273, { quint32(dataAt) }));
        all.append(longEntry(279, { quint32(pixels[page].size()) }));
        std::sort(all.begin(), all.end(),
            [](const TiffEntry &a, const TiffEntry &b) { return a.tag < b.tag; });
        // Values too large for the entry itself go before the IFD.
        QVector<quint32> valueAt(all.size(), 0);
        for (int i = 0; i < all.size(); ++i) {
            if (all[i].value.size() > 4) {
                valueAt[i] = quint32(out.size());
                out += all[i].value;
                pad(&out, 2);
            }
        }
        const int ifdAt = out.size();
        set32(&out, linkAt, quint32(ifdAt));
        put16(&out, quint16(all.size()));
        for (int i = 0; i < all.size(); ++i) {
            put16(&out, all[i].tag);
            put16(&out, all[i].type);
            put32(&out, all[i].count);
            if (all[i].value.size() > 4) {
                put32(&out, valueAt[i]);
            } else {
                QByteArray inline4 = all[i].value;
                inline4.append(QByteArray(4 - inline4.size(), '\0'));
                out += inline4;
            }
        }
        linkAt = out.size();
        put32(&out, 0);
    }
    return out;
}

QByteArray tiffFile(const QVector<QImage> &pages, int orientation)
{
    QVector<QVector<TiffEntry>> entries;
    QVector<QByteArray> pixels;
    for (const QImage &page : pages) {
        const QImage rgba = page.convertToFormat(QImage::Format_RGBA8888);
        QByteArray bytes;
        for (int y = 0; y < rgba.height(); ++y)
            bytes.append(reinterpret_cast<const char *>(rgba.constScanLine(y)), rgba.width() * 4);
        QVector<TiffEntry> e { longEntry(256, { quint32(rgba.width()) }),
            longEntry(257, { quint32(rgba.height()) }), shortEntry(258, { 8, 8, 8, 8 }),
            shortEntry(259, { 1 }), shortEntry(262, { 2 }), shortEntry(277, { 4 }),
            longEntry(278, { quint32(rgba.height()) }), shortEntry(284, { 1 }),
            shortEntry(338, { 2 }) };
        if (orientation > 0)
            e.append(shortEntry(274, { quint16(orientation) }));
        entries.append(e);
        pixels.append(bytes);
    }
    return tiffFromPages(entries, pixels);
}

QByteArray tiffClaimingSize(int width, int height)
{
    const QVector<TiffEntry> e { longEntry(256, { quint32(width) }),
        longEntry(257, { quint32(height) }), shortEntry(258, { 8, 8, 8 }), shortEntry(259, { 1 }),
        shortEntry(262, { 2 }), shortEntry(277, { 3 }), longEntry(278, { quint32(height) }),
        shortEntry(284, { 1 }) };
    return tiffFromPages({ e }, { QByteArray(48, '\x40') });
}

QByteArray dngFile(int width, int height, int orientation, bool textured,
    const QVector<QPair<quint32, quint32>> &neutral)
{
    QByteArray raw;
    quint32 noise = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int level = (x < width / 2 && y < height / 2) ? 20000 : 6000;
            if (textured) {
                // Gradients, an edge every 8 pixels and noise: work for the
                // interpolation and every step of the curve.
                noise = noise * 1103515245u + 12345u;
                level = 1000 + x * 40000 / qMax(1, width) + y * 15000 / qMax(1, height)
                    + ((x / 8 + y / 8) % 2) * 6000 + int((noise >> 16) % 3000);
            }
            put16(&raw, quint16(qMin(level, 65535)));
        }
    }
    QVector<TiffEntry> e {
        longEntry(254, { 0 }),
        longEntry(256, { quint32(width) }),
        longEntry(257, { quint32(height) }),
        shortEntry(258, { 16 }),
        shortEntry(259, { 1 }),
        shortEntry(262, { 32803 }), // colour filter array
        asciiEntry(271, "Quorvel"),
        asciiEntry(272, "Fixture"),
        shortEntry(274, { quint16(orientation) }),
        shortEntry(277, { 1 }),
        longEntry(278, { quint32(height) }),
        shortEntry(284, { 1 }),
        shortEntry(33421, { 2, 2 }),
        byteEntry(33422, { 0, 1, 1, 2 }), // R G / G B
        byteEntry(50706, { 1, 4, 0, 0 }),
        asciiEntry(50708, "Quorvel Fixture"),
        srationalEntry(50721,
            { { 10000, 10000 }, { 0, 10000 }, { 0, 10000 }, { 0, 10000 }, { 10000, 10000 },
                { 0, 10000 }, { 0, 10000 }, { 0, 10000 }, { 10000, 10000 } }),
        shortEntry(50778, { 21 }),
    };
    // The camera's white balance (AsShotNeutral), in tag order before 50778.
    if (!neutral.isEmpty())
        e.insert(e.size() - 1, rationalEntry(50728, neutral));
    return tiffFromPages({ e }, { raw });
}

QByteArray psdFile(const QImage &image)
{
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    const bool alpha = image.hasAlphaChannel();
    const int channels = alpha ? 4 : 3;
    QByteArray psd("8BPS");
    auto be16 = [&psd](quint16 v) { psd.append(char(v >> 8)).append(char(v & 0xFF)); };
    auto be32 = [&psd](quint32 v) { putBE32(&psd, v); };
    be16(1);
    psd.append(QByteArray(6, '\0'));
    be16(quint16(channels));
    be32(quint32(rgba.height()));
    be32(quint32(rgba.width()));
    be16(8);
    be16(3); // RGB
    be32(0); // colour mode data
    be32(0); // image resources
    be32(0); // layers and masks
    be16(0); // raw image data
    for (int c = 0; c < channels; ++c)
        for (int y = 0; y < rgba.height(); ++y) {
            const uchar *line = rgba.constScanLine(y);
            for (int x = 0; x < rgba.width(); ++x)
                psd.append(char(line[x * 4 + c]));
        }
    return psd;
}

// --- EXIF ---------------------------------------------------------------

static QByteArray tiffOrientationBlock(int orientation)
{
    QByteArray tiff("II*\0", 4);
    put32(&tiff, 8);
    put16(&tiff, 1);
    put16(&tiff, 0x0112);
    put16(&tiff, 3);
    put32(&tiff, 1);
    put16(&tiff, quint16(orientation));
    put16(&tiff, 0);
    put32(&tiff, 0);
    return tiff;
}

QByteArray exifBlock(int orientation)
{
    return QByteArray("Exif\0\0", 6) + tiffOrientationBlock(orientation);
}

QByteArray jpegWithExif(const QByteArray &jpeg, int orientation)
{
    const QByteArray exif = exifBlock(orientation);
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char((exif.size() + 2) >> 8));
    segment.append(char((exif.size() + 2) & 0xFF));
    segment += exif;
    return jpeg.left(2) + segment + jpeg.mid(2);
}

QByteArray pngWithExif(const QByteArray &png, int orientation)
{
    // Signature (8) and IHDR (25) come first.
    return png.left(33) + pngChunk("eXIf", tiffOrientationBlock(orientation)) + png.mid(33);
}

QByteArray webpWithExif(const QByteArray &webp, int orientation)
{
    QByteArray copy = webp;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    const QSize size = QImageReader(&buffer, "webp").size();
    const QByteArray exif = tiffOrientationBlock(orientation);

    QByteArray body("WEBP");
    body += "VP8X";
    put32(&body, 10);
    body.append(char(0x08 | 0x10)); // EXIF and alpha present
    body.append(QByteArray(3, '\0'));
    const quint32 w = quint32(size.width() - 1), h = quint32(size.height() - 1);
    body.append(char(w & 0xFF)).append(char((w >> 8) & 0xFF)).append(char((w >> 16) & 0xFF));
    body.append(char(h & 0xFF)).append(char((h >> 8) & 0xFF)).append(char((h >> 16) & 0xFF));
    body += webp.mid(12); // the image chunk(s) of the simple file
    body += "EXIF";
    put32(&body, quint32(exif.size()));
    body += exif;
    pad(&body, 2);
    QByteArray out("RIFF");
    put32(&out, quint32(body.size()));
    return out + body;
}

QByteArray pngClaimingSize(quint32 width, quint32 height)
{
    QByteArray header;
    putBE32(&header, width);
    putBE32(&header, height);
    header.append(char(8)).append(char(6)).append(char(0)).append(char(0)).append(char(0));
    QByteArray png("\x89PNG\r\n\x1A\n", 8);
    png += pngChunk("IHDR", header);
    png += pngChunk("IDAT", QByteArray::fromHex("789c636000000001000100"));
    png += pngChunk("IEND", QByteArray());
    return png;
}

QByteArray webpAnimation(const QVector<QImage> &frames, int durationMs)
{
    auto put24 = [](QByteArray *out, quint32 v) {
        out->append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)).append(char((v >> 16) & 0xFF));
    };
    const QSize canvas = frames.first().size();
    QByteArray body("WEBP");
    body += "VP8X";
    put32(&body, 10);
    body.append(char(0x02 | 0x10)); // animation, alpha
    body.append(QByteArray(3, '\0'));
    put24(&body, quint32(canvas.width() - 1));
    put24(&body, quint32(canvas.height() - 1));
    body += "ANIM";
    put32(&body, 6);
    put32(&body, 0); // background colour
    put16(&body, 0); // loop forever
    for (const QImage &frame : frames) {
        QByteArray simple;
        QBuffer buffer(&simple);
        buffer.open(QIODevice::WriteOnly);
        frame.save(&buffer, "webp", 100);
        const QByteArray image = simple.mid(12); // the VP8L chunk
        QByteArray anmf;
        put24(&anmf, 0);
        put24(&anmf, 0);
        put24(&anmf, quint32(frame.width() - 1));
        put24(&anmf, quint32(frame.height() - 1));
        put24(&anmf, quint32(durationMs));
        anmf.append(char(0x02)); // no blending, no disposal
        anmf += image;
        body += "ANMF";
        put32(&body, quint32(anmf.size()));
        body += anmf;
        pad(&body, 2);
    }
    QByteArray out("RIFF");
    put32(&out, quint32(body.size()));
    return out + body;
}

// --- GIF ----------------------------------------------------------------

static int writeToBuffer(GifFileType *gif, const GifByteType *data, int length)
{
    static_cast<QByteArray *>(gif->UserData)->append(reinterpret_cast<const char *>(data), length);
    return length;
}

static ColorMapObject *colorMap(const QVector<QRgb> &colors)
{
    int size = 2;
    while (size < colors.size())
        size *= 2;
    QVector<GifColorType> entries(size, GifColorType { 0, 0, 0 });
    for (int i = 0; i < colors.size(); ++i)
        entries[i] = GifColorType { GifByteType(qRed(colors[i])), GifByteType(qGreen(colors[i])),
            GifByteType(qBlue(colors[i])) };
    return GifMakeMapObject(size, entries.data());
}

QByteArray gifFile(
    const QSize &screen, const QVector<QRgb> &globalPalette, const QVector<GifFrame> &frames)
{
    QByteArray out;
    int error = 0;
    GifFileType *gif = EGifOpen(&out, writeToBuffer, &error);
    if (!gif)
        return QByteArray();
    EGifSetGifVersion(gif, true);
    ColorMapObject *global = globalPalette.isEmpty() ? nullptr : colorMap(globalPalette);
    EGifPutScreenDesc(gif, screen.width(), screen.height(), 8, 0, global);
    for (const GifFrame &frame : frames) {
        GraphicsControlBlock gcb { frame.disposal, false, frame.delayCs, frame.transparent };
        GifByteType ext[4];
        EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
        ColorMapObject *local
            = frame.localPalette.isEmpty() ? nullptr : colorMap(frame.localPalette);
        EGifPutImageDesc(gif, frame.rect.x(), frame.rect.y(), frame.rect.width(),
            frame.rect.height(), frame.interlaced, local);
        // Interlaced images take their rows in the four passes' order.
        QVector<int> order;
        if (frame.interlaced) {
            static const int start[4] = { 0, 4, 2, 1 };
            static const int step[4] = { 8, 8, 4, 2 };
            for (int pass = 0; pass < 4; ++pass)
                for (int y = start[pass]; y < frame.rect.height(); y += step[pass])
                    order.append(y);
        } else {
            for (int y = 0; y < frame.rect.height(); ++y)
                order.append(y);
        }
        QVector<quint8> row(frame.rect.width());
        for (int y : order) {
            for (int x = 0; x < frame.rect.width(); ++x)
                row[x] = frame.indices.value(y * frame.rect.width() + x);
            EGifPutLine(gif, row.data(), frame.rect.width());
        }
        if (local)
            GifFreeMapObject(local);
    }
    EGifCloseFile(gif, &error);
    if (global)
        GifFreeMapObject(global);
    return out;
}

GifFrame solidGifFrame(const QRect &rect, quint8 index, int disposal, int delayCs, int transparent)
{
    GifFrame frame;
    frame.rect = rect;
    frame.indices = QVector<quint8>(rect.width() * rect.height(), index);
    frame.disposal = disposal;
    frame.delayCs = delayCs;
    frame.transparent = transparent;
    return frame;
}

// --- HEIF -----------------------------------------------------------------

static heif_error writeHeif(heif_context *, const void *data, size_t size, void *userdata)
{
    static_cast<QByteArray *>(userdata)->append(static_cast<const char *>(data), int(size));
    return heif_error { heif_error_Ok, heif_suberror_Unspecified, "" };
}

// source as a libheif picture of options' layout.
static heif_image *heifPicture(const QImage &source, const HeifOptions &options)
{
    const int w = source.width(), h = source.height();
    heif_image *image = nullptr;
    int stride = 0;
    if (options.monochrome) {
        heif_image_create(w, h, heif_colorspace_monochrome, heif_chroma_monochrome, &image);
        heif_image_add_plane(image, heif_channel_Y, w, h, 8);
        uint8_t *plane = heif_image_get_plane(image, heif_channel_Y, &stride);
        const QImage grey = source.convertToFormat(QImage::Format_Grayscale8);
        for (int y = 0; y < h; ++y)
            memcpy(plane + y * stride, grey.constScanLine(y), size_t(w));
        return image;
    }
    const bool deep = options.bitDepth > 8;
    const heif_chroma chroma = deep
        ? (options.alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
        : (options.alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    heif_image_create(w, h, heif_colorspace_RGB, chroma, &image);
    heif_image_add_plane(image, heif_channel_interleaved, w, h, options.bitDepth);
    uint8_t *plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    const int channels = options.alpha ? 4 : 3;
    if (deep) {
        const QImage rgba = source.convertToFormat(QImage::Format_RGBA64);
        for (int y = 0; y < h; ++y) {
            const auto *in = reinterpret_cast<const quint16 *>(rgba.constScanLine(y));
            auto *out = reinterpret_cast<quint16 *>(plane + y * stride);
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < channels; ++c)
                    out[x * channels + c] = quint16(in[x * 4 + c] >> (16 - options.bitDepth));
        }
    } else {
        const QImage rgba = source.convertToFormat(QImage::Format_RGBA8888);
        for (int y = 0; y < h; ++y) {
            const uchar *in = rgba.constScanLine(y);
            uchar *out = plane + y * stride;
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < channels; ++c)
                    out[x * channels + c] = in[x * 4 + c];
        }
    }
    return image;
}

QByteArray heifFile(const QImage &source, const HeifOptions &options)
{
    heif_context *context = heif_context_alloc();
    heif_encoder *encoder = nullptr;
    if (heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code
        != heif_error_Ok) {
        heif_context_free(context);
        return QByteArray();
    }
    if (options.lossless)
        heif_encoder_set_lossless(encoder, true);
    else
        heif_encoder_set_lossy_quality(encoder, 90);
    if (!options.chroma.isEmpty())
        heif_encoder_set_parameter(encoder, "chroma", options.chroma.constData());
    heif_encoder_set_logging_level(encoder, 0);
    heif_color_profile_nclx *nclx = nullptr;
    if (options.matrix >= 0) {
        nclx = heif_nclx_color_profile_alloc();
        nclx->matrix_coefficients = heif_matrix_coefficients(options.matrix);
        nclx->full_range_flag = options.fullRange;
    }

    bool ok = true;
    for (int n = 0; n < options.images && ok; ++n) {
        heif_image *image = heifPicture(source, options);
        if (!options.icc.isEmpty())
            heif_image_set_raw_color_profile(
                image, "prof", options.icc.constData(), size_t(options.icc.size()));
        if (nclx)
            heif_image_set_nclx_color_profile(image, nclx);
        heif_encoding_options *encoding = heif_encoding_options_alloc();
        encoding->image_orientation = heif_orientation(options.orientation);
        encoding->output_nclx_profile = nclx;
        // Written only when asked for (libheif leaves it out by default).
        encoding->macOS_compatibility_workaround_no_nclx_profile = nclx ? 0 : 1;
        heif_image_handle *handle = nullptr;
        ok = heif_context_encode_image(context, image, encoder, encoding, &handle).code
            == heif_error_Ok;
        if (ok && options.exifOrientation > 0) {
            const QByteArray exif = tiffOrientationBlock(options.exifOrientation);
            heif_context_add_exif_metadata(context, handle, exif.constData(), exif.size());
        }
        heif_encoding_options_free(encoding);
        if (handle)
            heif_image_handle_release(handle);
        heif_image_release(image);
    }
    heif_encoder_release(encoder);
    if (nclx)
        heif_nclx_color_profile_free(nclx);
    QByteArray out;
    if (ok) {
        heif_writer writer { 1, writeHeif };
        ok = heif_context_write(context, &writer, &out).code == heif_error_Ok;
    }
    heif_context_free(context);
    return ok ? out : QByteArray();
}

QByteArray heifWithDepth(const QImage &image)
{
    HeifOptions options;
    options.alpha = true;
    QByteArray file = heifFile(image, options);
    // Same length, so no box size changes: the auxiliary image's type
    // becomes "depth".
    static const QByteArray alphaUrns[] = { QByteArray("urn:mpeg:hevc:2015:auxid:1"),
        QByteArray("urn:mpeg:mpegB:cicp:systems:auxiliary:alpha") };
    static const QByteArray depthUrns[] = { QByteArray("urn:mpeg:hevc:2015:auxid:2"),
        QByteArray("urn:mpeg:mpegB:cicp:systems:auxiliary:depth") };
    for (int i = 0; i < 2; ++i) {
        const int at = file.indexOf(alphaUrns[i]);
        if (at >= 0) {
            file.replace(at, alphaUrns[i].size(), depthUrns[i]);
            return file;
        }
    }
    return QByteArray();
}

// --- Metafiles ------------------------------------------------------------

static void putColor(QByteArray *out, QRgb color)
{
    out->append(char(qRed(color)))
        .append(char(qGreen(color)))
        .append(char(qBlue(color)))
        .append('\0');
}

EmfBuilder::EmfBuilder(const QSize &framePixels)
{
    // Reference device: 960 x 960 pixels on 254 x 254 mm, i.e. 96 dpi.
    m_data = QByteArray(108, '\0');
    set32(&m_data, 0, 1);
    set32(&m_data, 4, 108);
    set32(&m_data, 8, 0);
    set32(&m_data, 12, 0);
    set32(&m_data, 16, quint32(framePixels.width() - 1));
    set32(&m_data, 20, quint32(framePixels.height() - 1));
    set32(&m_data, 24, 0);
    set32(&m_data, 28, 0);
    set32(&m_data, 32, quint32(qRound(framePixels.width() * 2540.0 / 96.0)));
    set32(&m_data, 36, quint32(qRound(framePixels.height() * 2540.0 / 96.0)));
    set32(&m_data, 40, 0x464D4520);
    set32(&m_data, 44, 0x10000);
    m_data[56] = char(16); // nHandles
    set32(&m_data, 72, 960);
    set32(&m_data, 76, 960);
    set32(&m_data, 80, 254);
    set32(&m_data, 84, 254);
    set32(&m_data, 100, 254000);
    set32(&m_data, 104, 254000);
}

void EmfBuilder::record(quint32 type, const QByteArray &payload)
{
    QByteArray body = payload;
    pad(&body, 4);
    put32(&m_data, type);
    put32(&m_data, quint32(body.size() + 8));
    m_data += body;
    ++m_records;
}

void EmfBuilder::setBkMode(int mode)
{
    QByteArray p;
    put32(&p, quint32(mode));
    record(18, p);
}

void EmfBuilder::setMapMode(int mode)
{
    QByteArray p;
    put32(&p, quint32(mode));
    record(17, p);
}

void EmfBuilder::setWindowExt(int cx, int cy)
{
    QByteArray p;
    put32(&p, quint32(cx));
    put32(&p, quint32(cy));
    record(9, p);
}

void EmfBuilder::setViewportExt(int cx, int cy)
{
    QByteArray p;
    put32(&p, quint32(cx));
    put32(&p, quint32(cy));
    record(11, p);
}

void EmfBuilder::setTextColor(QRgb color)
{
    QByteArray p;
    putColor(&p, color);
    record(24, p);
}

void EmfBuilder::createBrush(quint32 index, QRgb color, quint32 style)
{
    QByteArray p;
    put32(&p, index);
    put32(&p, style);
    putColor(&p, color);
    put32(&p, 0);
    record(39, p);
}

void EmfBuilder::createPen(quint32 index, QRgb color, int width, quint32 style)
{
    QByteArray p;
    put32(&p, index);
    put32(&p, style);
    put32(&p, quint32(width));
    put32(&p, 0);
    putColor(&p, color);
    record(38, p);
}

void EmfBuilder::selectObject(quint32 index)
{
    QByteArray p;
    put32(&p, index);
    record(37, p);
}

void EmfBuilder::rectangle(const QRect &rect)
{
    QByteArray p;
    put32(&p, quint32(rect.left()));
    put32(&p, quint32(rect.top()));
    put32(&p, quint32(rect.right()));
    put32(&p, quint32(rect.bottom()));
    record(43, p);
}

void EmfBuilder::ellipse(const QRect &rect)
{
    QByteArray p;
    put32(&p, quint32(rect.left()));
    put32(&p, quint32(rect.top()));
    put32(&p, quint32(rect.right()));
    put32(&p, quint32(rect.bottom()));
    record(42, p);
}

void EmfBuilder::polygon16(const QVector<QPoint> &points)
{
    QByteArray p(16, '\0');
    put32(&p, quint32(points.size()));
    for (const QPoint &pt : points) {
        put16(&p, quint16(pt.x()));
        put16(&p, quint16(pt.y()));
    }
    record(86, p);
}

void EmfBuilder::textOut(const QPoint &at, const QString &text, int height)
{
    QByteArray font;
    put32(&font, 9); // object index
    put32(&font, quint32(-height));
    font.append(QByteArray(12, '\0')); // width, escapement, orientation
    put32(&font, 400);
    font.append(QByteArray(8, '\0'));
    QByteArray face(64, '\0');
    const QString family = QStringLiteral("DejaVu Sans");
    memcpy(face.data(), family.utf16(), size_t(family.size()) * 2);
    font += face;
    record(82, font);
    selectObject(9);

    QByteArray p(16, '\0'); // rclBounds
    put32(&p, 1); // iGraphicsMode
    p.append(QByteArray(8, '\0')); // exScale, eyScale
    put32(&p, quint32(at.x()));
    put32(&p, quint32(at.y()));
    put32(&p, quint32(text.size()));
    put32(&p, 60); // offString: 8 + 52
    put32(&p, 0x100); // ETO_NO_RECT
    put32(&p, 0); // offDx: none
    p.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    record(84, p);
}

void EmfBuilder::stretchDIBits(const QRect &dest, const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QByteArray p(16, '\0'); // rclBounds
    put32(&p, quint32(dest.x()));
    put32(&p, quint32(dest.y()));
    put32(&p, 0);
    put32(&p, 0); // Src
    put32(&p, quint32(rgb.width()));
    put32(&p, quint32(rgb.height())); // cSrc
    put32(&p, 80); // offBmiSrc
    put32(&p, 40); // cbBmiSrc
    put32(&p, 120); // offBitsSrc
    put32(&p, quint32(rgb.width() * rgb.height() * 4));
    put32(&p, 0); // DIB_RGB_COLORS
    put32(&p, 0x00CC0020); // SRCCOPY
    put32(&p, quint32(dest.width()));
    put32(&p, quint32(dest.height())); // cDest
    put32(&p, 40);
    put32(&p, quint32(rgb.width()));
    put32(&p, quint32(rgb.height())); // bottom-up
    put16(&p, 1);
    put16(&p, 32);
    p.append(QByteArray(24, '\0'));
    for (int y = rgb.height() - 1; y >= 0; --y)
        p.append(reinterpret_cast<const char *>(rgb.constScanLine(y)), rgb.width() * 4);
    record(81, p);
}

QByteArray EmfBuilder::finish()
{
    QByteArray eof;
    put32(&eof, 0);
    put32(&eof, 16);
    put32(&eof, 20);
    record(14, eof);
    set32(&m_data, 48, quint32(m_data.size()));
    set32(&m_data, 52, m_records);
    return m_data;
}

WmfBuilder::WmfBuilder(const QRect &box, int unitsPerInch, bool placeable)
{
    if (placeable) {
        put32(&m_prefix, 0x9AC6CDD7);
        put16(&m_prefix, 0);
        put16(&m_prefix, quint16(box.left()));
        put16(&m_prefix, quint16(box.top()));
        put16(&m_prefix, quint16(box.left() + box.width()));
        put16(&m_prefix, quint16(box.top() + box.height()));
        put16(&m_prefix, quint16(unitsPerInch));
        put32(&m_prefix, 0);
        quint16 checksum = 0;
        for (int i = 0; i < 10; ++i)
            checksum ^= qFromLittleEndian<quint16>(m_prefix.constData() + 2 * i);
        put16(&m_prefix, checksum);
    }
    record(0x0103, { 8 }); // SETMAPMODE
    record(0x020B, { qint16(box.top()), qint16(box.left()) }); // SETWINDOWORG
    record(0x020C, { qint16(box.height()), qint16(box.width()) }); // SETWINDOWEXT
}

void WmfBuilder::record(quint16 function, const QVector<qint16> &params)
{
    put32(&m_records, quint32(3 + params.size()));
    put16(&m_records, function);
    for (qint16 v : params)
        put16(&m_records, quint16(v));
    m_maxRecord = qMax(m_maxRecord, 3 + params.size());
}

void WmfBuilder::createBrush(QRgb color)
{
    record(0x02FC, { 0, qint16(qRed(color) | (qGreen(color) << 8)), qint16(qBlue(color)), 0 });
    ++m_objects;
}

void WmfBuilder::createPen(QRgb color, int width)
{
    record(0x02FA,
        { 0, qint16(width), 0, qint16(qRed(color) | (qGreen(color) << 8)), qint16(qBlue(color)) });
    ++m_objects;
}

void WmfBuilder::selectObject(int index) { record(0x012D, { qint16(index) }); }

void WmfBuilder::deleteObject(int index) { record(0x01F0, { qint16(index) }); }

void WmfBuilder::rectangle(const QRect &rect)
{
    record(0x041B,
        { qint16(rect.bottom() + 1), qint16(rect.right() + 1), qint16(rect.top()),
            qint16(rect.left()) });
}

void WmfBuilder::polygon(const QVector<QPoint> &points)
{
    QVector<qint16> params { qint16(points.size()) };
    for (const QPoint &p : points)
        params << qint16(p.x()) << qint16(p.y());
    record(0x0324, params);
}

QByteArray WmfBuilder::finish()
{
    record(0x0000, {});
    QByteArray header;
    put16(&header, 1);
    put16(&header, 9);
    put16(&header, 0x0300);
    put32(&header, quint32((18 + m_records.size()) / 2));
    put16(&header, quint16(qMax(1, m_objects)));
    put32(&header, quint32(m_maxRecord));
    put16(&header, 0);
    return m_prefix + header + m_records;
}

void patch16(QByteArray *bytes, int offset, quint16 value)
{
    (*bytes)[offset] = char(value & 0xFF);
    (*bytes)[offset + 1] = char(value >> 8);
}

void patch32(QByteArray *bytes, int offset, quint32 value) { set32(bytes, offset, value); }

QVector<QRgb> quadrantSamples(const QImage &image)
{
    const int w = image.width(), h = image.height();
    return { image.pixel(w / 4, h / 4), image.pixel(3 * w / 4, h / 4),
        image.pixel(3 * w / 4, 3 * h / 4), image.pixel(w / 4, 3 * h / 4) };
}

} // namespace CodecFixtures
