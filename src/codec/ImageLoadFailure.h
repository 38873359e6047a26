#pragma once

#include <QString>

// Why a file did not load, in one plain line ("not an image", "truncated:
// ...", "too large: 30000 x 20000 pixels ..."), worked out after a decoder
// gave up. Reads the file's header and checks its structure; never decodes
// pixels. Pure function of the file; any thread.
namespace ImageLoadFailure {

QString explain(const QString &path);

} // namespace ImageLoadFailure
