#include "KImageGifDecoder.h"

#include <memory>

#include <gif_lib.h>

#include <QFile>
#include <QPainter>

#include "codec/ImageLimits.h"

namespace {

int readFromFile(GifFileType *gif, GifByteType *buffer, int length)
{
    auto *file = static_cast<QFile *>(gif->UserData);
    const qint64 n = file->read(reinterpret_cast<char *>(buffer), length);
    return n < 0 ? 0 : int(n);
}

struct GifCloser
{
    void operator()(GifFileType *gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

QVector<QRgb> colorTable(const ColorMapObject *map, int transparent)
{
    // Indices past the palette read as opaque black.
    QVector<QRgb> table(256, qRgb(0, 0, 0));
    if (map && map->Colors) {
        const int count = qBound(0, map->ColorCount, 256);
        for (int i = 0; i < count; ++i)
            table[i] = qRgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
    }
    if (transparent >= 0 && transparent < 256)
        table[transparent] = qRgba(0, 0, 0, 0);
    return table;
}

// Skips the pixel data of an image we do not decode.
bool skipImageData(GifFileType *gif)
{
    int codeSize = 0;
    GifByteType *block = nullptr;
    if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR)
        return false;
    while (block) {
        if (DGifGetCodeNext(gif, &block) == GIF_ERROR)
            return false;
    }
    return true;
}

bool readRows(GifFileType *gif, QImage *image)
{
    const int width = image->width();
    const int height = image->height();
    if (!gif->Image.Interlace) {
        for (int y = 0; y < height; ++y)
            if (DGifGetLine(gif, image->scanLine(y), width) == GIF_ERROR)
                return false;
        return true;
    }
    static const int start[4] = { 0, 4, 2, 1 };
    static const int step[4] = { 8, 8, 4, 2 };
    for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < height; y += step[pass])
            if (DGifGetLine(gif, image->scanLine(y), width) == GIF_ERROR)
                return false;
    return true;
}

qint64 canvasBytes(const QSize &size) { return qint64(size.width()) * size.height() * 4; }

} // namespace

KImageGifDecoder::KImageGifDecoder(KImageWrapper *wrapper)
    : KImageDecoderBase(wrapper)
{
}

KImageGifDecoder::~KImageGifDecoder() = default;

void KImageGifDecoder::clear()
{
    m_frames.clear();
    m_cache.clear();
    m_cacheBytes = 0;
    m_canvasSize = QSize();
    m_colorCount = 256;
}

bool KImageGifDecoder::decodeFile(const QString &path)
{
    if (!readFrames(path, true))
        return false;
    QImage canvas(m_canvasSize, QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull()) {
        clear();
        return false;
    }
    canvas.fill(Qt::transparent);
    const QImage empty = canvas;
    drawFrame(&canvas, 0);
    cacheFrame(0, canvas, m_frames.first().disposal == 3 ? empty : QImage());
    return true;
}

bool KImageGifDecoder::readOutline(const QString &path, Outline *outline)
{
    KImageGifDecoder decoder(nullptr);
    if (!decoder.readFrames(path, false))
        return false;
    outline->frameCount = decoder.frameCount();
    outline->canvasSize = decoder.m_canvasSize;
    outline->colorCount = decoder.m_colorCount;
    return true;
}

