#pragma once

#include <QImage>
#include <QString>

// Runs the decoders we do not control (FreeImage with its plug-ins and
// LibRaw) in a separate process, quorvel-decode, found beside the program.
// The helper limits itself before it reads the file (address space,
// processor time, no files written, no network) and returns the picture
// through a pipe. When it crashes, runs out of its limits or hangs, the file
// fails with a plain reason and the calling process carries on.
//
// Any thread; every call starts its own helper and waits for it.
namespace DecodeHelper {

// Limits the helper applies to itself.
constexpr int kCpuSeconds = 60;
constexpr qint64 kAddressSpaceBytes = qint64(6) << 30;
// The caller gives up on a helper that has not finished after this long.
constexpr int kWallSeconds = 120;

// The helper executable (QUORVEL_DECODE_HELPER when set, for diagnosis and
// tests), or an empty string when it cannot be found.
QString helperPath();

// Decodes path in the helper. On failure *error (when given) gets one
// plain line ("the decoder crashed on this file", "took too long", ...).
bool decode(const QString &path, QImage *image, QString *error = nullptr);

// The same with a given helper executable (tests use stand-ins that crash,
// hang or answer garbage).
bool decodeWith(
    const QString &helper, const QString &path, QImage *image, QString *error = nullptr);

} // namespace DecodeHelper
