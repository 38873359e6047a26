#pragma once

/*
 * qvpdfrender: counts the pages of a PDF document and renders one page into
 * an image file. Loaded at run time from the program's folder; plain C calls
 * so the loader needs nothing but the two symbol names.
 *
 * Strings are zero-terminated; file names are the bytes of the name on disk
 * (UTF-8 for ordinary names), passwords UTF-8. GetPdfPageCount and
 * Convert2ImageByPage open the document on every call, so they may be called
 * from several threads at once (the interface thread counts pages while a
 * worker renders). A worker that renders many pages opens the document once
 * (QvPdfOpen) and renders every page from that handle: the cost is then
 * linear in the pages, not in pages times document size. A handle belongs to
 * one thread at a time.
 */

#ifdef __cplusplus
extern "C" {
#endif

/* Failure results; every failure is negative. */
enum QvPdfRenderResult {
    QVPDF_OK = 0,
    QVPDF_ERR_ARGUMENT = -1, /* null path, unsupported output suffix, bad page number */
    QVPDF_ERR_OPEN = -2, /* missing, unreadable or broken document */
    QVPDF_ERR_RENDER = -3, /* the page could not be rendered */
    QVPDF_ERR_WRITE = -4, /* the image file could not be written */
    QVPDF_ERR_NO_SPACE = -5, /* the image file could not be written: the disk is full */
    QVPDF_ERR_EXISTS = -6, /* outputPath exists (it is never replaced) */
    QVPDF_ERR_PASSWORD = -7 /* the document needs a password (none or a wrong one was given) */
};

typedef struct QvPdfDocument QvPdfDocument;

/* Number of pages (0 or more), or a negative QvPdfRenderResult when the
 * document cannot be opened. password may be null or empty; it opens
 * documents that need a user password. */
int GetPdfPageCount(const char *pdfPath, const char *password);

/* Renders page (1-based) at 150 dpi with antialiasing and writes it to
 * outputPath in the format its suffix names: png, jpg/jpeg, bmp, webp,
 * tif/tiff (any case). The image goes to a temporary sibling, every write
 * checked, that is linked to outputPath when complete, so outputPath never
 * holds a partial image. An existing outputPath is never replaced
 * (QVPDF_ERR_EXISTS). Returns QVPDF_OK (0) or a negative QvPdfRenderResult. */
int Convert2ImageByPage(
    const char *pdfPath, const char *password, int page, const char *outputPath);

/* Opens the document once for many pages. Returns null on failure, with the
 * QvPdfRenderResult in *result when result is not null. */
QvPdfDocument *QvPdfOpen(const char *pdfPath, const char *password, int *result);
/* Number of pages of an open document. */
int QvPdfPageCount(QvPdfDocument *document);
/* As Convert2ImageByPage, on an open document. */
int QvPdfRenderPage(QvPdfDocument *document, int page, const char *outputPath);
/* Closes the document; null is allowed. */
void QvPdfClose(QvPdfDocument *document);

typedef int (*QvGetPdfPageCountFn)(const char *, const char *);
typedef int (*QvConvert2ImageByPageFn)(const char *, const char *, int, const char *);
typedef QvPdfDocument *(*QvPdfOpenFn)(const char *, const char *, int *);
typedef int (*QvPdfPageCountFn)(QvPdfDocument *);
typedef int (*QvPdfRenderPageFn)(QvPdfDocument *, int, const char *);
typedef void (*QvPdfCloseFn)(QvPdfDocument *);

#ifdef __cplusplus
}
#endif
