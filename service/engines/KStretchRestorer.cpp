#include "KStretchRestorer.h"

#include <cmath>

#include <opencv2/imgproc.hpp>

#include "EnginePictures.h"

namespace engines {

namespace {

// Reads TIFF-structured EXIF data with bounds checks on every offset.
class TiffReader
{
public:
    explicit TiffReader(const QByteArray &data)
        : m_data(data)
    {
        if (data.size() >= 8 && data.startsWith("II*"))
            m_little = true, m_valid = true;
        else if (data.size() >= 8 && data.startsWith("MM"))
            m_little = false, m_valid = true;
    }

    bool valid() const { return m_valid; }
    quint32 firstIfd() const { return u32(4); }

    // Value of a SHORT or LONG tag in the IFD at offset, 0 when absent.
    quint32 tag(quint32 ifd, quint16 wanted) const
    {
        if (!m_valid || qint64(ifd) + 2 > m_data.size())
            return 0;
        // A directory that claims more entries than the data holds is corrupt
        // as a whole; none of its values are trusted.
        const quint16 count = u16(ifd);
        if (qint64(ifd) + 2 + 12 * qint64(count) > m_data.size())
            return 0;
        for (quint32 i = 0; i < count; ++i) {
            const quint32 entry = ifd + 2 + 12 * i;
            if (u16(entry) != wanted)
                continue;
            const quint16 type = u16(entry + 2);
            if (type == 3)
                return u16(entry + 8);
            if (type == 4)
                return u32(entry + 8);
            return 0;
        }
        return 0;
    }

private:
    quint16 u16(quint32 at) const
    {
        if (qint64(at) + 2 > m_data.size())
            return 0;
        const uchar *p = reinterpret_cast<const uchar *>(m_data.constData()) + at;
        return m_little ? quint16(p[0] | p[1] << 8) : quint16(p[0] << 8 | p[1]);
    }
    quint32 u32(quint32 at) const
    {
        if (qint64(at) + 4 > m_data.size())
            return 0;
        const uchar *p = reinterpret_cast<const uchar *>(m_data.constData()) + at;
        return m_little
            ? quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24
            : quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
    }

