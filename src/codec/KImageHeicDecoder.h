#pragma once

#include <QList>
#include <QVector>

#include "codec/KImageDecoderBase.h"

class Encoder;

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

private:
    QVector<QImage> m_frames;
};
