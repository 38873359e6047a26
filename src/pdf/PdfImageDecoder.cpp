#include "PdfImageDecoder.h"

#include "codec/KImageWrapper.h"

QImage decodeImageForPdf(const QString &path, QString *error)
{
    KImageWrapper wrapper;
    if (!wrapper.load(path) || wrapper.frameCount() < 1) {
        if (error)
            *error = wrapper.errorString();
        return QImage();
    }
    return wrapper.frameAt(0);
}