bool KImageGifDecoder::readFrames(const QString &path, bool withPixels)
{
    clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&file, readFromFile, &error));
    if (!gif)
        return false;

    if (const ColorMapObject *global = gif->SColorMap) {
        const int count = global->Colors ? qBound(0, global->ColorCount, 256) : 0;
        for (int i = 0; i < count; ++i) {
            const GifColorType &c = global->Colors[i];
            if (c.Red == 0 && c.Green == 0 && c.Blue == 0) {
                m_colorCount = i;
                break;
            }
        }
    }

    GraphicsControlBlock control { DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR };
    qint64 used = 0;
    bool failed = false;
    for (bool done = false; !done && !failed;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        // A file that stops (or carries junk) between records ends there.
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR)
            break;
        switch (type) {
        case EXTENSION_RECORD_TYPE: {
            int code = 0;
            GifByteType *block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) {
                failed = true;
                break;
            }
            if (code == GRAPHICS_EXT_FUNC_CODE && block) {
                GraphicsControlBlock parsed;
                if (DGifExtensionToGCB(block[0], block + 1, &parsed) == GIF_OK)
                    control = parsed;
            }
            while (block && !failed)
                failed = DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR;
            break;
        }
        case IMAGE_DESC_RECORD_TYPE: {
            if (DGifGetImageDesc(gif.get()) == GIF_ERROR) {
                failed = true;
                break;
            }
            const GifImageDesc &desc = gif->Image;
            RawFrame frame;
            frame.rect = QRect(desc.Left, desc.Top, desc.Width, desc.Height);
            frame.disposal = control.DisposalMode >= 0 && control.DisposalMode <= 3
                ? control.DisposalMode
                : DISPOSAL_UNSPECIFIED;
            frame.delayMs = qMax(0, control.DelayTime) * 10;
            // Descriptor, palette and bookkeeping cost memory even for
            // frames without pixels.
            used += 2048;
            if (desc.Width <= 0 || desc.Height <= 0) {
                failed = !skipImageData(gif.get());
            } else if (!withPixels) {
                used += qint64(desc.Width) * desc.Height;
                failed = !ImageLimits::sizeAllowed(desc.Width, desc.Height)
                    || used > ImageLimits::kMaxDecodedBytes || !skipImageData(gif.get());
            } else if (!ImageLimits::sizeAllowed(desc.Width, desc.Height)) {
                failed = true;
            } else {
                used += qint64(desc.Width) * desc.Height;
                if (used > ImageLimits::kMaxDecodedBytes) {
                    failed = true;
                    break;
                }
                frame.image = QImage(desc.Width, desc.Height, QImage::Format_Indexed8);
                if (frame.image.isNull()) {
                    failed = true;
                    break;
                }
                frame.image.setColorTable(colorTable(
                    desc.ColorMap ? desc.ColorMap : gif->SColorMap, control.TransparentColor));
                failed = !readRows(gif.get(), &frame.image);
            }
            if (used > ImageLimits::kMaxDecodedBytes)
                failed = true;
            if (!failed)
                m_frames.append(frame);
            control = GraphicsControlBlock { DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR };
            break;
        }
        case TERMINATE_RECORD_TYPE:
        default:
            done = true;
            break;
        }
    }
    if (failed || m_frames.isEmpty()) {
        clear();
        return false;
    }

    m_canvasSize = QSize(gif->SWidth, gif->SHeight);
    if (m_canvasSize.isEmpty()) {
        const QRect first = m_frames.first().rect;
        m_canvasSize = QSize(first.x() + first.width(), first.y() + first.height());
    }
    if (!ImageLimits::sizeAllowed(m_canvasSize.width(), m_canvasSize.height())) {
        clear();
        return false;
    }
    return true;
}

void KImageGifDecoder::drawFrame(QImage *canvas, int index) const
{
    const RawFrame &frame = m_frames[index];
    if (frame.image.isNull())
        return;
    QPainter painter(canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(frame.rect.topLeft(), frame.image);
}

void KImageGifDecoder::cacheFrame(int index, const QImage &composed, const QImage &beforeDraw)
{
    const qint64 bytes = canvasBytes(m_canvasSize) * (beforeDraw.isNull() ? 1 : 2);
    // Frame 0 is always kept; the others only while the cache stays within
    // the decoder's memory budget.
    if (index != 0 && m_cacheBytes + bytes > ImageLimits::kMaxDecodedBytes)
        return;
    m_cache.insert(index, CacheEntry { composed, beforeDraw });
    m_cacheBytes += bytes;
}

QImage KImageGifDecoder::frameAt(int index)
{
    if (index < 0 || index >= m_frames.size() || !m_cache.contains(0))
        return QImage();
    const auto cached = m_cache.constFind(index);
    if (cached != m_cache.constEnd())
        return cached->composed;

    int start = (index / kCacheStep) * kCacheStep;
    while (start > 0 && !m_cache.contains(start))
        start -= kCacheStep;
    start = qMax(start, 0);
    const CacheEntry &entry = m_cache[start];
    QImage canvas = entry.composed;
    QImage beforePrevious = entry.beforeDraw;
    for (int j = start + 1; j <= index; ++j) {
        const RawFrame &previous = m_frames[j - 1];
        if (previous.disposal == 2) {
            QPainter painter(&canvas);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.fillRect(previous.rect, Qt::transparent);
        } else if (previous.disposal == 3 && !beforePrevious.isNull()) {
            canvas = beforePrevious;
        }
        beforePrevious = m_frames[j].disposal == 3 ? canvas : QImage();
        // Detach before painting so the saved state stays as it was.
        canvas.detach();
        drawFrame(&canvas, j);
    }
    if (index % kCacheStep == 0)
        cacheFrame(index, canvas, beforePrevious);
    return canvas;
}

int KImageGifDecoder::frameCount() const { return m_frames.size(); }

QRect KImageGifDecoder::frameRect(int index) const
{
    return index >= 0 && index < m_frames.size() ? m_frames[index].rect : QRect();
}

int KImageGifDecoder::disposal(int index) const
{
    return index >= 0 && index < m_frames.size() ? m_frames[index].disposal : 0;
}

int KImageGifDecoder::frameDelay(int index) const
{
    return index >= 0 && index < m_frames.size() ? m_frames[index].delayMs : 0;
}

QImage KImageGifDecoder::rawFrame(int index) const
{
    return index >= 0 && index < m_frames.size() ? m_frames[index].image : QImage();
}
