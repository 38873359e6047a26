#pragma once

/*
 * qvpdfwrite: builds a PDF of image pages and writes it in one go, optionally
 * encrypted. Loaded by the program the first time it makes a PDF: the PDF
 * library and the cryptography under it stay out of every other run.
 *
 * A writer belongs to one thread at a time. Strings are zero-terminated;
 * file names are the bytes of the name on disk. Functions that can fail
 * return 0, or -1 with a plain reason copied into error (at most errorSize
 * bytes, terminated), which may be null.
 */

#ifdef __cplusplus
extern "C" {
#endif

#if defined(QVPDFWRITE_BUILD)
#define QVPDFW_EXPORT __attribute__((visibility("default")))
#else
#define QVPDFW_EXPORT
#endif

typedef struct QvPdfWriter QvPdfWriter;

/* One image of a page. Its samples are either a JPEG file, read again when
 * the document is written and checked against jpegSize and jpegCrc32 (zlib's
 * CRC-32), or Flate data with PNG predictors (one filter byte a row). */
typedef struct QvPdfImage
{
    int width;
    int height;
    int components; /* 1 gray, 3 RGB, 4 CMYK */
    int bitsPerComponent; /* 1 or 8 */
    /* An ICC profile for the samples; used when its header names their
     * colour space, else the device space is. May be null. */
    const unsigned char *iccProfile;
    long long iccProfileSize;
    int invertedCmyk; /* CMYK stored inverted (Adobe JPEG files) */
    const char *jpegPath;
    long long jpegSize;
    unsigned long jpegCrc32;
    const unsigned char *flateData;
    long long flateSize;
} QvPdfImage;

/* An empty document whose information names creator. Null when the PDF
 * library cannot start. */
QVPDFW_EXPORT QvPdfWriter *QvPdfWriterCreate(const char *creator);

/* Adds a page of width x height points drawing image as /Im0 with the
 * content stream content; alpha (one gray component, Flate data, may be
 * null) becomes its soft mask. The document is unchanged on failure. */
QVPDFW_EXPORT int QvPdfWriterAddPage(QvPdfWriter *writer, double width, double height,
    const QvPdfImage *image, const QvPdfImage *alpha, const char *content, char *error,
    int errorSize);

/* Writes the document to fd (left open). A non-empty userPassword encrypts
 * it with AES-256 (revision 6) and every permission granted; ownerPassword
 * then guards the permissions. When a write to fd fails, *writeErrno (may be
 * null) gets the system's error number and the writer stops at once. */
QVPDFW_EXPORT int QvPdfWriterWrite(QvPdfWriter *writer, int fd, const char *userPassword,
    const char *ownerPassword, int *writeErrno, char *error, int errorSize);

/* Frees the writer; null is allowed. */
QVPDFW_EXPORT void QvPdfWriterFree(QvPdfWriter *writer);

#ifdef __cplusplus
}
#endif
