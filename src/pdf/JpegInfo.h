#pragma once

#include <QByteArray>

// What the PDF writer needs to know about a JPEG file to embed its bytes
// unchanged: size, colour layout, the Adobe marker that flags inverted CMYK,
// the EXIF orientation and an embedded ICC profile. Parsed from the marker
// segments only; the entropy-coded data is not decoded. Pure, any thread.
struct JpegInfo
{
    bool isJpeg = false; // starts with a JPEG start-of-image marker
    bool complete = false; // frame header, scan and end-of-image marker all present
    bool embeddable
        = false; // complete, baseline/extended/progressive Huffman, 8-bit, 1/3/4 components
    int width = 0;
    int height = 0;
    int components = 0;
    int precision = 0;
    bool adobeMarker = false; // APP14 "Adobe": CMYK stored inverted, as Photoshop writes it
    int orientation = 1; // EXIF orientation 1..8 (1 when absent or invalid)
    QByteArray iccProfile; // reassembled APP2 ICC_PROFILE chunks, empty when absent or incomplete

    static JpegInfo parse(const QByteArray &data);
};
