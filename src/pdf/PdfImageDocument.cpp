#include "PdfImageDocument.h"

#include <cerrno>
#include <exception>
#include <string>

#include <fcntl.h>
#include <qvpdfwrite.h>
#include <unistd.h>
#include <zlib.h>

#include <QColorSpace>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>

#include "app/FileUtils.h"
#include "codec/ImageLoadFailure.h"
#include "codec/LazyLibrary.h"
#include "pdf/JpegInfo.h"
#include "pdf/PdfImageDecoder.h"
#include "pdf/PdfPageLayout.h"
#include "pdf/PdfPixelEncoder.h"

namespace {

// Whole files are read to check them; anything bigger is no single image a
// page should hold (and QByteArray stops at 2 GB).
constexpr qint64 kMaxImageFileBytes = 1024LL * 1024 * 1024;

LazyLibrary &writerLibrary()
{
    static LazyLibrary library(LazyLibrary::ownLibraryPath(QStringLiteral("libqvpdfwrite.so")),
        QStringLiteral("PDF writing (libqvpdfwrite.so)"));
    return library;
}

template <typename Function> Function entry(const char *name)
{
    return writerLibrary().entry<Function>(name);
}

// The library's reason, from its zero-terminated buffer.
QString reasonFrom(const char *buffer) { return QString::fromLocal8Bit(buffer); }

QvPdfImage flateImage(const PdfPixelEncoder::Plane &plane)
{
    QvPdfImage image {};
    image.width = plane.width;
    image.height = plane.height;
    image.components = plane.components;
    image.bitsPerComponent = plane.bitsPerComponent;
    image.flateData = reinterpret_cast<const unsigned char *>(plane.flateData.constData());
    image.flateSize = plane.flateData.size();
    return image;
}

// Six numbers for a content stream, without exponents or trailing zeros.
std::string number(double value)
{
    QString text = QString::number(value, 'f', 4);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text.toStdString();
}

} // namespace

PdfImageDocument::PdfImageDocument()
{
    if (!writerLibrary().load(&m_startError))
        return;
    static const auto create = entry<decltype(&QvPdfWriterCreate)>("QvPdfWriterCreate");
    m_writer = create("PDF Converter");
    if (!m_writer)
        m_startError = QStringLiteral("the PDF library could not start");
}

PdfImageDocument::~PdfImageDocument()
{
    if (m_writer) {
        static const auto release = entry<decltype(&QvPdfWriterFree)>("QvPdfWriterFree");
        release(m_writer);
    }
}

