#include "PdfImageDecoder.h"

#include "codec/KImageWrapper.h"

QImage decodeImageForPdf(const QString &path)
{
    KImageWrapper wrapper;
    if (!wrapper.load(path) || wrapper.frameCount() < 1)
        return QImage();
    return wrapper.frameAt(0);
}
