#pragma once

#include <memory>

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSizeF>
#include <QString>

namespace Poppler {
class Document;
}

// Fixture makers and oracles for the PDF tests: PDFs written with qpdf,
// JPEG variants spliced by hand, and poppler for reading results back.
namespace PdfFixtures {

// Page k (1-based) of a fixture PDF shows a rectangle of this colour.
QColor pageColour(int page);

// The centre of that rectangle in points from the top left of an A4 page.
QPointF pageColourProbe();

// A PDF of pageCount pages (A4 unless pageSize says otherwise): a coloured
// rectangle per page and a thin slanted line below it. A non-empty userPassword
// encrypts it (AES-256). False on failure.
bool writePdf(const QString &path, int pageCount, const QString &userPassword = QString(),
    const QSizeF &pageSize = QSizeF(595, 842));

// A PDF whose page tree has no pages.
bool writeZeroPagePdf(const QString &path);

// Not a PDF at all apart from its first line.
QByteArray brokenPdf();

// poppler's view of a file; null when it cannot be loaded.
std::unique_ptr<Poppler::Document> openPdf(const QString &path, const QByteArray &password = {});

// Page index (0-based) rendered at dpi; null image on failure.
QImage renderPdfPage(const QString &path, int index, double dpi, const QByteArray &password = {});

// JPEG writers and splicers.
QByteArray jpegBytes(const QImage &image, int quality = 90);
QByteArray withExifOrientation(const QByteArray &jpeg, int orientation);
QByteArray withIccProfile(const QByteArray &jpeg, const QByteArray &profile);
// A CMYK JPEG with the Adobe marker and inverted samples, as Photoshop writes
// them: the top half is pure cyan ink, the bottom half no ink (white).
QByteArray invertedCmykJpeg(int width, int height);

} // namespace PdfFixtures
