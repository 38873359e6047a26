#pragma once

#include <QByteArray>
#include <QColor>
#include <QRect>
#include <QVector>

// Metafiles for the player tests, written record by record with libUEMF's
// record builders, so the files do not share our reader's idea of the
// layouts. Records are given as libUEMF returns them (char * from a *_set
// function) and owned by the writer from then on.
namespace UemfWriter {

// An EMF whose frame is size pixels of a 96 dpi reference device (960 x
// 960 pixels on 254 x 254 mm). Logical units start as those pixels.
class Emf
{
public:
    explicit Emf(const QSize &size);
    ~Emf();
    Emf(const Emf &) = delete;
    Emf &operator=(const Emf &) = delete;

    void add(char *record);
    // A solid brush of colour selected with the null pen, then a rectangle
    // (logical units) filled with it.
    void fill(const QRect &logical, QRgb color);
    QByteArray finish();

private:
    struct Track;
    Track *m_track;
    quint32 m_nextObject = 1;
};

// A WMF: with a placeable header of box at unitsPerInch when unitsPerInch
// > 0, without one otherwise. No record is added for the window: tests add
// the mapping records they need.
class Wmf
{
public:
    Wmf(const QRect &box, int unitsPerInch);
    ~Wmf();
    Wmf(const Wmf &) = delete;
    Wmf &operator=(const Wmf &) = delete;

    void add(char *record);
    // A solid brush and the null pen, selected, then a rectangle (logical
    // units) filled with the brush. Objects are deleted after use so the
    // table slots stay predictable.
    void fill(const QRect &logical, QRgb color);
    QByteArray finish();

private:
    struct Track;
    Track *m_track;
    QByteArray m_placeable;
};

// Run-length encoded pixel data of a palette bitmap, bottom row first as
// DIBs store it: each row as runs of equal indices (literal runs for
// stretches of at least three different ones), an end of line after each
// row and an end of bitmap. bpp is 8 (BI_RLE8) or 4 (BI_RLE4).
QByteArray rleEncode(const QVector<QVector<quint8>> &rowsTopDown, int bpp);

// RLE command helpers for hand-made streams.
QByteArray rleEndOfLine();
QByteArray rleEndOfBitmap();
QByteArray rleDelta(int right, int up);

} // namespace UemfWriter
