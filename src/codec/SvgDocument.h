#pragma once

#include <memory>

#include <QRectF>
#include <QString>

class QByteArray;
class QImage;
class LazyLibrary;
struct QvSvgDocument;

// An SVG document parsed by the toolkit's SVG renderer, which lives in the
// program's own library libqvsvgrender.so, opened the first time a document
// is parsed: the renderer brings the widget toolkit along, and neither should
// cost the program's start-up anything.
//
// Belongs to the thread that parsed it.
class SvgDocument
{
public:
    // The document, already checked (SvgDocumentCheck) and uncompressed.
    // Null when the renderer refuses it; *why then says why when the reason
    // is the renderer's library itself (missing from the installation).
    static std::unique_ptr<SvgDocument> parse(const QByteArray &document, QString *why);
    ~SvgDocument();
    SvgDocument(const SvgDocument &) = delete;
    SvgDocument &operator=(const SvgDocument &) = delete;

    QRectF viewBox() const;
    // Draws the whole document onto image (premultiplied ARGB32), fitted to
    // its size. False when the image is not such an image.
    bool render(QImage *image) const;

private:
    explicit SvgDocument(QvSvgDocument *document);

    QvSvgDocument *m_document;
};
