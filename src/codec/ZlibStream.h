#pragma once

#include <QByteArray>

// Bounded inflation of zlib and gzip streams (compressed SVG, PNG chunks).
// Pure functions; any thread.
namespace ZlibStream {

// The inflated bytes of a zlib stream (gzip: a gzip stream). *ok is false,
// and the result empty, when the stream is corrupt, ends early or would
// inflate beyond limit bytes.
QByteArray inflate(const QByteArray &data, bool gzip, qint64 limit, bool *ok);

} // namespace ZlibStream
