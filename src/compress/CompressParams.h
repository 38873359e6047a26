#pragma once

#include <QString>

#include "codec/OutputFormat.h"

// Parameters of one JPEG compression, copied into the engine.
struct CompressParams
{
    int quality = 0; // 1..100 in quality mode; 0 selects the size limit
    int sizeValue = 0; // limit in the unit below
    int sizeUnit = 0; // 1: kilobytes, anything else: megabytes
    QString outputDir; // folder of the reported output path (may be empty)
    QString sourcePath; // gives the base name of the reported output path
    OutputFormat outputFormat = OutputFormat::Jpg; // JPG for compression

    // The limit in bytes (64 bits: 1024 MB must not overflow).
    qint64 byteLimit() const
    {
        return sizeUnit == 1 ? qint64(sizeValue) * 1024 : qint64(sizeValue) * 1024 * 1024;
    }
};
