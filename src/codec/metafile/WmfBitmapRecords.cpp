#include <uwmf.h>

#include "codec/metafile/DibImage.h"
#include "codec/metafile/WmfRecords_p.h"

// Packed device-independent bitmaps (any of DibImage's encodings) and the
// raster operations that need none.

namespace WmfRecords {

namespace {

constexpr quint32 kRopSrcCopy = 0x00CC0020;
constexpr quint32 kRopPatCopy = 0x00F00021;
constexpr quint32 kRopBlackness = 0x00000042;
constexpr quint32 kRopWhiteness = 0x00FF0062;

void blit(MetafileCanvas &canvas, const QRectF &dest, quint32 rop, const QImage &image,
    const QRectF &source)
{
    if (rop == kRopBlackness)
        canvas.fillRect(dest, QBrush(Qt::black));
    else if (rop == kRopWhiteness)
        canvas.fillRect(dest, QBrush(Qt::white));
    else if (image.isNull() && rop == kRopPatCopy)
        canvas.fillRect(dest, canvas.currentBrush());
    else if (!image.isNull())
        canvas.drawImage(dest, image, source);
}

QRectF sourceRect(const QImage &image, qreal x, qreal y, qreal w, qreal h)
{
    if (image.isNull() || w <= 0 || h <= 0)
        return QRectF(image.rect());
    // DIB rows run bottom-up in the file; source rectangles count from the top.
    return QRectF(x, image.height() - y - h, w, h);
}

QImage packedDib(const Params &p, qint64 index)
{
    return DibImage::decodePacked(p.bytes(index), p.bytesFrom(index));
}

void patBlt(const Params &p, MetafileCanvas &canvas)
{
    if (!p.has(0, 6))
        return;
    const QRectF dest(p.s(5), p.s(4), p.s(3), p.s(2));
    blit(canvas, dest, p.u32(0), QImage(), QRectF());
}

void stretchDib(const Params &p, MetafileCanvas &canvas)
{
    if (!p.has(0, 11))
        return;
    const QImage image = p.u(2) == 0 ? packedDib(p, 11) : QImage();
    blit(canvas, QRectF(p.s(10), p.s(9), p.s(8), p.s(7)), p.u32(0), image,
        sourceRect(image, p.s(6), p.s(5), p.s(4), p.s(3)));
}

void dibStretchBlt(const Params &p, MetafileCanvas &canvas)
{
    // Without a bitmap the record carries one reserved word more.
    if (p.count() <= 11) {
        if (p.has(0, 11))
            blit(canvas, QRectF(p.s(10), p.s(9), p.s(8), p.s(7)), p.u32(0), QImage(), QRectF());
        return;
    }
    if (!p.has(0, 10))
        return;
    const QImage image = packedDib(p, 10);
    blit(canvas, QRectF(p.s(9), p.s(8), p.s(7), p.s(6)), p.u32(0), image,
        sourceRect(image, p.s(5), p.s(4), p.s(3), p.s(2)));
}

void dibBitBlt(const Params &p, MetafileCanvas &canvas)
{
    if (p.count() <= 9) {
        if (p.has(0, 9))
            blit(canvas, QRectF(p.s(8), p.s(7), p.s(6), p.s(5)), p.u32(0), QImage(), QRectF());
        return;
    }
    if (!p.has(0, 8))
        return;
    const QImage image = packedDib(p, 8);
    blit(canvas, QRectF(p.s(7), p.s(6), p.s(5), p.s(4)), p.u32(0), image,
        sourceRect(image, p.s(3), p.s(2), p.s(5), p.s(4)));
}

void setDibToDevice(const Params &p, MetafileCanvas &canvas)
{
    if (!p.has(0, 9))
        return;
    const QImage image = p.u(0) == 0 ? packedDib(p, 9) : QImage();
    blit(canvas, QRectF(p.s(8), p.s(7), p.s(6), p.s(5)), kRopSrcCopy, image,
        sourceRect(image, p.s(4), p.s(3), p.s(6), p.s(5)));
}

} // namespace

void addBitmapRecords(HandlerTable &table)
{
    table.set({ U_WMR_PATBLT }, patBlt);
    table.set({ U_WMR_STRETCHDIB }, stretchDib);
    table.set({ U_WMR_DIBSTRETCHBLT }, dibStretchBlt);
    table.set({ U_WMR_DIBBITBLT }, dibBitBlt);
    table.set({ U_WMR_SETDIBTODEV }, setDibToDevice);
}

} // namespace WmfRecords
