#include "HeaderSizeProbe.h"

#include <FreeImage.h>

#include <QFile>
#include <QImageReader>

QSize probeImageSize(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (size.isValid()) {
        if (reader.transformation() & QImageIOHandler::TransformationRotate90)
            size.transpose();
        return size;
    }
    // Formats the toolkit cannot read: FreeImage reads just the header.
    const QByteArray native = QFile::encodeName(path);
    const FREE_IMAGE_FORMAT fif = FreeImage_GetFileType(native.constData(), 0);
    if (fif == FIF_UNKNOWN || !FreeImage_FIFSupportsNoPixels(fif))
        return QSize();
    FIBITMAP *header = FreeImage_Load(fif, native.constData(), FIF_LOAD_NOPIXELS);
    if (!header)
        return QSize();
    size = QSize(int(FreeImage_GetWidth(header)), int(FreeImage_GetHeight(header)));
    FreeImage_Unload(header);
    return size;
}
