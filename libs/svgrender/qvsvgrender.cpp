#include "qvsvgrender.h"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

struct QvSvgDocument
{
    QSvgRenderer renderer;
};

QvSvgDocument *QvSvgOpen(const char *data, int size)
{
    if (!data || size < 0)
        return nullptr;
    auto *document = new QvSvgDocument;
    if (!document->renderer.load(QByteArray::fromRawData(data, size))
        || !document->renderer.isValid()) {
        delete document;
        return nullptr;
    }
    return document;
}

void QvSvgViewBox(
    const QvSvgDocument *document, double *x, double *y, double *width, double *height)
{
    const QRectF box = document ? document->renderer.viewBoxF() : QRectF();
    *x = box.x();
    *y = box.y();
    *width = box.width();
    *height = box.height();
}

int QvSvgRender(
    QvSvgDocument *document, unsigned char *pixels, int width, int height, int bytesPerLine)
{
    if (!document || !pixels || width <= 0 || height <= 0 || bytesPerLine < width * 4)
        return -1;
    QImage image(pixels, width, height, bytesPerLine, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    document->renderer.render(&painter, QRectF(0, 0, width, height));
    painter.end();
    return 0;
}

void QvSvgClose(QvSvgDocument *document) { delete document; }
