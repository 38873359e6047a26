#include "qvpdfwrite.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
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

struct QvPdfWriter
{
    QPDF pdf;
};

namespace {

QPDFObjectHandle newName(const char *name) { return QPDFObjectHandle::newName(name); }

int fail(char *error, int errorSize, const char *why)
{
    if (error && errorSize > 0)
        std::snprintf(error, size_t(errorSize), "%s", why);
    return -1;
}

// The JPEG's bytes, read from the file while the document is written. The
// file must still be the one that was checked when the page was added.
class JpegFileProvider : public QPDFObjectHandle::StreamDataProvider
{
public:
    JpegFileProvider(const char *path, long long size, unsigned long crc)
        : m_path(path)
        , m_size(size)
        , m_crc(crc)
    {
    }

    using QPDFObjectHandle::StreamDataProvider::provideStreamData;
    void provideStreamData(QPDFObjGen const &, Pipeline *pipeline) override
    {
        const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            throw std::runtime_error("cannot read the image again");
        long long total = 0;
        uLong crc = crc32(0L, Z_NULL, 0);
        std::unique_ptr<unsigned char[]> chunk(new unsigned char[1 << 20]);
        for (;;) {
            const ssize_t n = ::read(fd, chunk.get(), 1 << 20);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                ::close(fd);
                throw std::runtime_error("cannot read the image again");
            }
            if (n == 0)
                break;
            crc = crc32(crc, chunk.get(), uInt(n));
            pipeline->write(chunk.get(), size_t(n));
            total += n;
        }
        ::close(fd);
        if (total != m_size || crc != m_crc)
            throw std::runtime_error("the image changed while the document was being made");
        pipeline->finish();
    }

private:
    const std::string m_path;
    const long long m_size;
    const unsigned long m_crc;
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
bool iccMatches(const QvPdfImage &image)
{
    if (!image.iccProfile || image.iccProfileSize < 128)
        return false;
    const char *space = reinterpret_cast<const char *>(image.iccProfile) + 16;
    return (image.components == 1 && std::memcmp(space, "GRAY", 4) == 0)
        || (image.components == 3 && std::memcmp(space, "RGB ", 4) == 0)
        || (image.components == 4 && std::memcmp(space, "CMYK", 4) == 0);
}

QPDFObjectHandle colourSpace(QPDF &pdf, const QvPdfImage &image)
{
    if (!iccMatches(image))
        return newName(deviceSpaceFor(image.components));
    QPDFObjectHandle icc = QPDFObjectHandle::newStream(&pdf,
        std::string(
            reinterpret_cast<const char *>(image.iccProfile), size_t(image.iccProfileSize)));
    icc.getDict().replaceKey("/N", QPDFObjectHandle::newInteger(image.components));
    icc.getDict().replaceKey("/Alternate", newName(deviceSpaceFor(image.components)));
    QPDFObjectHandle space = QPDFObjectHandle::newArray();
    space.appendItem(newName("/ICCBased"));
    space.appendItem(icc);
    return space;
}

QPDFObjectHandle imageStream(QPDF &pdf, const QvPdfImage &image, QPDFObjectHandle space)
{
    QPDFObjectHandle stream = QPDFObjectHandle::newStream(&pdf);
    QPDFObjectHandle dict = QPDFObjectHandle::newDictionary();
    dict.replaceKey("/Type", newName("/XObject"));
    dict.replaceKey("/Subtype", newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(image.width));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(image.height));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(image.bitsPerComponent));
    stream.replaceDict(dict);
    stream.getDict().replaceKey("/ColorSpace", space);
    if (image.jpegPath) {
        if (image.components == 4 && image.invertedCmyk)
            stream.getDict().replaceKey("/Decode", QPDFObjectHandle::parse("[1 0 1 0 1 0 1 0]"));
        stream.replaceStreamData(
            std::make_shared<JpegFileProvider>(image.jpegPath, image.jpegSize, image.jpegCrc32),
            newName("/DCTDecode"), QPDFObjectHandle::newNull());
    } else {
        QPDFObjectHandle parms = QPDFObjectHandle::newDictionary();
        parms.replaceKey("/Predictor", QPDFObjectHandle::newInteger(15));
        parms.replaceKey("/Colors", QPDFObjectHandle::newInteger(image.components));
        parms.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(image.bitsPerComponent));
        parms.replaceKey("/Columns", QPDFObjectHandle::newInteger(image.width));
        stream.replaceStreamData(
            std::string(reinterpret_cast<const char *>(image.flateData), size_t(image.flateSize)),
            newName("/FlateDecode"), parms);
    }
    return stream;
}

