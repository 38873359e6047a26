#include "GifFixtures.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

#include <gif_lib.h>

namespace GifFixtures {

namespace {

int appendBytes(GifFileType *gif, const GifByteType *data, int length)
{
    static_cast<QByteArray *>(gif->UserData)->append(reinterpret_cast<const char *>(data), length);
    return length;
}

struct Reader
{
    const QByteArray *bytes;
    int position;
};

int readBytes(GifFileType *gif, GifByteType *buffer, int length)
{
    auto *reader = static_cast<Reader *>(gif->UserData);
    const int count = std::min(length, int(reader->bytes->size()) - reader->position);
    std::memcpy(buffer, reader->bytes->constData() + reader->position, size_t(count));
    reader->position += count;
    return count;
}

ColorMapObject *makeMap(const QVector<QRgb> &palette)
{
    int bits = 1;
    while ((1 << bits) < palette.size())
        ++bits;
    std::vector<GifColorType> colours(size_t(1) << bits, GifColorType { 0, 0, 0 });
    for (int i = 0; i < palette.size(); ++i)
        colours[size_t(i)] = GifColorType { GifByteType(qRed(palette[i])),
            GifByteType(qGreen(palette[i])), GifByteType(qBlue(palette[i])) };
    return GifMakeMapObject(1 << bits, colours.data());
}

} // namespace

int Decoded::totalDelay() const
{
    int sum = 0;
    for (int d : delays)
        sum += d;
    return sum;
}

Frame filledFrame(int width, int height, quint8 index, int delay)
{
    Frame frame;
    frame.width = width;
    frame.height = height;
    frame.indices = QVector<quint8>(width * height, index);
    frame.delay = delay;
    return frame;
}

QByteArray encode(const Gif &gif)
{
    QByteArray out;
    int error = 0;
    GifFileType *file = EGifOpen(&out, appendBytes, &error);
    if (!file)
        return QByteArray();
    EGifSetGifVersion(file, true);
    ColorMapObject *global = gif.palette.isEmpty() ? nullptr : makeMap(gif.palette);
    bool ok = EGifPutScreenDesc(file, gif.width, gif.height, 8, 0, global) == GIF_OK;
    GifFreeMapObject(global);
    if (ok && gif.loopCount >= 0) {
        const unsigned char loop[3] = { 1, uchar(gif.loopCount & 0xff), uchar(gif.loopCount >> 8) };
        ok = EGifPutExtensionLeader(file, APPLICATION_EXT_FUNC_CODE) == GIF_OK
            && EGifPutExtensionBlock(file, 11, "NETSCAPE2.0") == GIF_OK
            && EGifPutExtensionBlock(file, 3, loop) == GIF_OK
            && EGifPutExtensionTrailer(file) == GIF_OK;
    }
    for (const Frame &frame : gif.frames) {
        if (!ok)
            break;
        GraphicsControlBlock control;
        control.DisposalMode = frame.disposal;
        control.UserInputFlag = false;
        control.DelayTime = frame.delay;
        control.TransparentColor = frame.transparent;
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        ColorMapObject *local
            = frame.localPalette.isEmpty() ? nullptr : makeMap(frame.localPalette);
        // giflib 5.2 drops, without freeing, the previous frame's local table when
        // a frame without one follows.
        if (!local && file->Image.ColorMap) {
            GifFreeMapObject(file->Image.ColorMap);
            file->Image.ColorMap = nullptr;
        }
        QVector<quint8> pixels;
        if (frame.interlaced) {
            static const int offsets[] = { 0, 4, 2, 1 };
            static const int steps[] = { 8, 8, 4, 2 };
            for (int pass = 0; pass < 4; ++pass)
                for (int row = offsets[pass]; row < frame.height; row += steps[pass])
                    pixels += frame.indices.mid(row * frame.width, frame.width);
        } else {
            pixels = frame.indices;
        }
        ok = EGifPutExtension(file, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK
            && EGifPutImageDesc(
                   file, frame.left, frame.top, frame.width, frame.height, frame.interlaced, local)
                == GIF_OK
            && EGifPutLine(file, pixels.data(), pixels.size()) == GIF_OK;
        GifFreeMapObject(local);
    }
    if (EGifCloseFile(file, &error) != GIF_OK || !ok)
        return QByteArray();
    return out;
}

Decoded decode(const QByteArray &bytes)
{
    Decoded result;
    Reader reader { &bytes, 0 };
    int error = 0;
    std::unique_ptr<GifFileType, void (*)(GifFileType *)> gif(
        DGifOpen(&reader, readBytes, &error), [](GifFileType *g) {
            int e = 0;
            DGifCloseFile(g, &e);
        });
    if (!gif || DGifSlurp(gif.get()) != GIF_OK || gif->ImageCount < 1)
        return result;
    result.width = gif->SWidth;
    result.height = gif->SHeight;

    QImage canvas(result.width, result.height, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    std::set<QRgb> visible;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage &image = gif->SavedImages[i];
        for (int e = 0; e + 1 < image.ExtensionBlockCount; ++e) {
            const ExtensionBlock &block = image.ExtensionBlocks[e];
            if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11
                && std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0) {
                const ExtensionBlock &data = image.ExtensionBlocks[e + 1];
                if (data.ByteCount >= 3)
                    result.loopCount = data.Bytes[1] | (data.Bytes[2] << 8);
            }
        }
        GraphicsControlBlock control { 0, false, 0, NO_TRANSPARENT_COLOR };
        DGifSavedExtensionToGCB(gif.get(), i, &control);
        const GifImageDesc &desc = image.ImageDesc;
        const ColorMapObject *map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
        if (!map)
            return result;
        const QRect rect(desc.Left, desc.Top, desc.Width, desc.Height);
        const QImage before = canvas;
        std::set<int> used;
        for (int y = 0; y < desc.Height; ++y) {
            for (int x = 0; x < desc.Width; ++x) {
                const int index = image.RasterBits[y * desc.Width + x];
                if (index == control.TransparentColor)
                    continue;
                used.insert(index);
                if (!canvas.rect().contains(desc.Left + x, desc.Top + y)
                    || index >= map->ColorCount)
                    continue;
                const GifColorType &c = map->Colors[index];
                canvas.setPixel(desc.Left + x, desc.Top + y, qRgb(c.Red, c.Green, c.Blue));
            }
        }
        result.largestColourTable = std::max(result.largestColourTable, int(used.size()));
        result.frames.append(canvas);
        result.delays.append(control.DelayTime);
        result.rects.append(rect);
        for (int y = 0; y < canvas.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(canvas.constScanLine(y));
            for (int x = 0; x < canvas.width(); ++x) {
                if (qAlpha(line[x]) == 255)
                    visible.insert(line[x]);
            }
        }
        if (control.DisposalMode == DISPOSE_BACKGROUND) {
            const QRect clipped = rect & canvas.rect();
            for (int y = clipped.top(); y <= clipped.bottom(); ++y)
                for (int x = clipped.left(); x <= clipped.right(); ++x)
                    canvas.setPixel(x, y, qRgba(0, 0, 0, 0));
        } else if (control.DisposalMode == DISPOSE_PREVIOUS) {
            canvas = before;
        }
    }
    result.visibleColours = QVector<QRgb>(visible.begin(), visible.end());
    result.ok = true;
    return result;
}

} // namespace GifFixtures
