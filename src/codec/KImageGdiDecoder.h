#pragma once

#include <QImage>
#include <QString>

#include "codec/KImageDecoderBase.h"

// Windows Metafiles (WMF, with or without the placeable header) and
// Enhanced Metafiles (EMF), told apart by content, rendered by a player of
// our own (EmfPlayer, WmfPlayer over libUEMF's record definitions and
// checks, drawing with QPainter) at the picture's natural size onto white.
// One opaque RGB32 frame.
//
// The picture is rendered once, at load, so a file that cannot be drawn
// fails to load instead of giving a null frame later. Owned by its
// KImageWrapper and used by one thread at a time.
class KImageGdiDecoder : public KImageDecoderBase
{
public:
    explicit KImageGdiDecoder(KImageWrapper *wrapper);
    ~KImageGdiDecoder() override;

    bool decodeFile(const QString &path) override;
    QImage frameAt(int index) override;
    int frameCount() const override;
    // Why the last decodeFile failed once the file was understood (too
    // complex to render within the work budget); empty otherwise.
    QString errorString() const { return m_error; }

private:
    QImage m_frame;
    QString m_error;
};