bool PdfImageDocument::addImagePage(const QString &imagePath, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!m_writer)
        return fail(m_startError);

    QFile file(imagePath);
    if (!file.open(QIODevice::ReadOnly))
        return fail(ImageLoadFailure::explain(imagePath));
    if (file.size() > kMaxImageFileBytes)
        return fail(QStringLiteral("the image file is too large"));
    // Allocation failures of a huge picture end as this file's failure.
    try {
        const QByteArray bytes = file.readAll();
        file.close();
        if (bytes.isEmpty())
            return fail(QStringLiteral("the image file is empty or unreadable"));

        QvPdfImage image {};
        QvPdfImage alpha {};
        bool hasAlpha = false;
        int orientation = 1;
        // What the image description points into, kept until the page is added.
        QByteArray nativePath;
        QByteArray iccProfile;
        PdfPixelEncoder::Encoded encoded;

        const JpegInfo jpeg = JpegInfo::parse(bytes);
        if (jpeg.isJpeg && !jpeg.complete)
            return fail(QStringLiteral("the JPEG file is truncated or damaged"));
        if (jpeg.embeddable) {
            // Embedded as it is: its bytes are read from the file again when the
            // document is written, and must still be these.
            nativePath = QFile::encodeName(imagePath);
            iccProfile = jpeg.iccProfile;
            orientation = jpeg.orientation;
            image.width = jpeg.width;
            image.height = jpeg.height;
            image.components = jpeg.components;
            image.bitsPerComponent = 8;
            image.invertedCmyk = jpeg.adobeMarker ? 1 : 0;
            image.jpegPath = nativePath.constData();
            image.jpegSize = bytes.size();
            image.jpegCrc32 = crc32(crc32(0L, Z_NULL, 0),
                reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size()));
        } else {
            QString reason;
            const QImage decoded = decodeImageForPdf(imagePath, &reason);
            if (decoded.isNull())
                return fail(reason.isEmpty() ? ImageLoadFailure::explain(imagePath) : reason);
            encoded = PdfPixelEncoder::encode(decoded);
            iccProfile = encoded.iccProfile;
            image = flateImage(encoded.colour);
            hasAlpha = encoded.hasAlpha;
            if (hasAlpha)
                alpha = flateImage(encoded.alpha);
        }
        image.iccProfile = reinterpret_cast<const unsigned char *>(iccProfile.constData());
        image.iccProfileSize = iccProfile.size();

        const PdfPageLayout::Placement place
            = PdfPageLayout::placeImage(image.width, image.height, orientation);
        const std::string content = "q " + number(place.a) + ' ' + number(place.b) + ' '
            + number(place.c) + ' ' + number(place.d) + ' ' + number(place.e) + ' '
            + number(place.f) + " cm /Im0 Do Q\n";
        static const auto addPage = entry<decltype(&QvPdfWriterAddPage)>("QvPdfWriterAddPage");
        char reason[512] = {};
        if (addPage(m_writer, PdfPageLayout::kPageWidth, PdfPageLayout::kPageHeight, &image,
                hasAlpha ? &alpha : nullptr, content.c_str(), reason, int(sizeof reason))
            != 0)
            return fail(reasonFrom(reason));
        ++m_pageCount;
        return true;
    } catch (const std::exception &e) {
        return fail(QString::fromLocal8Bit(e.what()));
    }
}

bool PdfImageDocument::write(const QString &target, const QString &password, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!m_writer)
        return fail(m_startError);
    if (m_pageCount == 0)
        return fail(QStringLiteral("the document has no pages"));
    const QByteArray userPassword = password.toUtf8();
    if (userPassword.contains('\0'))
        return fail(QStringLiteral("the password contains a NUL character"));

    QString reason;
    const QString temp = siblingTempPath(target, &reason);
    if (temp.isEmpty())
        return fail(QStringLiteral("cannot create a file in the output folder: ") + reason);
    const QByteArray nativeTemp = QFile::encodeName(temp);
    const int fd = ::open(nativeTemp.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        reason = fileErrorReason(errno);
        QFile::remove(temp);
        return fail(reason);
    }
    // A fresh random owner password, never stored, guards the permissions.
    const QByteArray ownerPassword = userPassword.isEmpty() ? QByteArray() : randomOwnerPassword();
    static const auto writeTo = entry<decltype(&QvPdfWriterWrite)>("QvPdfWriterWrite");
    int writeErrno = 0;
    char message[512] = {};
    if (writeTo(m_writer, fd, userPassword.constData(), ownerPassword.constData(), &writeErrno,
            message, int(sizeof message))
        != 0)
        reason = writeErrno != 0 ? fileErrorReason(writeErrno) : reasonFrom(message);
    // Some file systems (NFS, FUSE) report a full disk only here.
    if (::close(fd) != 0 && reason.isEmpty())
        reason = fileErrorReason(errno);
    if (!reason.isEmpty()) {
        QFile::remove(temp);
        return fail(reason);
    }
    if (!replaceFile(temp, target, &reason))
        return fail(QStringLiteral("cannot move the document into place: ") + reason);
    return true;
}

QByteArray PdfImageDocument::randomOwnerPassword()
{
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char *>(words), sizeof(words)).toHex();
}
