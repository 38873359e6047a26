#include <uemf.h>

#include "codec/metafile/DibImage.h"
#include "codec/metafile/EmfRecords_p.h"

// Bitmaps (device-independent, any of DibImage's encodings) and the raster
// operations that need none.

namespace EmfRecords {

namespace {

constexpr quint32 kRopSrcCopy = 0x00CC0020;
constexpr quint32 kRopPatCopy = 0x00F00021;
constexpr quint32 kRopBlackness = 0x00000042;
constexpr quint32 kRopWhiteness = 0x00FF0062;

// Source rectangles count rows from the bottom of bottom-up bitmaps.
QRectF sourceRect(const QImage &image, qreal x, qreal y, qreal w, qreal h, bool bottomUp)
{
    if (w <= 0 || h <= 0)
        return QRectF(image.rect());
    if (bottomUp)
        y = image.height() - y - h;
    return QRectF(x, y, w, h);
}

void blit(MetafileCanvas &canvas, const QRectF &dest, quint32 rop, const QImage &image,
    const QRectF &source, qreal opacity = 1.0)
{
    if (rop == kRopBlackness)
        canvas.fillRect(dest, QBrush(Qt::black));
    else if (rop == kRopWhiteness)
        canvas.fillRect(dest, QBrush(Qt::white));
    else if (image.isNull() && rop == kRopPatCopy)
        canvas.fillRect(dest, canvas.currentBrush());
    else if (!image.isNull())
        canvas.drawImage(dest, image, source, opacity);
}

void stretchBlt(const Record &r, MetafileCanvas &canvas)
{
    const bool bitBlt = r.type() == U_EMR_BITBLT;
    U_EMRSTRETCHBLT rec;
    if (!r.read(&rec, bitBlt ? sizeof(U_EMRBITBLT) : sizeof(U_EMRSTRETCHBLT)))
        return;
    const QRectF dest(rec.Dest.x, rec.Dest.y, rec.cDest.x, rec.cDest.y);
    bool bottomUp = false;
    const QImage image = dibOf(r, rec.iUsageSrc, rec.offBmiSrc, rec.cbBmiSrc, rec.offBitsSrc,
        rec.cbBitsSrc, false, &bottomUp);
    const qreal w = bitBlt ? rec.cDest.x : rec.cSrc.x;
    const qreal h = bitBlt ? rec.cDest.y : rec.cSrc.y;
    blit(canvas, dest, rec.dwRop, image, sourceRect(image, rec.Src.x, rec.Src.y, w, h, bottomUp));
}

void stretchDIBits(const Record &r, MetafileCanvas &canvas)
{
    U_EMRSTRETCHDIBITS rec;
    if (!r.read(&rec))
        return;
    bool bottomUp = false;
    const QImage image = dibOf(r, rec.iUsageSrc, rec.offBmiSrc, rec.cbBmiSrc, rec.offBitsSrc,
        rec.cbBitsSrc, false, &bottomUp);
    blit(canvas, QRectF(rec.Dest.x, rec.Dest.y, rec.cDest.x, rec.cDest.y),
        rec.dwRop == 0 ? kRopSrcCopy : rec.dwRop, image,
        sourceRect(image, rec.Src.x, rec.Src.y, rec.cSrc.x, rec.cSrc.y, bottomUp));
}

void setDIBitsToDevice(const Record &r, MetafileCanvas &canvas)
{
    U_EMRSETDIBITSTODEVICE rec;
    if (!r.read(&rec))
        return;
    bool bottomUp = false;
    const QImage image = dibOf(r, rec.iUsageSrc, rec.offBmiSrc, rec.cbBmiSrc, rec.offBitsSrc,
        rec.cbBitsSrc, false, &bottomUp);
    blit(canvas, QRectF(rec.Dest.x, rec.Dest.y, rec.cSrc.x, rec.cSrc.y), kRopSrcCopy, image,
        sourceRect(image, rec.Src.x, rec.Src.y, rec.cSrc.x, rec.cSrc.y, bottomUp));
}

void alphaBlend(const Record &r, MetafileCanvas &canvas)
{
    U_EMRALPHABLEND rec;
    if (!r.read(&rec))
        return;
    const bool perPixel = rec.Blend.Op & U_AC_SRC_ALPHA;
    bool bottomUp = false;
    const QImage image = dibOf(r, rec.iUsageSrc, rec.offBmiSrc, rec.cbBmiSrc, rec.offBitsSrc,
        rec.cbBitsSrc, perPixel, &bottomUp);
    blit(canvas, QRectF(rec.Dest.x, rec.Dest.y, rec.cDest.x, rec.cDest.y), kRopSrcCopy, image,
        sourceRect(image, rec.Src.x, rec.Src.y, rec.cSrc.x, rec.cSrc.y, bottomUp),
        rec.Blend.Global / 255.0);
}

} // namespace

QImage dibOf(const Record &r, quint32 usage, quint32 offBmi, quint32 cbBmi, quint32 offBits,
    quint32 cbBits, bool withAlpha, bool *bottomUp)
{
    if (usage != U_DIB_RGB_COLORS || cbBmi == 0 || !r.has(offBmi, cbBmi) || !r.has(offBits, cbBits))
        return QImage();
    if (bottomUp)
        *bottomUp = cbBmi >= 12 && r.i32(offBmi + 8) > 0;
    return DibImage::decode(r.at(offBmi), cbBmi, r.at(offBits), cbBits, withAlpha);
}

void addBitmapRecords(HandlerTable &table)
{
    table.set({ U_EMR_BITBLT, U_EMR_STRETCHBLT }, stretchBlt);
    table.set({ U_EMR_STRETCHDIBITS }, stretchDIBits);
    table.set({ U_EMR_SETDIBITSTODEVICE }, setDIBitsToDevice);
    table.set({ U_EMR_ALPHABLEND }, alphaBlend);
}

} // namespace EmfRecords
