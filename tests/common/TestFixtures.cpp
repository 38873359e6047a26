#include "TestFixtures.h"

#include <gif_lib.h>
#include <libheif/heif.h>

#include <QDataStream>
#include <QFile>

namespace TestFixtures {

bool writeAnimatedGif(
    const QString &path, int width, int height, const QVector<QColor> &frames, int delay)
{
    int error = 0;
    GifFileType *gif = EGifOpenFileName(QFile::encodeName(path).constData(), false, &error);
    if (!gif)
        return false;
    const int colours = 16;
    ColorMapObject *map = GifMakeMapObject(colours, nullptr);
    map->Colors[0] = { 255, 255, 255 };
    for (int i = 0; i < frames.size() && i + 1 < colours; ++i)
        map->Colors[i + 1] = { GifByteType(frames[i].red()), GifByteType(frames[i].green()),
            GifByteType(frames[i].blue()) };
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, width, height, 4, 0, map) == GIF_OK;
    unsigned char loop[3] = { 1, 0, 0 };
    ok = ok && EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK
        && EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") == GIF_OK
        && EGifPutExtensionBlock(gif, 3, loop) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;
    QVector<GifPixelType> line(width);
    for (int f = 0; ok && f < frames.size(); ++f) {
        GraphicsControlBlock gcb;
        gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
        gcb.UserInputFlag = false;
        gcb.DelayTime = delay;
        gcb.TransparentColor = NO_TRANSPARENT_COLOR;
        GifByteType ext[4];
        EGifGCBToExtension(&gcb, ext);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) == GIF_OK
            && EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
        for (int y = 0; ok && y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const bool border = f == 0 && (x < 2 || y < 2 || x >= width - 2 || y >= height - 2);
                line[x] = GifPixelType(border ? 0 : f + 1);
            }
            ok = EGifPutLine(gif, line.data(), width) == GIF_OK;
        }
    }
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &error) != GIF_OK)
        ok = false;
    return ok;
}

QByteArray withDamagedLastFrame(const QByteArray &gif)
{
    const auto byte = [&gif](int at) { return at < gif.size() ? int(uchar(gif[at])) : -1; };
    // Skips a run of sub-blocks from at; -1 when the file ends inside it.
    const auto skipBlocks = [&byte](int at) {
        for (int length = byte(at); length > 0; length = byte(at))
            at += length + 1;
        return byte(at) == 0 ? at + 1 : -1;
    };
    if (!gif.startsWith("GIF") || gif.size() < 13)
        return QByteArray();
    int at = 13;
    if (byte(10) & 0x80)
        at += 3 * (1 << ((byte(10) & 7) + 1));
    int lastData = -1;
    while (at >= 0 && byte(at) != 0x3B) {
        if (byte(at) == 0x21) {
            at = skipBlocks(at + 2);
        } else if (byte(at) == 0x2C) {
            const int packed = byte(at + 9);
            at += 10;
            if (packed & 0x80)
                at += 3 * (1 << ((packed & 7) + 1));
            lastData = at + 1; // after the LZW code size
            at = skipBlocks(lastData);
        } else {
            return QByteArray();
        }
    }
    if (at < 0 || lastData < 0)
        return QByteArray();
    QByteArray damaged = gif;
    for (int block = lastData; byte(block) > 0; block += byte(block) + 1)
        for (int i = 1; i <= byte(block); ++i)
            damaged[block + i] = char(0xFF);
    return damaged;
}

bool writeHeic(const QString &path, const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGBA8888);
    heif_context *ctx = heif_context_alloc();
    heif_encoder *encoder = nullptr;
    if (heif_context_get_encoder_for_format(ctx, heif_compression_HEVC, &encoder).code
        != heif_error_Ok) {
        heif_context_free(ctx);
        return false;
    }
    heif_encoder_set_lossy_quality(encoder, 90);
    heif_image *img = nullptr;
    bool ok = heif_image_create(image.width(), image.height(), heif_colorspace_RGB,
                  heif_chroma_interleaved_RGBA, &img)
                  .code
        == heif_error_Ok;
    ok = ok
        && heif_image_add_plane(img, heif_channel_interleaved, image.width(), image.height(), 8)
                .code
            == heif_error_Ok;
    if (ok) {
        int stride = 0;
        uint8_t *plane = heif_image_get_plane(img, heif_channel_interleaved, &stride);
        for (int y = 0; y < image.height(); ++y)
            memcpy(plane + y * stride, image.constScanLine(y), size_t(image.width()) * 4);
        ok = heif_context_encode_image(ctx, img, encoder, nullptr, nullptr).code == heif_error_Ok
            && heif_context_write_to_file(ctx, QFile::encodeName(path).constData()).code
                == heif_error_Ok;
    }
    if (img)
        heif_image_release(img);
    heif_encoder_release(encoder);
    heif_context_free(ctx);
    return ok;
}

