#pragma once

#include <QByteArray>
#include <QSize>

class QIODevice;

// Checks that a file holds all the data its headers announce, for the
// formats whose readers (the toolkit's or FreeImage's) fill missing data
// silently (a truncated JPEG
// or BMP would otherwise load with a grey or black band and be converted as
// if it were whole). Pure functions over the file's bytes; any thread.
namespace ImageCompleteness {

// format is the toolkit reader's format name ("jpeg", "bmp", "ico", "cur",
// "xbm"); other formats are left to their readers and pass. size is the
// image size the reader reported (used for XBM).
bool isComplete(const QByteArray &format, const QByteArray &file, const QSize &size);

bool isJpegComplete(const QByteArray &file);
// Every chunk up to IEND lies inside the file (libpng allocates some chunks
// at their declared length before reading them).
bool isPngComplete(const QByteArray &file);
bool isBmpComplete(const QByteArray &file);
bool isIcoComplete(const QByteArray &file);
bool isXbmComplete(const QByteArray &file, const QSize &size);
// Every IFD of a classic TIFF lies inside the file, and so do the strips
// or tiles each one points at (a file cut after its first pages still reads
// as a shorter, "complete" file otherwise). BigTIFF passes unchecked.
bool isTiffComplete(QIODevice *device);
// Formats FreeImage loads with zeros in place of missing data.
bool isTgaComplete(const QByteArray &file);
bool isPsdComplete(const QByteArray &file);
bool isDdsComplete(const QByteArray &file);

} // namespace ImageCompleteness
