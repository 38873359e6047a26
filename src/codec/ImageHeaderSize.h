#pragma once

#include <QByteArray>
#include <QSize>

// Picture sizes read straight from the headers of formats whose FreeImage
// plug-ins cannot report them without decoding, so the pixel cap can be
// checked before the plug-in allocates. Each returns an invalid size when
// the header is malformed. Pure functions over bytes; any thread.
namespace ImageHeaderSize {

// The larger of the logical screen and the first image's extent: FreeImage
// allocates one or the other.
QSize gif(const QByteArray &file);
// The largest of the MHDR frame and every embedded IHDR/JHDR picture.
QSize mng(const QByteArray &file);
QSize dds(const QByteArray &file);

} // namespace ImageHeaderSize
