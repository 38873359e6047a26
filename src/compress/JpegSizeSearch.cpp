#include "JpegSizeSearch.h"

#include <QHash>

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

    // The search asks for some qualities more than once (quality 10 again
    // after the shrinking, the step back after overshooting the limit, the
    // start of a new round): every quality of the current image is encoded
    // once. Sizes are kept for all of them, bytes only for results below the
    // limit, the only ones that can be the answer.
    QHash<int, qint64> sizes;
    QHash<int, QByteArray> fitting;
    qint64 current = 0;
    auto encodeAt = [&](int quality) {
        if (cancelled())
            return false;
        const auto known = sizes.constFind(quality);
        if (known != sizes.constEnd()) {
            current = *known;
            *bytes = fitting.value(quality);
            return true;
        }
        if (!encode(image, quality, bytes))
            return false;
        current = bytes->size();
        sizes.insert(quality, current);
        if (current < limit)
            fitting.insert(quality, *bytes);
        return true;
    };
    auto size = [&current]() { return current; };

    // Shrinking phase: make the image smaller only when even quality 10 is too big.
    for (;;) {
        if (!encodeAt(10))
            return false;
        report(10);
        if (size() < limit)
            break;
        const int w = int(image.width() * 0.8);
        const int h = int(image.height() * 0.8);
        if (w < 1 || h < 1)
            return false; // nothing left to encode: the limit cannot be met
        image = image.scaled(w, h, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        sizes.clear();
        fitting.clear();
        report(10);
    }

    // Quality phase, on the image as the shrinking left it.
    int q = 50;
    for (int round = 0; round < 64; ++round) {
        if (!encodeAt(q))
            return false;
        if (size() >= limit) {
            while (size() >= limit && q >= 10) {
                q -= 5;
                if (!encodeAt(q))
                    return false;
                report(10);
            }
        } else {
            while (size() <= limit && q <= 99) {
                q += 5;
                if (!encodeAt(q))
                    return false;
                report(10);
            }
            if (size() > limit) {
                q -= 5;
                if (!encodeAt(q))
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
