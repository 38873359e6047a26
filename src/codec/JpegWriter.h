#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include "codec/RowSource.h"

// JPEG encoding straight through libjpeg-turbo: 32-bit pictures go to the
// library as they lie in memory (BGRX), with no converted copy of a row or of
// the picture. Baseline, 4:2:0, optimised Huffman tables; the file carries
// what the toolkit's writer gives it (JFIF density, the picture's text keys as
// comments, the ICC profile), so the bytes are the same as the toolkit's
// optimised writer produces for the same picture and quality.
//
// Pictures of at least 1024 rows and a megapixel are the exception: their
// tables are worked out from every fourth to eighth band of 16 rows in a
// quick first pass, and the picture is then written in a single pass. The
// same pixels as the toolkit's file; a photograph's file is larger by a few
// hundredths of a percent, and about twice as quick to write, without
// holding the picture's coefficients.
//
// JPEG has no alpha: pictures with an alpha channel are put on white row by
// row as they are written (the same pixels as painting them over a white
// RGB32 image first, without that copy). Pure functions; safe from any thread.
namespace JpegWriter {

// Encodes image at quality (1..100) into bytes (replacing their content).
// False for a null image or when the library fails; bytes are then empty and
// *error, when given, says why.
bool encode(const QImage &image, int quality, QByteArray *bytes, QString *error = nullptr);

// Writes image to path (created or truncated). Every write and the close are
// checked; on failure the file is removed and *error, when given, holds the
// reason ("no space left on the device").
bool write(const QImage &image, int quality, const QString &path, QString *error = nullptr);

// Writes a picture of size that is never whole in memory: its rows come from
// next, a block at a time, and metadata (an RGB32 frame of any size, such as
// JpegReader::RowReader's) gives the density, text keys and colour space, as
// write() takes them from the frame.
// A tall picture's Huffman tables come from a sample of its bands, taken
// before the writing from sample (a second source of the same rows, asked
// for blocks in ascending order with gaps between them); without one they
// are gathered over the whole picture, which holds its coefficients.
// The same bytes as write() of the whole picture when sample is given. On
// failure the file is removed and *error says why; *sourceFailed (when given)
// tells whether next gave up rather than the writing.
bool writeRows(const QSize &size, const QImage &metadata, int quality, const RowSource &next,
    const QString &path, QString *error = nullptr, bool *sourceFailed = nullptr,
    const RowSource *sample = nullptr);

// The 8-bit planes of a picture already in JPEG's own colour space (full-range
// YCbCr of BT.601) with its chroma halved both ways, as HEVC pictures usually
// are: Cb and Cr are (width + 1) / 2 by (height + 1) / 2 samples.
struct Planes420
{
    const uchar *data[3] = {}; // Y, Cb, Cr
    int stride[3] = {};
};

// Writes planes of a picture of size to path with no colour conversion and no
// chroma subsampling: the samples go to the DCT as they are, each plane's
// last row and column repeated to whole blocks. Quality, tables (a tall
// picture's from a sample of its bands) and markers (metadata's, as for
// writeRows) as write() gives them: for a picture whose width is a multiple
// of 16, the same file as write() of the RGB picture the library would have
// turned into these very planes. (At other widths the library pads the RGB
// rows before halving them, with its alternating rounding, so the right-most
// chroma blocks may differ by a step.) On failure the file is removed and
// *error says why.
bool writeYCbCr420(const QSize &size, const Planes420 &planes, const QImage &metadata, int quality,
    const QString &path, QString *error = nullptr);

} // namespace JpegWriter
