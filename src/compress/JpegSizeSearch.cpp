#include "JpegSizeSearch.h"

#include "codec/JpegWriter.h"

bool JpegSizeSearch::encode(const QImage &image, int quality, QByteArray *bytes)
{
    // Optimised Huffman tables: the same pixels in fewer bytes.
    return JpegWriter::encode(image, quality, bytes);
}

bool JpegSizeSearch::run(QImage image, qint64 limit, QByteArray *bytes, const Progress &progress,
    const std::atomic_bool *cancel, int *finalQuality, QSize *finalSize)
{
    // A failed search leaves nothing behind that could pass for a result.
    const bool ok
        = search(std::move(image), limit, bytes, progress, cancel, finalQuality, finalSize);
    if (!ok)
        bytes->clear();
    return ok;
}

bool JpegSizeSearch::search(QImage image, qint64 limit, QByteArray *bytes, const Progress &progress,
    const std::atomic_bool *cancel, int *finalQuality, QSize *finalSize)
{
    int counter = 0;
    auto report = [&](int step) {
        counter += step;
        if (progress)
            progress(counter);
    };
    auto cancelled = [cancel]() { return cancel && cancel->load(); };
    auto size = [bytes]() { return qint64(bytes->size()); };

    // Shrinking phase: make the image smaller only when even quality 10 is too big.
    for (;;) {
        if (cancelled() || !encode(image, 10, bytes))
            return false;
        report(10);
        if (size() < limit)
            break;
        const int w = int(image.width() * 0.8);
        const int h = int(image.height() * 0.8);
        if (w < 1 || h < 1)
            return false; // nothing left to encode: the limit cannot be met
        image = image.scaled(w, h, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        report(10);
    }

    // Quality phase, on the image as the shrinking left it.
    int q = 50;
    for (int round = 0; round < 64; ++round) {
        if (cancelled() || !encode(image, q, bytes))
            return false;
        if (size() >= limit) {
            while (size() >= limit && q >= 10) {
                q -= 5;
                if (cancelled() || !encode(image, q, bytes))
                    return false;
                report(10);
            }
        } else {
            while (size() <= limit && q <= 99) {
                q += 5;
                if (cancelled() || !encode(image, q, bytes))
                    return false;
                report(10);
            }
            if (size() > limit) {
                q -= 5;
                if (cancelled() || !encode(image, q, bytes))
                    return false;
                report(10);
            }
        }
        if (size() < limit) {
            if (finalQuality)
                *finalQuality = q;
            if (finalSize)
                *finalSize = image.size();
            return true;
        }
        if (q < 10)
            break; // quality 10 fitted a moment ago; a writer that is not monotonic ends here
    }
    return false;
}