    QByteArray m_data;
    bool m_little = true;
    bool m_valid = false;
};

QByteArray exifBlock(const QByteArray &file)
{
    const auto *p = reinterpret_cast<const uchar *>(file.constData());
    const int n = file.size();
    if (n >= 4 && p[0] == 0xFF && p[1] == 0xD8) {
        int at = 2;
        while (at + 4 <= n && p[at] == 0xFF) {
            const int marker = p[at + 1];
            if (marker == 0xD9 || marker == 0xDA) // end of image, start of scan
                break;
            const int length = p[at + 2] << 8 | p[at + 3];
            if (length < 2 || at + 2 + length > n)
                break;
            if (marker == 0xE1 && length >= 8 && file.mid(at + 4, 6) == QByteArray("Exif\0\0", 6))
                return file.mid(at + 10, length - 8);
            at += 2 + length;
        }
        return QByteArray();
    }
    if (file.startsWith("\x89PNG\r\n\x1a\n")) {
        int at = 8;
        while (at + 12 <= n) {
            const quint32 length = quint32(p[at]) << 24 | quint32(p[at + 1]) << 16
                | quint32(p[at + 2]) << 8 | quint32(p[at + 3]);
            if (length > quint32(n) || qint64(at) + 12 + length > n)
                break;
            if (file.mid(at + 4, 4) == "eXIf")
                return file.mid(at + 8, int(length));
            if (file.mid(at + 4, 4) == "IDAT")
                break;
            at += 12 + int(length);
        }
    }
    return QByteArray();
}

QString percent(double ratio) { return QString::number(ratio, 'f', 3); }

} // namespace

QSize KStretchRestorer::exifPixelDimensions(const QByteArray &file)
{
    const TiffReader tiff(exifBlock(file));
    if (!tiff.valid())
        return QSize();
    const quint32 ifd0 = tiff.firstIfd();
    quint32 width = 0, height = 0;
    if (const quint32 exifIfd = tiff.tag(ifd0, 0x8769)) {
        width = tiff.tag(exifIfd, 0xA002);
        height = tiff.tag(exifIfd, 0xA003);
    }
    if (!width || !height) {
        width = tiff.tag(ifd0, 0x0100);
        height = tiff.tag(ifd0, 0x0101);
    }
    if (!width || !height || width > 1000000 || height > 1000000)
        return QSize();
    return QSize(int(width), int(height));
}

StretchEstimate KStretchRestorer::estimate(const QSize &size, const QSize &exifSize)
{
    StretchEstimate result;
    if (size.isEmpty())
        return result;
    const double current = double(size.width()) / size.height();
    const auto relative = [](double a, double b) { return std::abs(a - b) / b; };

    double ratio = 0;
    if (exifSize.isValid() && !exifSize.isEmpty()) {
        const double recorded = double(exifSize.width()) / exifSize.height();
        // A recorded ratio far off (more than twice or half) is more likely a
        // crop or a stale tag than a stretch.
        if (recorded / current < 2.0 && current / recorded < 2.0) {
            ratio = recorded;
            result.source = StretchEstimate::Exif;
        }
    }
    if (result.source == StretchEstimate::None) {
        const bool portrait = size.height() > size.width();
        double best = 0;
        double bestDistance = 1e9;
        for (const double common : { 4.0 / 3.0, 3.0 / 2.0, 16.0 / 9.0, 1.0 }) {
            const double candidate = portrait ? 1.0 / common : common;
            const double distance = relative(current, candidate);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = candidate;
            }
        }
        if (bestDistance <= commonRatioTolerance) {
            ratio = best;
            result.source = StretchEstimate::CommonRatio;
        }
    }
    if (result.source == StretchEstimate::None) {
        result.notice = QStringLiteral("stretch_not_estimated");
        result.noticeText = QStringLiteral("The original proportions cannot be estimated "
                                           "(width/height %1 is near no common camera ratio); "
                                           "the picture is unchanged.")
                                .arg(percent(current));
        return result;
    }
    result.ratio = ratio;
    if (relative(current, ratio) <= unchangedTolerance) {
        result.notice = QStringLiteral("stretch_not_needed");
        result.noticeText = QStringLiteral("The picture already has its original proportions "
                                           "(width/height %1); it is unchanged.")
                                .arg(percent(current));
        return result;
    }
    // Keep the longer side so no detail is thrown away; only the other axis
    // is resampled.
    if (size.width() >= size.height())
        result.target = QSize(size.width(), qMax(1, int(std::lround(size.width() / ratio))));
    else
        result.target = QSize(qMax(1, int(std::lround(size.height() * ratio))), size.height());
    return result;
}

QImage KStretchRestorer::resample(const QImage &image, const QSize &target)
{
    if (image.isNull() || target.isEmpty())
        return QImage();
    const bool alpha = image.hasAlphaChannel();
    const QImage source
        = image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB888);
    cv::Mat wrapped(source.height(), source.width(), alpha ? CV_8UC4 : CV_8UC3,
        const_cast<uchar *>(source.constBits()), size_t(source.bytesPerLine()));
    const bool enlarging = target.width() > source.width() || target.height() > source.height();
    const bool shrinking = target.width() < source.width() || target.height() < source.height();
    cv::Mat out;
    if (enlarging && shrinking) {
        // One axis each way: two passes, each with the filter it needs.
        cv::Mat step;
        cv::resize(wrapped, step, cv::Size(source.width(), target.height()), 0, 0,
            target.height() > source.height() ? cv::INTER_LANCZOS4 : cv::INTER_AREA);
        cv::resize(step, out, cv::Size(target.width(), target.height()), 0, 0,
            target.width() > source.width() ? cv::INTER_LANCZOS4 : cv::INTER_AREA);
    } else {
        cv::resize(wrapped, out, cv::Size(target.width(), target.height()), 0, 0,
            enlarging ? cv::INTER_LANCZOS4 : cv::INTER_AREA);
    }
    if (alpha)
        return fromMat(out);
    // out holds RGB in the order Qt gave it; copy rows without a colour swap.
    QImage result(out.cols, out.rows, QImage::Format_RGB888);
    for (int y = 0; y < out.rows; ++y)
        memcpy(result.scanLine(y), out.ptr(y), size_t(out.cols) * 3);
    return result;
}

} // namespace engines
