#include "KImageFreeImageDecoder.h"

#include <QFile>

#include "codec/DecodeHelper.h"
#include "codec/ImageFormatRecord.h"
#include "codec/KImageWindowsDecoder.h"

namespace {

// An icon or cursor directory. Its first four bytes alone also start most
// uncompressed TGA files, so the first entry must make sense as well.
bool isIconDirectory(const QByteArray &head)
{
    if (head.size() < 22 || head[0] != 0 || head[1] != 0 || (head[2] != 1 && head[2] != 2)
        || head[3] != 0)
        return false;
    const auto *b = reinterpret_cast<const uchar *>(head.constData());
    const int count = b[4] | (b[5] << 8);
    const quint32 offset = b[18] | (b[19] << 8) | (b[20] << 16) | (quint32(b[21]) << 24);
    return count >= 1 && b[9] == 0 && offset >= quint32(6 + 16 * count);
}

// Formats the toolkit's own readers take, by their signatures. Such content
// under a FreeImage name (an icon saved as .tga, a JPEG as .psd) is read by
// the toolkit in this process instead of by the FreeImage plug-in that the
// content would select: those plug-ins were never meant for these files.
bool isToolkitContent(const QByteArray &head, bool tiffCountsAsRaw)
{
    const bool tiff = head.startsWith(QByteArray("II*\0", 4))
        || head.startsWith(QByteArray("MM\0*", 4)) || head.startsWith(QByteArray("II+\0", 4))
        || head.startsWith(QByteArray("MM\0+", 4));
    if (tiff)
        return !tiffCountsAsRaw;
    return head.startsWith("BM") || isIconDirectory(head) || head.startsWith("\xFF\xD8\xFF")
        || head.startsWith("\x89PNG\r\n\x1a\n") || head.startsWith("GIF87a")
        || head.startsWith("GIF89a") || (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP");
}

} // namespace

KImageFreeImageDecoder::KImageFreeImageDecoder(KImageWrapper *wrapper)
    : KImageDecoderBase(wrapper)
{
}

KImageFreeImageDecoder::~KImageFreeImageDecoder() = default;

bool KImageFreeImageDecoder::decodeFile(const QString &path)
{
    m_frames.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setErrorString(QStringLiteral("cannot be read: ") + file.errorString());
        return false;
    }
    const QByteArray head = file.read(22);
    file.close();
    if (head.isEmpty()) {
        setErrorString(QStringLiteral("the file is empty"));
        return false;
    }
    // Camera RAW files are TIFF containers; everything else in TIFF clothing
    // is a TIFF.
    const bool rawName = format() && format()->type == ImageFormatRaw;
    if (isToolkitContent(head, rawName)) {
        KImageWindowsDecoder toolkit(wrapper());
        if (!toolkit.decodeFile(path) || toolkit.frameCount() < 1) {
            setErrorString(toolkit.errorString());
            return false;
        }
        const QImage frame = toolkit.frameAt(0).convertToFormat(QImage::Format_ARGB32);
        if (frame.isNull()) {
            setErrorString(QStringLiteral("not enough memory to convert the picture"));
            return false;
        }
        m_frames.append(frame);
        return true;
    }
    QImage image;
    QString reason;
    if (!DecodeHelper::decode(path, &image, &reason)) {
        setErrorString(reason);
        return false;
    }
    m_frames.append(image);
    return true;
}

QImage KImageFreeImageDecoder::frameAt(int index)
{
    return index >= 0 && index < m_frames.size() ? m_frames[index] : QImage();
}

int KImageFreeImageDecoder::frameCount() const { return m_frames.size(); }
