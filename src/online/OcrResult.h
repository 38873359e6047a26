#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// One finished online job as the views keep it: per output mode in the
// recognition views, per operation in the enhancement view.
struct OcrResult
{
    QImage image; // the preview picture (tables) or the returned picture (AI); null if none
    qint64 size = 0; // byte count of data
    QByteArray data; // the result document, text or picture, as downloaded
    QString key; // the result's object key (recognition only)
};
