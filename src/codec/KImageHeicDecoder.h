#pragma once

#include <memory>

#include <QList>
#include <QVector>

#include "codec/JpegWriter.h"
#include "codec/KImageDecoderBase.h"

class Encoder;
struct HeifRgbPlanes;
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

    // The first picture of the file as its decoder's 8-bit Y, Cb and Cr 4:2:0
    // planes (into *planes, of *size), when they are already JPEG's own
    // samples: an opaque 8-bit picture whose colour description is BT.601 at
    // full range, or none, which libheif reads the same way. Such a picture
    // goes into a JPEG with no round trip through RGB. *metadata carries what
    // its frame would (the ICC profile). The planes live as long as the
    // returned image; null when the picture is not such a one or cannot be
    // decoded (decodeHeifFile then says why).
    static std::shared_ptr<heif_image> decodeJpegPlanes(
        const QString &path, JpegWriter::Planes420 *planes, QSize *size, QImage *metadata);

    // The first picture of the file as libheif's 8-bit R, G and B planes,
    // when it is opaque and 8 bits deep: the very samples its frame would be
    // made of, without the frame, for writers that take a picture a block of
    // rows at a time. *metadata carries what the frame would (the ICC
    // profile). The planes live as long as the returned image; null as for
    // decodeJpegPlanes.
    static std::shared_ptr<heif_image> decodeRgbPlanes(
        const QString &path, HeifRgbPlanes *planes, QImage *metadata);

private:
    QVector<QImage> m_frames;
};
