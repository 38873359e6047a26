#include "PdfImageDecoder.h"

#include <QImageReader>

namespace {

// 32-bit pixels: 256 Mpx is 1 GB, beyond what one page should take.
constexpr qint64 kMaxPixels = 256LL * 1024 * 1024;

} // namespace

QImage decodeImageForPdf(const QString &path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > kMaxPixels)
        return QImage();
    return reader.read();
}
