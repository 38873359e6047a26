#pragma once

#include <QVector>

#include "codec/KImageDecoderBase.h"

// The catch-all decoder: camera RAW, PSD/PSB, TGA, WDP, MNG/JNG, CUT, HDR,
// DDS and files whose extension the registry does not know, through the
// system's FreeImage. The format is identified by content first (a PNG named
// .tga still loads), then by name. Camera RAW is developed at full size for
// display and brightened by 25 percent (LibRaw already turns it upright);
// everything ends as one 32-bit ARGB frame, 16-bit and floating-point
// pictures reduced to 8 bits per channel. EXIF orientation is applied
// (JPEG, TIFF, PNG, WebP) and the ICC profile kept as the colour space.
//
// The picture size is read from the header before any pixel is decoded.
// Only the formats this program offers are accepted, which keeps FreeImage's
// rarely used plug-ins away from untrusted files.
//
// FreeImage initialises itself when loaded; this class never calls
// FreeImage_Initialise/DeInitialise (their counter is not thread-safe).
// Decoders run in parallel in different threads, except camera RAW, whose
// LibRaw build is not re-entrant: RAW loads are serialised process-wide.
// Owned by its KImageWrapper and used by one thread at a time.
class KImageFreeImageDecoder : public KImageDecoderBase
{
public:
    explicit KImageFreeImageDecoder(KImageWrapper *wrapper);
    ~KImageFreeImageDecoder() override;

    bool decodeFile(const QString &path) override;
    QImage frameAt(int index) override;
    int frameCount() const override;

private:
    QVector<QImage> m_frames;
};
