#pragma once

#include <FreeImage.h>

#include <QImage>
#include <QString>

// FreeImage itself, in the process that calls it: camera RAW, PSD, TGA, HDR,
// DDS, JPEG XR, MNG/JNG and CUT into one 32-bit ARGB picture. Only the decode
// helper (quorvel-decode) calls load(); the program reaches it through
// DecodeHelper, so that a plug-in that crashes or runs away takes only the
// helper down. See KImageFreeImageDecoder for what the result looks like.
namespace FreeImageLoader {

// The plug-in a file goes to: what its content says when that matches its
// name (or is a format with a signature strong enough to trust, or the name
// says nothing), the name's plug-in when the content has no signature, and
// none (FIF_UNKNOWN) when content and name disagree.
FREE_IMAGE_FORMAT chooseFormat(FREE_IMAGE_FORMAT content, FREE_IMAGE_FORMAT byName);

// Decodes path; on failure *error (when given) gets one plain line.
bool load(const QString &path, QImage *image, QString *error = nullptr);

} // namespace FreeImageLoader
