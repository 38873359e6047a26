#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include "codec/metafile/MetafileCanvas.h"

// Plays an Enhanced Metafile onto an image. parse() checks the header and
// that the record chain is whole (every record inside the file, ending with
// EMR_EOF); render() draws the records it knows at the picture's natural
// size (its frame at the reference device's resolution) onto white. Records
// it does not draw, and records libUEMF finds inconsistent, are skipped.
// Any thread; one player per file.
class EmfPlayer
{
public:
    explicit EmfPlayer(const QByteArray &data);

    bool parse();
    QSize naturalSize() const { return m_size; }
    // Null when the picture cannot be drawn: not parsed, or it would cost
    // more than paintBudget units of work (see MetafileCanvas) or take
    // longer than timeLimitMs; errorString() then says why.
    QImage render(qint64 paintBudget = MetafileCanvas::kDefaultPaintBudget,
        qint64 timeLimitMs = MetafileCanvas::kDefaultTimeLimitMs);
    QString errorString() const { return m_error; }

private:
    void play(MetafileCanvas &canvas) const;

    QByteArray m_data; // the file plus zero padding for libUEMF's checks
    qint64 m_length = 0; // bytes of records, up to and including EMR_EOF
    QSize m_size;
    QString m_error;
    QRectF m_frameInDevice; // the picture frame in reference-device pixels
    qreal m_pixelsPerMm = 96.0 / 25.4;
};