namespace {

struct Entry
{
    quint16 tag;
    quint16 type; // 1 BYTE, 2 ASCII, 3 SHORT, 4 LONG, 10 SRATIONAL
    QByteArray data; // little-endian value bytes
    quint32 count;
};

QByteArray shorts(std::initializer_list<quint16> values)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    for (quint16 v : values)
        out << v;
    return bytes;
}

QByteArray longs(std::initializer_list<quint32> values)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    for (quint32 v : values)
        out << v;
    return bytes;
}

} // namespace

bool writeDng(const QString &path, int width, int height)
{
    QByteArray pixels;
    {
        QDataStream out(&pixels, QIODevice::WriteOnly);
        out.setByteOrder(QDataStream::LittleEndian);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                out << quint16(x < width / 2 ? 52000 : 9000);
    }
    const QByteArray model("Quorvel Test\0", 13);
    const QByteArray make("Quorvel\0", 8);
    QByteArray matrix;
    {
        QDataStream out(&matrix, QIODevice::WriteOnly);
        out.setByteOrder(QDataStream::LittleEndian);
        const qint32 m[9] = { 10000, 0, 0, 0, 10000, 0, 0, 0, 10000 };
        for (qint32 v : m)
            out << v << qint32(10000);
    }
    QVector<Entry> entries {
        { 254, 4, longs({ 0 }), 1 },
        { 256, 4, longs({ quint32(width) }), 1 },
        { 257, 4, longs({ quint32(height) }), 1 },
        { 258, 3, shorts({ 16 }), 1 },
        { 259, 3, shorts({ 1 }), 1 },
        { 262, 3, shorts({ 32803 }), 1 },
        { 271, 2, make, quint32(make.size()) },
        { 272, 2, model, quint32(model.size()) },
        { 273, 4, longs({ 0 }), 1 }, // strip offset, patched below
        { 274, 3, shorts({ 1 }), 1 },
        { 277, 3, shorts({ 1 }), 1 },
        { 278, 4, longs({ quint32(height) }), 1 },
        { 279, 4, longs({ quint32(pixels.size()) }), 1 },
        { 284, 3, shorts({ 1 }), 1 },
        { 33421, 3, shorts({ 2, 2 }), 2 },
        { 33422, 1, QByteArray("\x00\x01\x01\x02", 4), 4 },
        { 50706, 1, QByteArray("\x01\x04\x00\x00", 4), 4 },
        { 50708, 2, model, quint32(model.size()) },
        { 50717, 4, longs({ 65535 }), 1 },
        { 50721, 10, matrix, 9 },
        { 50778, 3, shorts({ 21 }), 1 },
    };
    // Layout: header (8), IFD, then out-of-line values, then the strip.
    const quint32 ifdSize = 2 + quint32(entries.size()) * 12 + 4;
    quint32 extra = 8 + ifdSize;
    QByteArray outOfLine;
    QVector<quint32> offsets(entries.size(), 0);
    for (int i = 0; i < entries.size(); ++i) {
        if (entries[i].data.size() > 4) {
            offsets[i] = extra + quint32(outOfLine.size());
            outOfLine += entries[i].data;
            if (outOfLine.size() % 2)
                outOfLine += '\0';
        }
    }
    const quint32 stripOffset = extra + quint32(outOfLine.size());
    entries[8].data = longs({ stripOffset });

    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("II", 2);
    out << quint16(42) << quint32(8) << quint16(entries.size());
    for (int i = 0; i < entries.size(); ++i) {
        out << entries[i].tag << entries[i].type << entries[i].count;
        if (entries[i].data.size() > 4) {
            out << offsets[i];
        } else {
            QByteArray value = entries[i].data;
            value.append(QByteArray(4 - value.size(), '\0'));
            out.writeRawData(value.constData(), 4);
        }
    }
    out << quint32(0);
    out.writeRawData(outOfLine.constData(), outOfLine.size());
    out.writeRawData(pixels.constData(), pixels.size());

    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(file) == file.size();
}

} // namespace TestFixtures
