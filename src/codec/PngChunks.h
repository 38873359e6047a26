#pragma once

#include <QByteArray>

class QIODevice;

// Reading chunks of PNG files the decoders need but their libraries do not
// hand over. Every length is checked against the file. Any thread.
namespace PngChunks {

// The data of the first chunk of the given type (4 letters), or empty.
QByteArray find(const QByteArray &png, const char *type);
// One walk over a PNG file on a device, reading only the chunks' heads and
// the data of the one chunk wanted: whether every chunk up to IEND lies
// inside the file (what ImageCompleteness::isPngComplete checks of bytes),
// and, in a file that is, the data of the first chunk of type wanted (what
// find() gives). The device must be random access; it is left at its start.
struct Walk
{
    bool complete = false;
    QByteArray wanted;
};
Walk walk(QIODevice *device, const char *wanted);

// The embedded ICC profile (iCCP), inflated; empty when there is none.
QByteArray iccProfile(const QByteArray &png);

} // namespace PngChunks
