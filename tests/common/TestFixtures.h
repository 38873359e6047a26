#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>
#include <QVector>

// Writers for fixtures the toolkit cannot make itself, so tests build them on
// the spot instead of committing binaries.
namespace TestFixtures {

// An animated GIF of the given frames (each filled with one colour, the first
// carrying a 2 px white border), frame delay in 1/100 s. True on success.
bool writeAnimatedGif(
    const QString &path, int width, int height, const QVector<QColor> &frames, int delay = 10);

// The GIF with the compressed pixels of its last frame overwritten by codes
// no decoder accepts; the file's structure (block lengths, descriptors, end)
// stays sound. Empty when gif is not a whole GIF.
QByteArray withDamagedLastFrame(const QByteArray &gif);

// A HEIC file of the image (alpha kept when it has any). False when the
// machine's libheif has no HEVC encoder.
bool writeHeic(const QString &path, const QImage &image);

// A tiny camera RAW file: an uncompressed 16-bit RGGB colour-filter-array
// DNG whose left half is bright and right half dark.
bool writeDng(const QString &path, int width, int height);

} // namespace TestFixtures
