#pragma once

#include <QByteArray>

// Checks the box structure of a HEIF file before libheif reads it: every
// box inside its parent and the file, every item's data (iloc extents)
// inside the file or the idat box, the output sizes of grid and overlay
// images, and the NAL unit lengths and picture sizes of HEVC items. libheif and its HEVC plug-in
// allocate and copy at the sizes the file declares, before finding out the data is not there. Pure
// function; any thread.
namespace HeifFileCheck {

bool isSound(const QByteArray &file);

} // namespace HeifFileCheck
