#pragma once

/*
 * qvsvgrender: the toolkit's SVG renderer behind plain C calls, loaded by the
 * program the first time it opens an SVG document. The renderer's library
 * brings the whole widget toolkit along; kept out of the program, neither
 * costs anything at start-up.
 *
 * The caller checks documents before they get here (size, entities,
 * references) and needs a GUI application object for fonts. A document
 * belongs to the thread that opened it.
 */

#ifdef __cplusplus
extern "C" {
#endif

#if defined(QVSVGRENDER_BUILD)
#define QVSVG_EXPORT __attribute__((visibility("default")))
#else
#define QVSVG_EXPORT
#endif

typedef struct QvSvgDocument QvSvgDocument;

/* Parses size bytes of SVG (uncompressed). Null when the renderer refuses
 * the document or finds it invalid. */
QVSVG_EXPORT QvSvgDocument *QvSvgOpen(const char *data, int size);

/* The document's view box, in user units. */
QVSVG_EXPORT void QvSvgViewBox(
    const QvSvgDocument *document, double *x, double *y, double *width, double *height);

/* Renders the whole document onto pixels, fitted to width x height: 32-bit
 * premultiplied ARGB words in native byte order, bytesPerLine apart. Returns
 * 0, or -1 when an argument is unusable. */
QVSVG_EXPORT int QvSvgRender(
    QvSvgDocument *document, unsigned char *pixels, int width, int height, int bytesPerLine);

/* Frees the document; null is allowed. */
QVSVG_EXPORT void QvSvgClose(QvSvgDocument *document);

#ifdef __cplusplus
}
#endif
