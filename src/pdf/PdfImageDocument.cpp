#include "PdfImageDocument.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <unistd.h>
#include <zlib.h>

#include <QColorSpace>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>

#include "app/FileUtils.h"
#include "codec/ImageLoadFailure.h"
#include "pdf/JpegInfo.h"
#include "pdf/PdfImageDecoder.h"
#include "pdf/PdfPageLayout.h"
#include "pdf/PdfPixelEncoder.h"

namespace {

// Whole files are read to check them; anything bigger is no single image a
// page should hold (and QByteArray stops at 2 GB).
constexpr qint64 kMaxImageFileBytes = 1024LL * 1024 * 1024;

QPDFObjectHandle newName(const char *name) { return QPDFObjectHandle::newName(name); }

std::string toStd(const QByteArray &bytes)
{
    return std::string(bytes.constData(), size_t(bytes.size()));
}

// The JPEG's bytes, read from the file while the document is written. The
// file must still be the one that was checked when the page was added.
class JpegFileProvider : public QPDFObjectHandle::StreamDataProvider
{
public:
    JpegFileProvider(const QString &path, qint64 size, quint32 crc)
        : m_path(path)
        , m_size(size)
        , m_crc(crc)
    {
    }

    using QPDFObjectHandle::StreamDataProvider::provideStreamData;
    void provideStreamData(QPDFObjGen const &, Pipeline *pipeline) override
    {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error("cannot read the image again");
        qint64 total = 0;
        uLong crc = crc32(0L, Z_NULL, 0);
        QByteArray chunk;
        while (!(chunk = file.read(1 << 20)).isEmpty()) {
            const auto *data = reinterpret_cast<const unsigned char *>(chunk.constData());
            crc = crc32(crc, data, uInt(chunk.size()));
            pipeline->write(data, size_t(chunk.size()));
            total += chunk.size();
        }
        if (total != m_size || crc != m_crc)
            throw std::runtime_error("the image changed while the document was being made");
        pipeline->finish();
    }

private:
    const QString m_path;
    const qint64 m_size;
    const quint32 m_crc;
};

const char *deviceSpaceFor(int components)
{
    switch (components) {
    case 1:
        return "/DeviceGray";
    case 4:
        return "/DeviceCMYK";
    default:
        return "/DeviceRGB";
    }
}

// An ICC profile is kept when its header names the colour space the samples
// are in; a mismatched profile would make readers reject the image.
bool iccMatches(const QByteArray &profile, int components)
{
    if (profile.size() < 128)
        return false;
    const QByteArray space = profile.mid(16, 4);
    return (components == 1 && space == "GRAY") || (components == 3 && space == "RGB ")
        || (components == 4 && space == "CMYK");
}

QPDFObjectHandle colourSpace(QPDF &pdf, int components, const QByteArray &iccProfile)
{
    if (!iccMatches(iccProfile, components))
        return newName(deviceSpaceFor(components));
    QPDFObjectHandle icc = QPDFObjectHandle::newStream(&pdf, toStd(iccProfile));
    icc.getDict().replaceKey("/N", QPDFObjectHandle::newInteger(components));
    icc.getDict().replaceKey("/Alternate", newName(deviceSpaceFor(components)));
    QPDFObjectHandle space = QPDFObjectHandle::newArray();
    space.appendItem(newName("/ICCBased"));
    space.appendItem(icc);
    return space;
}

QPDFObjectHandle imageDictionary(int width, int height, int bitsPerComponent)
{
    QPDFObjectHandle dict = QPDFObjectHandle::newDictionary();
    dict.replaceKey("/Type", newName("/XObject"));
    dict.replaceKey("/Subtype", newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(width));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(height));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(bitsPerComponent));
    return dict;
}

QPDFObjectHandle flateImage(QPDF &pdf, const PdfPixelEncoder::Plane &plane, QPDFObjectHandle space)
{
    QPDFObjectHandle image = QPDFObjectHandle::newStream(&pdf);
    image.replaceDict(imageDictionary(plane.width, plane.height, plane.bitsPerComponent));
    image.getDict().replaceKey("/ColorSpace", space);
    QPDFObjectHandle parms = QPDFObjectHandle::newDictionary();
    parms.replaceKey("/Predictor", QPDFObjectHandle::newInteger(15));
    parms.replaceKey("/Colors", QPDFObjectHandle::newInteger(plane.components));
    parms.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(plane.bitsPerComponent));
    parms.replaceKey("/Columns", QPDFObjectHandle::newInteger(plane.width));
    image.replaceStreamData(toStd(plane.flateData), newName("/FlateDecode"), parms);
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

// The end of the writer's pipeline: every write to the temporary file is
// checked, and a failure (a full disk) stops the writer at once with the
// system's reason, which write() reports.
class CheckedFilePipeline : public Pipeline
{
public:
    explicit CheckedFilePipeline(int fd)
        : Pipeline("checked file", nullptr)
        , m_fd(fd)
    {
    }

    void write(unsigned char const *data, size_t length) override
    {
        while (length > 0) {
            const ssize_t n = ::write(m_fd, data, length);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                m_errno = n < 0 ? errno : EIO;
                throw std::runtime_error("write failed");
            }
            data += n;
            length -= size_t(n);
        }
    }
    void finish() override { }
    int failure() const { return m_errno; }

