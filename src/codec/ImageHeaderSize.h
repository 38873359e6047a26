#pragma once

#include <QByteArray>
#include <QSize>

// Picture sizes read straight from file headers, for readers that cannot
// report them without allocating (FreeImage plug-ins without header-only
// loading, the toolkit's WebP reader), so the pixel cap is checked first. Each returns an invalid
// size when the header is malformed. Pure functions over bytes; any thread.
namespace ImageHeaderSize {

// The widest and tallest of the logical screen and every image's extent
// (readers allocate their canvas from any combination of them).
QSize gif(const QByteArray &file);
// The largest of the MHDR frame and every embedded IHDR/JHDR picture.
QSize mng(const QByteArray &file);
QSize dds(const QByteArray &file);
// The canvas (VP8X) or the single image's size (VP8, VP8L) of a WebP file:
// the toolkit's WebP reader allocates the canvas as soon as it is asked for
// the size, so the check has to come first.
QSize webp(const QByteArray &file);

} // namespace ImageHeaderSize
