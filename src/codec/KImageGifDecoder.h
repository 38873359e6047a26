#pragma once

#include <QMap>
#include <QRect>
#include <QVector>

#include "codec/KImageDecoderBase.h"

// GIF files through giflib, frame by frame. Each raw frame is kept at its
// own size (8-bit indexed with its palette, a quarter of the memory of
// 32 bits) together with its rectangle on the logical screen, its disposal
// method and its delay; frameAt() composes the displayed frame on a canvas
// of the logical screen's size. Composed frames whose index is a multiple
// of 8 are cached when asked for, so playing forwards composes at most
// 8 frames per step.
//
// Also reports the colour-count estimate the GIF compression scales its
// colour setting from: the index of the first opaque black entry of the
// global palette (palettes pad unused entries with black), 256 without one.
//
// A file that ends inside a frame fails to load; one that ends (or carries
// junk) between frames keeps the frames before it. Owned by its
// KImageWrapper and used by one thread at a time.
class KImageGifDecoder : public KImageDecoderBase
{
public:
    static constexpr int kCacheStep = 8;

    explicit KImageGifDecoder(KImageWrapper *wrapper);
    ~KImageGifDecoder() override;

    bool decodeFile(const QString &path) override;
    // The composed frame (premultiplied ARGB, logical screen size).
    QImage frameAt(int index) override;
    int frameCount() const override;

    // What a file holds, read without decompressing any pixels: frame count,
    // logical screen and colour estimate as a decoder would report them.
    // False where decodeFile() fails on the file's structure or limits;
    // pixel data that does not decompress is noticed only by decodeFile().
    struct Outline
    {
        int frameCount = 0;
        QSize canvasSize;
        int colorCount = 256;
    };
    static bool readOutline(const QString &path, Outline *outline);

    int colorCount() const { return m_colorCount; }
    QSize canvasSize() const { return m_canvasSize; }
    QRect frameRect(int index) const;
    // 0 none, 1 leave in place, 2 restore to background, 3 restore to previous.
    int disposal(int index) const;
    // Delay after the frame in milliseconds (0 when the file gives none).
    int frameDelay(int index) const;
    QImage rawFrame(int index) const;
    bool isFrameCached(int index) const { return m_cache.contains(index); }

private:
    struct RawFrame
    {
        QImage image;
        QRect rect;
        int disposal = 0;
        int delayMs = 0;
    };
    struct CacheEntry
    {
        QImage composed;
        // The canvas before this frame was drawn, needed when its disposal
        // restores the previous content.
        QImage beforeDraw;
    };

    // The frames and the canvas size; the frames without their pixels
    // (skipped, not decompressed) unless withPixels.
    bool readFrames(const QString &path, bool withPixels);
    void clear();
    void drawFrame(QImage *canvas, int index) const;
    void cacheFrame(int index, const QImage &composed, const QImage &beforeDraw);

    QVector<RawFrame> m_frames;
    QMap<int, CacheEntry> m_cache;
    qint64 m_cacheBytes = 0;
    QSize m_canvasSize;
    int m_colorCount = 256;
};
