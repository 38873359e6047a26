#pragma once

#include <atomic>
#include <functional>

#include <QByteArray>
#include <QImage>

// The in-memory search for the JPEG encoding of an image that stays strictly
// below a byte limit: shrink by 0.8 per side until quality 10 fits, then walk
// the quality in steps of 5 from 50. Used by the single-image engine and the
// batch tasks; runs on the caller's thread and never touches the disk.
class JpegSizeSearch
{
public:
    using Progress = std::function<void(int counter)>;

    // Encodes image as JPEG at quality into bytes; false when the writer fails
    // (an empty image, for one).
    static bool encode(const QImage &image, int quality, QByteArray *bytes);

    // On success bytes holds the result (strictly below limit), finalQuality and
    // finalSize what was used. Fails on a writer failure, or when cancel is set
    // between two encodes.
    static bool run(QImage image, qint64 limit, QByteArray *bytes, const Progress &progress,
        const std::atomic_bool *cancel = nullptr, int *finalQuality = nullptr,
        QSize *finalSize = nullptr);

private:
    static bool search(QImage image, qint64 limit, QByteArray *bytes, const Progress &progress,
        const std::atomic_bool *cancel, int *finalQuality, QSize *finalSize);
};
