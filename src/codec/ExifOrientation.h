#pragma once

#include <QByteArray>
#include <QImage>

// Reading the EXIF/TIFF orientation tag where the toolkit's readers do not
// (PNG eXIf chunks, WebP EXIF chunks) and turning images upright. Pure
// functions over bytes; safe from any thread. Every offset read from the
// data is checked against its size.
namespace ExifOrientation {

// The Orientation tag (1..8) of a TIFF-structured EXIF block ("II*\0" or
// "MM\0*", optionally preceded by "Exif\0\0"); 0 when absent or malformed.
int fromExifBlock(const QByteArray &block);

// The orientation stored in a PNG (eXIf chunk) or WebP (EXIF chunk) file;
// 0 when there is none.
int fromPng(const QByteArray &file);
int fromWebp(const QByteArray &file);

// image turned so that it displays upright, for orientation 1..8 (other
// values leave it unchanged).
QImage apply(const QImage &image, int orientation);

} // namespace ExifOrientation
