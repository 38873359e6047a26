#pragma once

#include <QString>

// File names are bytes; most are UTF-8, but not all (old archives, other
// systems' disks). The toolkit decodes names with the locale's codec, and
// its UTF-8 codec turns every invalid byte into U+FFFD: such a file can then
// be listed but never opened again, and a folder run loses it without a
// word. install() makes the locale codec a UTF-8 codec that
// keeps each invalid byte as a lone surrogate U+DC80..U+DCFF and writes it
// back as the same byte, so every name round-trips exactly.
namespace FileNameCodec {

// Installs the codec as the codec for the locale (file names on this
// platform are UTF-8). Call at start-up before any name is decoded;
// idempotent.
void install();

// The name for showing: kept bytes become U+FFFD, the replacement character.
QString forDisplay(const QString &name);

} // namespace FileNameCodec
