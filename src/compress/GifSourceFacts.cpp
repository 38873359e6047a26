#include "GifSourceFacts.h"

#include <QFile>

#include "codec/KImageGifDecoder.h"
#include "codec/KImageWrapper.h"

int gifPaletteColorEstimate(int decoderEstimate, const QByteArray &head)
{
    // Header (6 bytes) and logical screen descriptor (7); bit 7 of the packed
    // byte announces a global palette of 2^(n+1) entries right after them.
    const int descriptorEnd = 13;
    if (head.size() < descriptorEnd || !head.startsWith("GIF"))
        return decoderEstimate;
    const auto packed = static_cast<unsigned char>(head.at(10));
    if (!(packed & 0x80))
        return decoderEstimate;
    const int entries = 1 << ((packed & 0x07) + 1);
    if (head.size() < descriptorEnd + 3 * entries)
        return decoderEstimate;
    const auto *rgb = reinterpret_cast<const unsigned char *>(head.constData()) + descriptorEnd;
    int used = 0;
    for (int i = 0; i < entries; ++i) {
        if (rgb[3 * i] || rgb[3 * i + 1] || rgb[3 * i + 2])
            used = i + 1;
    }
    return qMax(decoderEstimate, used);
}

GifSourceFacts readGifSourceFacts(const QString &path)
{
    GifSourceFacts facts;
    int decoderEstimate = 0;
    KImageGifDecoder::Outline outline;
    if (KImageGifDecoder::readOutline(path, &outline)) {
        // A GIF: its structure is enough, the converter decodes the pixels.
        facts.frameCount = outline.frameCount;
        facts.size = outline.canvasSize;
        decoderEstimate = outline.colorCount;
    } else {
        // Anything else is judged by decoding it, as the rest of the program does.
        KImageWrapper wrapper;
        if (!wrapper.load(path) || wrapper.frameCount() < 1)
            return facts;
        facts.frameCount = wrapper.frameCount();
        facts.size = wrapper.frameAt(0).size();
        decoderEstimate = wrapper.gifColorCount();
    }
    if (facts.frameCount < 1 || facts.size.isEmpty())
        return facts;
    QFile file(path);
    QByteArray head;
    if (file.open(QIODevice::ReadOnly))
        head = file.read(13 + 3 * 256);
    facts.colorCount = gifPaletteColorEstimate(decoderEstimate, head);
    facts.valid = true;
    return facts;
}
