#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include "codec/metafile/MetafileCanvas.h"

// Plays a Windows Metafile (with or without the placeable header) onto an
// image. parse() checks the headers and that the record chain is whole,
// ending with META_EOF; render() draws the records it knows at the
// picture's natural size onto white: the placeable bounding box at its
// units per inch, shown at 96 dpi, or else the first window extent in
// pixels. Playing starts as a program playing the picture into the image
// would set it up (MM_ANISOTROPIC, the picture's window on the whole
// image); the picture's own mapping-mode, window and viewport records then
// apply as in GDI, the fixed modes at 96 dpi. Records it does not draw are
// skipped (objects still take their table slot). Any thread; one player
// per file.
class WmfPlayer
{
public:
    explicit WmfPlayer(const QByteArray &data);

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

    QByteArray m_data;
    qint64 m_first = 0; // offset of the first record
    qint64 m_length = 0; // end of META_EOF
    QSize m_size;
    QString m_error;
    QRectF m_window; // initial window (logical units)
};
