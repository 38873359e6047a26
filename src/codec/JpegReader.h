#pragma once

#include <memory>

#include <QByteArray>
#include <QImage>
#include <QSize>

// JPEG decoding straight into the frame's own buffer through libjpeg-turbo:
// the library writes BGRX pixels into the rows of an RGB32 image, so there
// is no row buffer and no converted copy. The result is what the toolkit's
// reader gives for the same bytes (same IDCT, same upsampling): upright from
// the EXIF orientation, the ICC profile as its colour space, the JFIF density
// and the comment markers as text keys.
//
// With a minimum size, the picture is decoded at the smallest of libjpeg's
// scales (1/8 .. 8/8) that still covers it, which costs a fraction of a full
// decode; the caller scales the rest of the way.
//
// Pure functions over bytes; safe from any thread.
namespace JpegReader {

enum class Result {
    Decoded,
    // A JPEG this reader leaves to the toolkit (CMYK and YCCK); nothing done.
    Unsupported,
    // Not a JPEG, or the library gave up on it (corrupt data, too large).
    Failed
};

struct Header
{
    QSize size; // as stored, before the orientation is applied
    int orientation = 0; // EXIF orientation 1..8, 0 when there is none
    int components = 0;
    bool supported = false; // false for CMYK and YCCK
    // The size after the orientation is applied.
    QSize uprightSize() const { return orientation >= 5 ? size.transposed() : size; }
};

bool isJpeg(const QByteArray &bytes);

// The header facts, without decoding any pixel. False when bytes are not a
// readable JPEG header.
bool readHeader(const QByteArray &bytes, Header *header);

// Decodes bytes into *image (RGB32). minimum is in upright coordinates; an
// invalid size decodes at full size. maxPixels bounds the decoded size.
Result read(
    const QByteArray &bytes, QImage *image, const QSize &minimum = QSize(), qint64 maxPixels = 0);

struct RowDecoder;

// The same decoding a block of rows at a time, for callers that pass the rows
// on and never hold the whole picture (JPEG to JPEG). Only pictures that
// read() decodes itself and that are stored upright are taken. One reader per
// picture and thread.
class RowReader
{
public:
    RowReader();
    ~RowReader();
    RowReader(const RowReader &) = delete;
    RowReader &operator=(const RowReader &) = delete;

    // Starts decoding bytes, which must outlive the reader. *metadata gets a
    // one-pixel picture carrying what read() attaches to its frame (density,
    // text keys, the ICC profile as colour space). Unsupported for turned
    // pictures and for CMYK and YCCK; Failed when the library rejects the
    // header or the picture has more than maxPixels (when above 0).
    Result start(const QByteArray &bytes, QImage *metadata, qint64 maxPixels = 0);
    // The picture's size; valid after a successful start().
    QSize size() const;
    // Decodes the next count rows into rows, each width * 4 bytes of BGRX
    // (RGB32's bytes). False when the library gives up on the data.
    bool readRows(uchar *const *rows, int count);
    // Passes over the next count rows without producing them (the data is
    // still read, only the pixel work is saved). False when the library gives
    // up on the data.
    bool skipRows(int count);
    // Reads the rest of the file after the last row. False on a library error.
    bool finish();

private:
    std::unique_ptr<RowDecoder> m_decoder;
    QSize m_size;
};

} // namespace JpegReader
