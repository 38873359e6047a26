#pragma once

#include <functional>

#include <QImage>
#include <QString>

struct HeifRgbPlanes;
namespace JpegReader {
class RowReader;
}
namespace JpegWriter {
struct Planes420;
}

// saveWithSystemEncoder with a choice for TIFF: premultiplyTiff false writes
// the image's own pixel format (the wrapper's plain save), true the 32-bit
// premultiplied layout of saveWithSystemEncoder.
bool writeImageForType(const QImage &image, int typeId, const QString &path, bool premultiplyTiff,
    QString *error = nullptr);

// Makes path through write, which fills a new hidden sibling file (its
// argument), and renames that over path: path never holds a partial file, and
// it must be free or a reservation's empty placeholder. False with the reason
// in *error (when given), write's own or the folder's.
bool writeThroughTemp(const QString &path, QString *error,
    const std::function<bool(const QString &temp, QString *writeError)> &write);

// Whether the format of typeId has a writer that takes a picture a block of
// rows at a time (JPEG, PNG, TIFF, BMP): writeFromRows and writeFromRgbPlanes
// take it.
bool writesRows(int typeId);

// Writes the rows reader decodes (started on bytes; metadata is its carrier)
// to path as JPEG or PNG at the output quality, as TIFF or as BMP (typeId), through
// writeThroughTemp. A second reader on bytes gives the JPEG writer the sample
// of bands its tables are worked out from. *readFailed tells whether the
// source rather than the writing failed.
bool writeFromRows(int typeId, const QByteArray &bytes, JpegReader::RowReader *reader,
    const QImage &metadata, const QString &path, QString *error, bool *readFailed);

// Writes YCbCr 4:2:0 planes of a picture of size (metadata as for
// writeFromRows) to path as JPEG at the output quality, through
// writeThroughTemp.
bool writeJpegFromPlanes(const QSize &size, const JpegWriter::Planes420 &planes,
    const QImage &metadata, const QString &path, QString *error);

// Writes the opaque picture planes hold to path as JPEG or PNG at the output
// quality, TIFF or BMP (typeId) a block of rows at a time, with no frame made of it
// (metadata as for writeFromRows), through writeThroughTemp: the same file
// as saving the frame the planes would make.
bool writeFromRgbPlanes(int typeId, const HeifRgbPlanes &planes, const QImage &metadata,
    const QString &path, QString *error);
