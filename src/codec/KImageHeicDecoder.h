#pragma once

#include <memory>

#include <QList>
#include <QVector>

#include "codec/HeifRgbPlanes.h"
#include "codec/JpegWriter.h"
#include "codec/KImageDecoderBase.h"

class Encoder;
struct heif_image;

// HEIF/HEIC files through libheif. Every top-level image becomes a frame,
// followed by its depth map when it has one; each picture is converted
// straight into a toolkit image (DirectImageEncoder), carrying its ICC
// profile, with 10/12-bit pictures widened to 16 bits: bit for bit what the
// lossless PNG round trip through memory (PngEncoder) gives, which stays
// available to decodeHeifFile. libheif applies
// the file's rotation and mirroring itself, so nothing turns the pictures
// again. Diagnostic lines go to the standard streams, never to the user.
//
// Owned by its KImageWrapper and used by one thread at a time; libheif
// contexts are per call, so decoders run in parallel.
class KImageHeicDecoder : public KImageDecoderBase
{
public:
    explicit KImageHeicDecoder(KImageWrapper *wrapper);
    ~KImageHeicDecoder() override;

    bool decodeFile(const QString &path) override;
    QImage frameAt(int index) override;
    int frameCount() const override;

    // The pictures of the file in frame order; a picture whose conversion
    // failed keeps its slot as a null image.
    static QList<QImage> decodeHeifFile(const QString &path, const Encoder &encoder);

    // The first picture of the file as planes for the writers that take a
    // picture a block of rows at a time, when it is opaque and 8 bits deep;
    // false otherwise or when it cannot be decoded (decodeHeifFile then says
    // why). With jpegSamples, a picture whose samples are already JPEG's own
    // (BT.601 at full range, or no colour description, which libheif reads
    // the same way) comes as its decoder's Y, Cb and Cr 4:2:0 planes, which
    // go into a JPEG with no round trip through RGB (isYCbCr); any other as
    // libheif's R, G and B planes, the very samples its frame would be made
    // of. metadata carries what the frame would (the ICC profile). The
    // planes live as long as image.
    struct Planes
    {
        std::shared_ptr<heif_image> image;
        bool isYCbCr = false;
        JpegWriter::Planes420 ycbcr;
        HeifRgbPlanes rgb;
        QSize size;
        QImage metadata;
    };
    static bool decodePlanes(const QString &path, bool jpegSamples, Planes *planes);

private:
    QVector<QImage> m_frames;
};