private:
    const int m_fd;
    int m_errno = 0;
};

} // namespace

PdfImageDocument::PdfImageDocument()
{
    try {
        m_pdf = std::make_unique<QPDF>();
        m_pdf->setSuppressWarnings(true);
        m_pdf->emptyPDF();
        QPDFObjectHandle info = QPDFObjectHandle::newDictionary();
        info.replaceKey("/Creator", QPDFObjectHandle::newUnicodeString("PDF Converter"));
        m_pdf->getTrailer().replaceKey("/Info", m_pdf->makeIndirectObject(info));
    } catch (const std::exception &) {
        m_pdf.reset();
    }
}

PdfImageDocument::~PdfImageDocument() = default;

bool PdfImageDocument::addImagePage(const QString &imagePath, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!m_pdf)
        return fail(QStringLiteral("the PDF library could not start"));

    QFile file(imagePath);
    if (!file.open(QIODevice::ReadOnly))
        return fail(ImageLoadFailure::explain(imagePath));
    if (file.size() > kMaxImageFileBytes)
        return fail(QStringLiteral("the image file is too large"));

    try {
        const QByteArray bytes = file.readAll();
        file.close();
        if (bytes.isEmpty())
            return fail(QStringLiteral("the image file is empty or unreadable"));

        QPDF &pdf = *m_pdf;
        QPDFObjectHandle image;
        int width = 0;
        int height = 0;
        int orientation = 1;

        const JpegInfo jpeg = JpegInfo::parse(bytes);
        if (jpeg.isJpeg && !jpeg.complete)
            return fail(QStringLiteral("the JPEG file is truncated or damaged"));
        if (jpeg.embeddable) {
            width = jpeg.width;
            height = jpeg.height;
            orientation = jpeg.orientation;
            image = QPDFObjectHandle::newStream(&pdf);
            image.replaceDict(imageDictionary(width, height, 8));
            image.getDict().replaceKey(
                "/ColorSpace", colourSpace(pdf, jpeg.components, jpeg.iccProfile));
            if (jpeg.components == 4 && jpeg.adobeMarker) {
                image.getDict().replaceKey("/Decode", QPDFObjectHandle::parse("[1 0 1 0 1 0 1 0]"));
            }
            const quint32 crc = crc32(crc32(0L, Z_NULL, 0),
                reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size()));
            auto provider = std::make_shared<JpegFileProvider>(imagePath, bytes.size(), crc);
            image.replaceStreamData(provider, newName("/DCTDecode"), QPDFObjectHandle::newNull());
        } else {
            QString reason;
            const QImage decoded = decodeImageForPdf(imagePath, &reason);
            if (decoded.isNull())
                return fail(reason.isEmpty() ? ImageLoadFailure::explain(imagePath) : reason);
            const PdfPixelEncoder::Encoded encoded = PdfPixelEncoder::encode(decoded);
            width = encoded.colour.width;
            height = encoded.colour.height;
            image = flateImage(pdf, encoded.colour,
                colourSpace(pdf, encoded.colour.components, encoded.iccProfile));
            if (encoded.hasAlpha) {
                QPDFObjectHandle mask = flateImage(pdf, encoded.alpha, newName("/DeviceGray"));
                image.getDict().replaceKey("/SMask", mask);
            }
        }

        const PdfPageLayout::Placement place
            = PdfPageLayout::placeImage(width, height, orientation);
        const std::string content = "q " + number(place.a) + ' ' + number(place.b) + ' '
            + number(place.c) + ' ' + number(place.d) + ' ' + number(place.e) + ' '
            + number(place.f) + " cm /Im0 Do Q\n";

        QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
        xobjects.replaceKey("/Im0", image);
        QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
        resources.replaceKey("/XObject", xobjects);
        QPDFObjectHandle page = QPDFObjectHandle::newDictionary();
        page.replaceKey("/Type", newName("/Page"));
        page.replaceKey("/MediaBox",
            QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(
                0, 0, PdfPageLayout::kPageWidth, PdfPageLayout::kPageHeight)));
        page.replaceKey("/Resources", resources);
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
        QPDFPageDocumentHelper(pdf).addPage(
            QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
        ++m_pageCount;
        return true;
    } catch (const std::exception &e) {
        return fail(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return fail(QStringLiteral("unexpected failure"));
    }
}

bool PdfImageDocument::write(const QString &target, const QString &password, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!m_pdf)
        return fail(QStringLiteral("the PDF library could not start"));
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
    CheckedFilePipeline output(fd);
    try {
        QPDFWriter writer(*m_pdf);
        writer.setOutputPipeline(&output);
        writer.setObjectStreamMode(qpdf_o_generate);
        if (!userPassword.isEmpty()) {
            const QByteArray ownerPassword = randomOwnerPassword();
            writer.setR6EncryptionParameters(userPassword.constData(), ownerPassword.constData(),
                true, true, true, true, true, true, qpdf_r3p_full, true);
        }
        writer.write();
    } catch (const std::exception &e) {
        reason = output.failure() != 0 ? fileErrorReason(output.failure())
                                       : QString::fromLocal8Bit(e.what());
    } catch (...) {
        reason = output.failure() != 0 ? fileErrorReason(output.failure())
                                       : QStringLiteral("unexpected failure");
    }
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
