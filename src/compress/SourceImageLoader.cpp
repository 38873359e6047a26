#include "SourceImageLoader.h"

#include "codec/KImageWrapper.h"

QImage loadSourceImage(const QString &path)
{
    // Through the image wrapper rather than the toolkit's reader alone, so that
    // every format the open dialog offers (HEIC, camera RAW, PSD ...) can be
    // compressed; the wrapper also turns the picture upright.
    KImageWrapper wrapper;
    if (!wrapper.load(path) || wrapper.loadState() != KImageWrapper::Loaded)
        return QImage();
    return wrapper.frameAt(0);
}
