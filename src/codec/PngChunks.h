#pragma once

#include <QByteArray>

// Reading chunks of PNG files the decoders need but their libraries do not
// hand over. Every length is checked against the file. Any thread.
namespace PngChunks {

// The data of the first chunk of the given type (4 letters), or empty.
QByteArray find(const QByteArray &png, const char *type);
// The embedded ICC profile (iCCP), inflated; empty when there is none.
QByteArray iccProfile(const QByteArray &png);

} // namespace PngChunks
