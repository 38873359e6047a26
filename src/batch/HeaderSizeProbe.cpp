#include "HeaderSizeProbe.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include "codec/ImageFormatRecord.h"
#include "codec/ImageFormats.h"
#include "codec/ImageHeaderSize.h"
#include "codec/ImageLimits.h"
#include "codec/KImageWrapper.h"

QSize probeImageSize(const QString &path)
{
    // Only plain files: a pipe or device would block or never end.
    const QFileInfo info(path);
    if (!info.isFile())
        return QSize();
    const ImageFormatRecord *format
        = ImageFormats::global().formatForExtension(ImageFormats::extensionOf(info.fileName()));
    switch (format->type) {
    case ImageFormatGif:
    case ImageFormatWebp: {
        // The toolkit's readers allocate the whole canvas when asked for its
        // size; the header says it without that.
        if (info.size() > ImageLimits::kMaxFileBytes)
            return QSize();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QSize();
        const QByteArray bytes = file.readAll();
        const QSize size = format->type == ImageFormatGif ? ImageHeaderSize::gif(bytes)
                                                          : ImageHeaderSize::webp(bytes);
        return ImageLimits::sizeAllowed(size.width(), size.height()) ? size : QSize();
    }
    case ImageFormatJpeg:
    case ImageFormatPng:
    case ImageFormatBmp:
    case ImageFormatTiff: {
        // These readers answer from the header alone.
        QImageReader reader(path);
        reader.setAutoTransform(true);
        QSize size = reader.size();
        if (!size.isValid() || !ImageLimits::sizeAllowed(size.width(), size.height()))
            return QSize();
        if (reader.transformation() & QImageIOHandler::TransformationRotate90)
            size.transpose();
        return size;
    }
    default: {
        // Everything else goes through the codec with its guards (the
        // caller is a worker thread).
        KImageWrapper wrapper;
        if (!wrapper.load(path))
            return QSize();
        return wrapper.frameAt(0).size();
    }
    }
}
