#pragma once

/*
 * qvpdfrender: counts the pages of a PDF document and renders one page into
 * an image file. Loaded at run time from the program's folder; plain C calls
 * so the loader needs nothing but the two symbol names.
 *
 * Strings are UTF-8 and zero-terminated. Every call opens the document on its
 * own, so the functions may be called from several threads at once (the
 * interface thread counts pages while a worker renders).
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
    QVPDF_ERR_PASSWORD = -5 /* the document needs a password (none or a wrong one was given) */
};

/* Number of pages (0 or more), or a negative QvPdfRenderResult when the
 * document cannot be opened. password may be null or empty; it opens
 * documents that need a user password. */
int GetPdfPageCount(const char *pdfPath, const char *password);

/* Renders page (1-based) at 150 dpi with antialiasing and writes it to
 * outputPath in the format its suffix names: png, jpg/jpeg, bmp, webp,
 * tif/tiff (any case). The image goes to a temporary sibling that is renamed
 * over outputPath on success, so outputPath never holds a partial image. An
 * existing outputPath is replaced only when it is empty (the placeholder of
 * a reserved name); any other existing file is left alone and the call fails.
 * Returns QVPDF_OK (0) or a negative QvPdfRenderResult. */
int Convert2ImageByPage(
    const char *pdfPath, const char *password, int page, const char *outputPath);

typedef int (*QvGetPdfPageCountFn)(const char *, const char *);
typedef int (*QvConvert2ImageByPageFn)(const char *, const char *, int, const char *);

#ifdef __cplusplus
}
#endif
