#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QVector>

// Makers of small image files for the codec tests, written with the same
// libraries the program reads with (or byte by byte where a format needs a
// trap no writer would produce). Everything is made in memory; tests write
// the bytes into their temporary folders.
namespace CodecFixtures {

// --- TIFF ---------------------------------------------------------------
struct TiffEntry
{
    quint16 tag = 0;
    quint16 type = 0; // 1 BYTE, 2 ASCII, 3 SHORT, 4 LONG, 5 RATIONAL, 10 SRATIONAL
    quint32 count = 0;
    QByteArray value; // little-endian bytes, count items of type
};
TiffEntry shortEntry(quint16 tag, const QVector<quint16> &values);
TiffEntry longEntry(quint16 tag, const QVector<quint32> &values);
TiffEntry byteEntry(quint16 tag, const QVector<quint8> &values);
TiffEntry asciiEntry(quint16 tag, const QByteArray &text);
TiffEntry rationalEntry(quint16 tag, const QVector<QPair<quint32, quint32>> &values);
TiffEntry srationalEntry(quint16 tag, const QVector<QPair<qint32, qint32>> &values);

// A little-endian TIFF of one IFD per page; each page is given its entries
// (without strip tags) and its uncompressed pixel bytes, stored as one strip.
QByteArray tiffFromPages(
    const QVector<QVector<TiffEntry>> &entries, const QVector<QByteArray> &pixels);
// RGBA pages (unassociated alpha), with an Orientation tag when orientation > 0.
QByteArray tiffFile(const QVector<QImage> &pages, int orientation = 0);
// A page whose header claims width x height but whose strip is tiny.
QByteArray tiffClaimingSize(int width, int height);

// An 8-bit RGB(A) Photoshop document, uncompressed (channels stored one
// after the other), without layers.
QByteArray psdFile(const QImage &image);

// A camera RAW sample: a 16-bit RGGB colour-filter array with DNGVersion 1.4
// and ColorMatrix1. The top-left quarter is bright, the rest dark.
// neutral is the camera's white balance (AsShotNeutral, R G B); empty: none
// written, so that developers fall back to an automatic one.
QByteArray dngFile(int width, int height, int orientation = 1, bool textured = false,
    const QVector<QPair<quint32, quint32>> &neutral = { { 1, 1 }, { 1, 1 }, { 1, 1 } });

// --- EXIF in containers -------------------------------------------------
QByteArray exifBlock(int orientation);
QByteArray jpegWithExif(const QByteArray &jpeg, int orientation);
QByteArray pngWithExif(const QByteArray &png, int orientation);
// One PNG chunk: length, type, data and CRC.
QByteArray pngChunk(const char *type, const QByteArray &data);
// A lossless (VP8L) WebP re-wrapped as an extended file with an EXIF chunk.
QByteArray webpWithExif(const QByteArray &webp, int orientation);
// A PNG whose header claims width x height (its data is a token).
QByteArray pngClaimingSize(quint32 width, quint32 height);
// An animated WebP (VP8X + ANIM + one ANMF per frame, lossless frames).
QByteArray webpAnimation(const QVector<QImage> &frames, int durationMs = 100);

// --- GIF ----------------------------------------------------------------
struct GifFrame
{
    QRect rect;
    QVector<quint8> indices; // rect.width() x rect.height(), row by row
    int disposal = 0;
    int delayCs = 0;
    int transparent = -1;
    QVector<QRgb> localPalette; // empty: use the global one
    bool interlaced = false;
};
// colours are padded with black to the next power of two.
QByteArray gifFile(
    const QSize &screen, const QVector<QRgb> &globalPalette, const QVector<GifFrame> &frames);
// A frame filled with one palette index.
GifFrame solidGifFrame(
    const QRect &rect, quint8 index, int disposal = 0, int delayCs = 0, int transparent = -1);

// --- HEIF -----------------------------------------------------------------
struct HeifOptions
{
    int bitDepth = 8; // 8 or 10
    bool alpha = false;
    QByteArray icc;
    int orientation = 1; // written as irot/imir boxes
    int exifOrientation = 0; // an EXIF block with this tag (0: none)
    bool lossless = true;
    int images = 1;
    // Lossy only: the coded chroma layout ("420", "422", "444"; empty: the
    // encoder's default) and a colour description (matrix -1: none written).
    QByteArray chroma;
    int matrix = -1;
    bool fullRange = true;
    // 8 bits of grey only (the picture's grey values), coded without chroma.
    bool monochrome = false;
};
// image is drawn into the HEIF picture (converted to 8 or 16 bits per
// channel); empty when the encoder is missing.
QByteArray heifFile(const QImage &image, const HeifOptions &options = HeifOptions());
// The same file with its first alpha auxiliary image relabelled as a depth
// map; empty when the file has no alpha image to relabel.
QByteArray heifWithDepth(const QImage &image);

// --- Metafiles ------------------------------------------------------------
// Builds an EMF record by record. Coordinates are logical units; the
// default mapping is MM_TEXT on a 96 dpi reference device.
class EmfBuilder
{
public:
    // frame in pixels of the reference device.
    explicit EmfBuilder(const QSize &framePixels);

    void record(quint32 type, const QByteArray &payload);
    void setBkMode(int mode);
    void setMapMode(int mode);
    void setWindowExt(int cx, int cy);
    void setViewportExt(int cx, int cy);
    void setTextColor(QRgb color);
    void createBrush(quint32 index, QRgb color, quint32 style = 0);
    void createPen(quint32 index, QRgb color, int width, quint32 style = 0);
    void selectObject(quint32 index);
    void rectangle(const QRect &rect);
    void ellipse(const QRect &rect);
    void polygon16(const QVector<QPoint> &points);
    void textOut(const QPoint &at, const QString &text, int height);
    void stretchDIBits(const QRect &dest, const QImage &image);
    QByteArray finish(); // appends EMR_EOF and fixes the header

private:
    QByteArray m_data;
    quint32 m_records = 1;
};

// Builds a placeable WMF record by record (MM_ANISOTROPIC, window = box).
class WmfBuilder
{
public:
    WmfBuilder(const QRect &box, int unitsPerInch, bool placeable = true);

    void record(quint16 function, const QVector<qint16> &params);
    void createBrush(QRgb color);
    void createPen(QRgb color, int width);
    void selectObject(int index);
    void deleteObject(int index);
    void rectangle(const QRect &rect);
    void polygon(const QVector<QPoint> &points);
    QByteArray finish();

private:
    QByteArray m_records;
    QByteArray m_prefix;
    int m_maxRecord = 0;
    int m_objects = 0;
};

// Overwrites little-endian values inside a fixture.
void patch16(QByteArray *bytes, int offset, quint16 value);
void patch32(QByteArray *bytes, int offset, quint32 value);

// The centre pixel of each quarter: top-left, top-right, bottom-right,
// bottom-left (matching TestUtils::quadrantImage's red, green, blue, white).
QVector<QRgb> quadrantSamples(const QImage &image);

} // namespace CodecFixtures
