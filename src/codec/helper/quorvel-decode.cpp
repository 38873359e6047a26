// quorvel-decode: decodes one file with FreeImage for the program, in a
// process of its own, so that a plug-in that crashes, loops or allocates
// without end costs only this process. Usage: quorvel-decode -- FILE.
// Writes the picture to standard output (DecodeHelperProtocol.h) and nothing
// anywhere else: the limits go up before the file is opened.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <FreeImage.h>
#include <tiffio.h>
#include <unistd.h>

#include <QByteArray>
#include <QColorSpace>
#include <QFile>
#include <QImage>
#include <QString>

#include "codec/DecodeHelper.h"
#include "codec/DecodeHelperProtocol.h"
#include "codec/FreeImageLoader.h"
#include "codec/helper/HelperSandbox.h"

namespace {

bool writeAll(const void *data, size_t size)
{
    const auto *p = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

[[noreturn]] void outOfMemory() { _exit(DecodeHelperProtocol::ExitOutOfMemory); }

int reply(const QImage &image, const QString &reason)
{
    using namespace DecodeHelperProtocol;
    const QByteArray text = reason.toUtf8().left(int(kMaxReasonBytes));
    QByteArray icc = image.isNull() ? QByteArray() : image.colorSpace().iccProfile();
    if (icc.size() > int(kMaxIccBytes))
        icc.clear();
    Header header;
    header.ok = image.isNull() ? 0 : 1;
    header.width = image.width();
    header.height = image.height();
    header.dotsPerMeterX = image.dotsPerMeterX();
    header.dotsPerMeterY = image.dotsPerMeterY();
    header.reasonBytes = uint32_t(text.size());
    header.iccBytes = uint32_t(icc.size());
    if (!writeAll(&header, sizeof header) || !writeAll(text.constData(), size_t(text.size()))
        || !writeAll(icc.constData(), size_t(icc.size())))
        return 1;
    // 32-bit rows have no padding: the picture is one block.
    return writeAll(image.constBits(), size_t(image.sizeInBytes())) ? 0 : 1;
}

} // namespace

int decode(int argc, char **argv)
{
    if (argc != 3 || std::strcmp(argv[1], "--") != 0) {
        std::fprintf(stderr, "usage: quorvel-decode -- FILE\n");
        return DecodeHelperProtocol::ExitUsage;
    }
    std::set_new_handler(outOfMemory);
    if (!HelperSandbox::enter(DecodeHelper::kAddressSpaceBytes, DecodeHelper::kCpuSeconds))
        return reply(QImage(), QStringLiteral("the decoder could not limit itself"));
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);

    QImage image;
    QString reason;
    // The argument is the file name's bytes as they are on disk.
    if (!FreeImageLoader::load(QFile::decodeName(QByteArray(argv[2])), &image, &reason))
        return reply(QImage(), reason);
    if (image.format() != QImage::Format_ARGB32)
        image = image.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        outOfMemory();
    return reply(image, QString());
}

int main(int argc, char **argv)
{
    // Straight out once the answer is written: nothing at exit (leak
    // checkers included) may run inside the limits.
    _exit(decode(argc, argv));
}
