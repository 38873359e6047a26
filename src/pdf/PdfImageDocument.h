#pragma once

#include <QByteArray>
#include <QString>

struct QvPdfWriter;

// A PDF of A4 pages with one image each, built by the program's PDF writer
// (libqvpdfwrite.so, opened with the first document) and written in one go. JPEG files go in as
// they are (their bytes are read again from the file when the document is written, so a long list
// does not sit in memory); other images are decoded and stored losslessly. Used by one thread at a
// time (the image-to-PDF converter's); never throws.
class PdfImageDocument
{
public:
    PdfImageDocument();
    ~PdfImageDocument();
    PdfImageDocument(const PdfImageDocument &) = delete;
    PdfImageDocument &operator=(const PdfImageDocument &) = delete;

    // Adds a page showing the image file. On failure the document is
    // unchanged and error says why.
    bool addImagePage(const QString &imagePath, QString *error = nullptr);
    int pageCount() const { return m_pageCount; }

    // Writes the document to a temporary sibling of target and renames it
    // over target (a reserved, empty placeholder or a new name). A non-empty
    // password encrypts with AES-256 (R6): it opens the document, and a fresh
    // random owner password, never stored, guards the permissions. On failure
    // no temporary file remains and target is left as it was.
    bool write(const QString &target, const QString &password, QString *error = nullptr);

    // 256 bits from the system's secure random source, as 64 hex digits.
    static QByteArray randomOwnerPassword();

private:
    QvPdfWriter *m_writer = nullptr;
    QString m_startError; // why there is no writer
    int m_pageCount = 0;
};
