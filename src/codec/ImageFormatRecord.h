#pragma once

#include <QString>
#include <QStringList>

// Type ids of the formats the program knows; -1 is the unknown type.
enum ImageFormatType {
    ImageFormatUnknown = -1,
    ImageFormatBmp = 0,
    ImageFormatJpeg = 1,
    ImageFormatGif = 2,
    ImageFormatPng = 3,
    ImageFormatIco = 4,
    ImageFormatTiff = 5,
    ImageFormatTga = 6,
    ImageFormatWebp = 7,
    ImageFormatWmf = 8,
    ImageFormatEmf = 9,
    ImageFormatRaw = 10,
    ImageFormatPsd = 11,
    ImageFormatPsb = 12,
    ImageFormatSvg = 13,
    ImageFormatWdp = 14,
    ImageFormatXbm = 15,
    ImageFormatXpm = 16,
    ImageFormatHeif = 17,
    ImageFormatMng = 18,
    ImageFormatCut = 20,
    ImageFormatHdr = 21,
    ImageFormatDds = 22,
    ImageFormatCount = 23
};

// One known image format. Owned by ImageFormats, immutable, read from any thread.
struct ImageFormatRecord
{
    int type = ImageFormatUnknown;
    bool animated = false;
    QString description;
    // Lower case, without dot; the first one is used when writing this format.
    QStringList extensions;
};
