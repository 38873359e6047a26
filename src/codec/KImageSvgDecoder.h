#pragma once

#include <memory>

#include <QSize>

#include "codec/KImageDecoderBase.h"

class SvgDocument;

// SVG and compressed SVG (.svgz) through the toolkit's SVG renderer
// (SvgDocument, in a library of its own opened on first use): one
// frame, rendered on demand at the size of the document's view box onto a
// transparent premultiplied ARGB image. Documents are checked before the
// renderer parses them (SvgDocumentCheck) and an empty or oversized view box
// fails the load, so a loaded SVG always renders.
//
// Needs a QGuiApplication (fonts); without one every SVG fails to load.
// Owned by its KImageWrapper and used by one thread at a time (the renderer
// is a QObject without parent, living in the thread that loaded it).
class KImageSvgDecoder : public KImageDecoderBase
{
public:
    explicit KImageSvgDecoder(KImageWrapper *wrapper);
    ~KImageSvgDecoder() override;

    bool decodeFile(const QString &path) override;
    QImage frameAt(int index) override;
    int frameCount() const override;

    QSize renderSize() const { return m_renderSize; }

private:
    std::unique_ptr<SvgDocument> m_document;
    bool m_loaded = false;
    QSize m_renderSize;
};
