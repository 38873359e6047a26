#include "PdfFixtures.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>
#include <poppler-qt5.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <QBuffer>
#include <QFile>
#include <QImageWriter>

namespace PdfFixtures {

namespace {

std::string pageContent(int page, const QSizeF &size)
{
    const QColor colour = pageColour(page);
    return QStringLiteral("q %1 %2 %3 rg 100 %4 395 300 re f Q\n"
                          "q 0 0 0 RG 0.5 w 50 50 m %5 150 l S Q\n")
        .arg(colour.redF(), 0, 'f', 4)
        .arg(colour.greenF(), 0, 'f', 4)
        .arg(colour.blueF(), 0, 'f', 4)
        .arg(size.height() / 2 - 150)
        .arg(size.width() - 50)
        .toStdString();
}

QByteArray segment(unsigned char marker, const QByteArray &payload)
{
    QByteArray out;
    out.append(char(0xFF)).append(char(marker));
    const int length = payload.size() + 2;
    out.append(char((length >> 8) & 0xFF)).append(char(length & 0xFF));
    out.append(payload);
    return out;
}

// After SOI and any APP0 (JFIF) segment, so that readers still see JFIF first.
QByteArray insertSegment(const QByteArray &jpeg, const QByteArray &seg)
{
    int pos = 2;
    if (jpeg.size() > 6 && uchar(jpeg[2]) == 0xFF && uchar(jpeg[3]) == 0xE0)
        pos = 4 + ((uchar(jpeg[4]) << 8) | uchar(jpeg[5]));
    return jpeg.left(pos) + seg + jpeg.mid(pos);
}

} // namespace

QColor pageColour(int page) { return QColor::fromHsv((page * 47) % 360, 220, 230); }

QPointF pageColourProbe()
{
    // The rectangle spans x 100..495 and 150 points above and below the
    // middle of the page.
    return QPointF(297.5, 421.0);
}

bool writePdf(
    const QString &path, int pageCount, const QString &userPassword, const QSizeF &pageSize)
{
    try {
        QPDF pdf;
        pdf.emptyPDF();
        QPDFPageDocumentHelper pages(pdf);
        for (int k = 1; k <= pageCount; ++k) {
            QPDFObjectHandle page = QPDFObjectHandle::newDictionary();
            page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
            page.replaceKey("/MediaBox",
                QPDFObjectHandle::newArray(
                    QPDFObjectHandle::Rectangle(0, 0, pageSize.width(), pageSize.height())));
            page.replaceKey("/Resources", QPDFObjectHandle::newDictionary());
            page.replaceKey(
                "/Contents", QPDFObjectHandle::newStream(&pdf, pageContent(k, pageSize)));
            pages.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
        }
        const QByteArray nativePath = QFile::encodeName(path); // kept until the writer writes
        QPDFWriter writer(pdf, nativePath.constData());
        if (!userPassword.isEmpty()) {
            const QByteArray user = userPassword.toUtf8();
            writer.setR6EncryptionParameters(user.constData(), "fixture-owner", true, true, true,
                true, true, true, qpdf_r3p_full, true);
        }
        writer.write();
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

bool writeZeroPagePdf(const QString &path)
{
    try {
        QPDF pdf;
        pdf.emptyPDF();
        const QByteArray nativePath = QFile::encodeName(path); // kept until the writer writes
        QPDFWriter writer(pdf, nativePath.constData());
        writer.write();
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

QByteArray brokenPdf()
{
    return QByteArray("%PDF-1.7\nthis is not a PDF body, no objects and no trailer\n%%EOF\n");
}

std::unique_ptr<Poppler::Document> openPdf(const QString &path, const QByteArray &password)
{
    return std::unique_ptr<Poppler::Document>(Poppler::Document::load(path, password, password));
}

QImage renderPdfPage(const QString &path, int index, double dpi, const QByteArray &password)
{
    const std::unique_ptr<Poppler::Document> document = openPdf(path, password);
    if (!document || document->isLocked())
        return QImage();
    const std::unique_ptr<Poppler::Page> page(document->page(index));
    if (!page)
        return QImage();
    return page->renderToImage(dpi, dpi).convertToFormat(QImage::Format_RGB32);
}

QByteArray jpegBytes(const QImage &image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

QByteArray withExifOrientation(const QByteArray &jpeg, int orientation)
{
    // Big-endian TIFF header, IFD0 with one entry: Orientation (SHORT, 1).
    QByteArray exif("Exif\0\0", 6);
    const unsigned char tiff[] = { 'M', 'M', 0, 42, 0, 0, 0, 8, // header, IFD at 8
        0, 1, // one entry
        0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, static_cast<unsigned char>(orientation), 0, 0, 0, 0, 0,
        0 }; // no next IFD
    exif.append(reinterpret_cast<const char *>(tiff), sizeof(tiff));
    return insertSegment(jpeg, segment(0xE1, exif));
}

QByteArray withIccProfile(const QByteArray &jpeg, const QByteArray &profile)
{
    // Two chunks, so reassembly is exercised.
    const int half = profile.size() / 2;
    QByteArray out = jpeg;
    QByteArray segments;
    for (int i = 0; i < 2; ++i) {
        QByteArray payload("ICC_PROFILE\0", 12);
        payload.append(char(i + 1)).append(char(2));
        payload.append(i == 0 ? profile.left(half) : profile.mid(half));
        segments += segment(0xE2, payload);
    }
    return insertSegment(jpeg, segments);
}

QByteArray invertedCmykJpeg(int width, int height)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    cinfo.write_Adobe_marker = TRUE;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(size_t(width) * 4);
    while (cinfo.next_scanline < cinfo.image_height) {
        const bool top = cinfo.next_scanline < JDIMENSION(height / 2);
        for (int x = 0; x < width; ++x) {
            // Inverted: 0 means full ink, 255 no ink.
            row[size_t(4 * x)] = top ? 0 : 255;
            row[size_t(4 * x + 1)] = 255;
            row[size_t(4 * x + 2)] = 255;
            row[size_t(4 * x + 3)] = 255;
        }
        JSAMPROW rows[1] = { row.data() };
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char *>(buffer), int(size));
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return bytes;
}

} // namespace PdfFixtures