bool usable(const QvPdfImage *image)
{
    return image && image->width > 0 && image->height > 0
        && (image->components == 1 || image->components == 3 || image->components == 4)
        && (image->bitsPerComponent == 1 || image->bitsPerComponent == 8)
        && ((image->jpegPath && image->jpegSize > 0)
            || (!image->jpegPath && image->flateData && image->flateSize > 0));
}

// The end of the writer's pipeline: every write is checked, and a failure (a
// full disk) stops the writer at once with the system's reason.
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

QvPdfWriter *QvPdfWriterCreate(const char *creator)
{
    try {
        auto writer = std::make_unique<QvPdfWriter>();
        writer->pdf.setSuppressWarnings(true);
        writer->pdf.emptyPDF();
        QPDFObjectHandle info = QPDFObjectHandle::newDictionary();
        info.replaceKey("/Creator", QPDFObjectHandle::newUnicodeString(creator ? creator : ""));
        writer->pdf.getTrailer().replaceKey("/Info", writer->pdf.makeIndirectObject(info));
        return writer.release();
    } catch (...) {
        return nullptr;
    }
}

int QvPdfWriterAddPage(QvPdfWriter *writer, double width, double height, const QvPdfImage *image,
    const QvPdfImage *alpha, const char *content, char *error, int errorSize)
{
    if (!writer || !usable(image) || (alpha && (!usable(alpha) || alpha->jpegPath)) || !content
        || !(width > 0) || !(height > 0))
        return fail(error, errorSize, "unusable page");
    try {
        QPDF &pdf = writer->pdf;
        QPDFObjectHandle picture = imageStream(pdf, *image, colourSpace(pdf, *image));
        if (alpha)
            picture.getDict().replaceKey(
                "/SMask", imageStream(pdf, *alpha, newName("/DeviceGray")));
        QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
        xobjects.replaceKey("/Im0", picture);
        QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
        resources.replaceKey("/XObject", xobjects);
        QPDFObjectHandle page = QPDFObjectHandle::newDictionary();
        page.replaceKey("/Type", newName("/Page"));
        page.replaceKey("/MediaBox",
            QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(0, 0, width, height)));
        page.replaceKey("/Resources", resources);
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, std::string(content)));
        QPDFPageDocumentHelper(pdf).addPage(
            QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
        return 0;
    } catch (const std::exception &e) {
        return fail(error, errorSize, e.what());
    } catch (...) {
        return fail(error, errorSize, "unexpected failure");
    }
}

int QvPdfWriterWrite(QvPdfWriter *writer, int fd, const char *userPassword,
    const char *ownerPassword, int *writeErrno, char *error, int errorSize)
{
    if (writeErrno)
        *writeErrno = 0;
    if (!writer || fd < 0)
        return fail(error, errorSize, "unusable document");
    const bool encrypt = userPassword && *userPassword;
    if (encrypt && (!ownerPassword || !*ownerPassword))
        return fail(error, errorSize, "an encrypted document needs an owner password");
    CheckedFilePipeline output(fd);
    try {
        QPDFWriter pdfWriter(writer->pdf);
        pdfWriter.setOutputPipeline(&output);
        pdfWriter.setObjectStreamMode(qpdf_o_generate);
        if (encrypt)
            pdfWriter.setR6EncryptionParameters(userPassword, ownerPassword, true, true, true, true,
                true, true, qpdf_r3p_full, true);
        pdfWriter.write();
        return 0;
    } catch (const std::exception &e) {
        if (writeErrno)
            *writeErrno = output.failure();
        return fail(error, errorSize, output.failure() != 0 ? "write failed" : e.what());
    } catch (...) {
        if (writeErrno)
            *writeErrno = output.failure();
        return fail(error, errorSize, "unexpected failure");
    }
}

void QvPdfWriterFree(QvPdfWriter *writer) { delete writer; }
