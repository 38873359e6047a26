#include "KImageWindowsDecoder.h"

#include <climits>

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include "codec/ExifOrientation.h"
#include "codec/FrameMemory.h"
#include "codec/ImageCompleteness.h"
#include "codec/ImageHeaderSize.h"
#include "codec/ImageLimits.h"
#include "codec/KImageWrapper.h"
#include "codec/PngChunks.h"

namespace {

// Formats this decoder hands to the toolkit. Content detection could reach
// any installed plug-in (MNG, ICNS, SVG, TGA...); only the ones this layer
// means to read through here are accepted.
bool isAcceptedFormat(const QByteArray &format)
{
    static const QByteArray accepted[] = { "bmp", "jpeg", "jpg", "png", "ico", "cur", "tiff", "tif",
        "webp", "xbm", "xpm", "gif", "pbm", "pgm", "ppm" };
    for (const QByteArray &name : accepted)
        if (format == name)
            return true;
    return false;
}

bool looksLikeTiff(const QByteArray &head)
{
    return head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4))
        || head.startsWith(QByteArray("II+\0", 4)) || head.startsWith(QByteArray("MM\0+", 4));
}

const char kPngSignature[] = "\x89PNG\r\n\x1a\n";

// The formats known by their first bytes, named to the reader: finding the
// format by content has the toolkit load every image plug-in it has (its SVG
// plug-in brings its widget library along) before its own readers look. The
// others are left to that search. The same reader either way: no plug-in
// claims these files by content ahead of the one named here.
QByteArray formatByMagic(const QByteArray &head)
{
    if (head.startsWith(kPngSignature))
        return "png";
    if (head.startsWith("\xff\xd8\xff"))
        return "jpeg";
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return "gif";
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP")
        return "webp";
    if (head.startsWith("BM"))
        return "bmp";
    if (looksLikeTiff(head))
        return "tiff";
    return QByteArray();
}

QByteArray iconFormatOf(const QByteArray &head)
{
    if (head == QByteArray("\0\0\1\0", 4))
        return "ico";
    if (head == QByteArray("\0\0\2\0", 4))
        return "cur";
    return QByteArray();
}

// The size the reader reads from the header. The BMP reader hands on a
// top-down bitmap's negative height as it stands in the file.
QSize announcedSize(QImageReader *reader)
{
    const QSize size = reader->size();
    if (size.height() < 0 && reader->format() == "bmp")
        return QSize(size.width(), -size.height());
    // The toolkit's PNG reader gives no size for a picture it will not
    // allocate; its header still says how large the picture is.
    QIODevice *device = reader->device();
    if (!size.isValid() && device && !device->isSequential()) {
        const qint64 position = device->pos();
        QByteArray head;
        if (device->seek(0))
            head = device->read(24);
        device->seek(position);
        if (head.size() == 24 && head.startsWith("\x89PNG\r\n\x1a\n")
            && head.mid(12, 4) == "IHDR") {
            auto word = [&head](int at) {
                return qint64(quint8(head[at])) << 24 | quint8(head[at + 1]) << 16
                    | quint8(head[at + 2]) << 8 | quint8(head[at + 3]);
            };
            const qint64 width = word(16);
            const qint64 height = word(20);
            if (width > 0 && height > 0 && width <= INT_MAX && height <= INT_MAX)
                return QSize(int(width), int(height));
        }
    }
    return size;
}

qint64 frameBytes(const QSize &size)
{
    // A fixed overhead per frame keeps files of countless tiny frames bounded.
    return qint64(size.width()) * size.height() * 4 + 1024;
}

QImage toFrame(QImage image)
{
    // 32 bits per pixel either way; pictures without alpha stay opaque RGB32 so
    // that writers need not find out again that every pixel is opaque.
    const QImage::Format format
        = image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (image.isNull() || image.format() == format)
        return image;
    // In place where the layouts allow (ARGB32 to premultiplied, the common
    // case of PNG and WebP with alpha): no second copy of the frame.
    image.convertTo(format);
    return image;
}

} // namespace

KImageWindowsDecoder::KImageWindowsDecoder(KImageWrapper *wrapper)
    : KImageDecoderBase(wrapper)
{
}

KImageWindowsDecoder::~KImageWindowsDecoder() = default;

void KImageWindowsDecoder::clear()
{
    m_frames.clear();
    m_lazyPageMode = false;
    m_orientation = 0;
    m_pageReader.reset();
    m_file.reset();
}

bool KImageWindowsDecoder::decodeData(const QByteArray &data)
{
    clear();
    return decodeBytes(data, false);
}

bool KImageWindowsDecoder::decodeFile(const QString &path)
{
    clear();
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return false;
    if (looksLikeTiff(file->peek(4))) {
        // Checked through a device of its own: the TIFF reader does not
        // cope with a device that has been read and rewound.
        QFile probe(path);
        if (!probe.open(QIODevice::ReadOnly) || !ImageCompleteness::isTiffComplete(&probe))
            return false;
        // TIFF is read from the file itself: it may be paged lazily, and its
        // reader needs random access anyway.
        m_file = std::move(file);
        m_pageReader = std::make_unique<QImageReader>(m_file.get(), "tiff");
        m_pageReader->setAutoDetectImageFormat(false);
        const bool ok = decodeReader(m_pageReader.get(), true);
        if (!m_lazyPageMode) {
            m_pageReader.reset();
            m_file.reset();
        }
        return ok;
    }
    if (file->size() > ImageLimits::kMaxFileBytes)
        return false;
    if (file->peek(8).startsWith(kPngSignature))
        return decodePngFile(path, file.get());
    const QByteArray bytes = FrameMemory::readAll(file.get());
    if (file->error() != QFileDevice::NoError || bytes.size() != file->size())
        return false;
    file.reset();
    return decodeBytes(bytes, false);
}

bool KImageWindowsDecoder::decodeBytes(const QByteArray &bytes, bool allowLazy)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return false;
    // The WebP reader allocates the whole canvas as soon as it looks at the
    // header, before its size could be checked.
    // So does the GIF reader, from any frame's extent.
    if (bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP") {
        const QSize canvas = ImageHeaderSize::webp(bytes);
        if (!ImageLimits::sizeAllowed(canvas.width(), canvas.height())) {
            setErrorString(ImageLimits::tooLargeReason(canvas.width(), canvas.height()));
            return false;
        }
    } else if (bytes.startsWith("GIF8")) {
        const QSize canvas = ImageHeaderSize::gif(bytes);
        if (!ImageLimits::sizeAllowed(canvas.width(), canvas.height())) {
            setErrorString(ImageLimits::tooLargeReason(canvas.width(), canvas.height()));
            return false;
        }
    } else if (looksLikeTiff(bytes.left(4))) {
        // A buffer of its own: the TIFF reader does not cope with a device
        // that has been read and rewound.
        QBuffer probe;
        probe.setData(bytes);
        if (!probe.open(QIODevice::ReadOnly) || !ImageCompleteness::isTiffComplete(&probe))
            return false;
    } else if (bytes.startsWith("\x89PNG\r\n\x1a\n")) {
        // libpng allocates some chunks at their declared length even when
        // the file ends long before; the reader meets them when asked for
        // the size.
        if (!ImageCompleteness::isPngComplete(bytes))
            return false;
    }
    // The ICO plug-in neither claims its files by content nor names its
    // format; it is chosen by its magic number.
    const QByteArray icoFormat = iconFormatOf(bytes.left(4));
    const QByteArray named = icoFormat.isEmpty() ? formatByMagic(bytes.left(12)) : icoFormat;
    // A JPEG needs the toolkit's reader (a plug-in) only when libjpeg-turbo
    // hands it back (CMYK: the toolkit's reader converts it).
    bool jpegTried = false;
    if (named == "jpeg") {
        if (!ImageCompleteness::isJpegComplete(bytes))
            return false;
        const JpegReader::Result result = decodeJpeg(bytes);
        if (result != JpegReader::Result::Unsupported)
            return result == JpegReader::Result::Decoded;
        jpegTried = true;
    }
    QImageReader reader(&buffer, named);
    // A named format goes to its own reader only: with detection on, the
    // toolkit would still offer the format to every plug-in first.
    reader.setAutoDetectImageFormat(named.isEmpty());
    if (icoFormat.isEmpty() && !reader.canRead())
        return false;
    const QByteArray format = icoFormat.isEmpty() ? reader.format() : icoFormat;
    if (!isAcceptedFormat(format))
        return false;
    // Only XBM needs the size here; asking the TIFF reader for it before
    // its page count would leave the count wrong.
    if (!ImageCompleteness::isComplete(format, bytes, format == "xbm" ? reader.size() : QSize()))
        return false;
    if ((format == "jpeg" || format == "jpg") && !jpegTried) {
        switch (decodeJpeg(bytes)) {
        case JpegReader::Result::Decoded:
            return true;
        case JpegReader::Result::Failed:
            return false;
        case JpegReader::Result::Unsupported:
            break;
        }
    }
    // The reader turns JPEG and TIFF upright itself; PNG and WebP carry the
    // tag in chunks it does not read.
    if (!reader.supportsOption(QImageIOHandler::ImageTransformation)) {
        if (format == "png")
            m_orientation = ExifOrientation::fromPng(bytes);
        else if (format == "webp")
            m_orientation = ExifOrientation::fromWebp(bytes);
    }
    return decodeReader(&reader, allowLazy);
}

bool KImageWindowsDecoder::decodePngFile(const QString &path, QFile *file)
{
    // Read from the file as it is decoded: its bytes are never held beside
    // the frame. The chunks are walked first through a device of their own,
    // unbuffered, so that only their heads are read.
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    const PngChunks::Walk walk = PngChunks::walk(&probe, "eXIf");
    if (!walk.complete)
        return false;
    QImageReader reader(file, "png");
    reader.setAutoDetectImageFormat(false);
    if (!reader.supportsOption(QImageIOHandler::ImageTransformation) && !walk.wanted.isEmpty())
        m_orientation = ExifOrientation::fromExifBlock(walk.wanted);
    return decodeReader(&reader, false);
}

JpegReader::Result KImageWindowsDecoder::decodeJpeg(const QByteArray &bytes)
{
    // A caller that will shrink the picture may let it be decoded smaller.
    QSize minimum;
    JpegReader::Header header;
    if (wrapper() && wrapper()->hasSizeRequest() && JpegReader::readHeader(bytes, &header)
        && header.supported)
        minimum = wrapper()->requestedSizeFor(header.uprightSize());
    QImage frame;
    const JpegReader::Result result
        = JpegReader::read(bytes, &frame, minimum, ImageLimits::kMaxPixels);
    if (result == JpegReader::Result::Decoded)
        m_frames.append(frame);
    return result;
}

bool KImageWindowsDecoder::decodeReader(QImageReader *reader, bool allowLazy)
{
    reader->setAutoTransform(true);
    const QByteArray format
        = reader->format().isEmpty() ? iconFormatOf(reader->device()->peek(4)) : reader->format();
    // The ICO plug-in's canRead() turns down files its read() takes.
    const bool icon = format == "ico" || format == "cur";
    if ((!icon && !reader->canRead()) || !isAcceptedFormat(format))
        return false;
    const bool ok
        = reader->supportsAnimation() ? decodeAnimation(reader) : decodePages(reader, allowLazy);
    if (!ok)
        clear();
    return ok;
}

bool KImageWindowsDecoder::decodeAnimation(QImageReader *reader)
{
    const QSize size = announcedSize(reader);
    if (!ImageLimits::sizeAllowed(size.width(), size.height())) {
        setErrorString(ImageLimits::tooLargeReason(size.width(), size.height()));
        return false;
    }
    qint64 used = 0;
    while (reader->canRead()) {
        used += frameBytes(size);
        // Frames beyond the budget would be lost silently; the load fails
        // instead, so an animation is never cut short without notice.
        if (used > ImageLimits::kMaxDecodedBytes)
            return false;
        QImage image = reader->read();
        if (image.isNull())
            break;
        if (!ImageLimits::sizeAllowed(image.width(), image.height()))
            return false;
        image = ExifOrientation::apply(image, m_orientation);
        m_frames.append(toFrame(std::move(image)));
        const int count = reader->imageCount();
        if (count > 0 && reader->currentImageNumber() + 1 >= count)
            break;
    }
    return !m_frames.isEmpty();
}

QImage KImageWindowsDecoder::readPage(QImageReader *reader, int page)
{
    if (reader->currentImageNumber() != page && !reader->jumpToImage(page))
        return QImage();
    const QSize size = announcedSize(reader);
    if (!ImageLimits::sizeAllowed(size.width(), size.height())) {
        setErrorString(ImageLimits::tooLargeReason(size.width(), size.height()));
        return QImage();
    }
    // The PNG reader fills an image handed to it when its size and format
    // are the ones it would make: that one is allocated here, with large
    // pages (see FrameMemory). Other readers make their own.
    QImage image;
    if (reader->format() == "png") {
        const QImage::Format format = reader->imageFormat();
        if (format == QImage::Format_ARGB32 || format == QImage::Format_RGB32)
            image = FrameMemory::allocate(size, format);
    }
    if (!reader->read(&image))
        image = QImage();
    // A size the header did not announce is not trusted either.
    if (image.isNull()
        || qint64(image.width()) * image.height() > qint64(size.width()) * size.height()
        || !ImageLimits::sizeAllowed(image.width(), image.height()))
        return QImage();
    // The only reference left, so the conversion to a frame can work in place.
    image = ExifOrientation::apply(image, m_orientation);
    return toFrame(std::move(image));
}

bool KImageWindowsDecoder::decodePages(QImageReader *reader, bool allowLazy)
{
    const int count = qMax(1, reader->imageCount());
    const bool tiff = reader->format() == "tiff" || reader->format() == "tif";
    if (allowLazy && tiff) {
        m_lazyPageMode = count > kLazyPageThreshold;
        if (!m_lazyPageMode) {
            // Few pages, but together too large to keep: page them as well.
            qint64 total = 0;
            for (int page = 0; page < count && !m_lazyPageMode; ++page) {
                if (page > 0 && !reader->jumpToImage(page))
                    break;
                const QSize size = announcedSize(reader);
                if (ImageLimits::sizeAllowed(size.width(), size.height()))
                    total += frameBytes(size);
                m_lazyPageMode = total > ImageLimits::kMaxDecodedBytes;
            }
            if (!reader->jumpToImage(0))
                return false;
        }
    }

    if (m_lazyPageMode) {
        m_frames.resize(count);
        bool any = false;
        for (int page = 0; page < qMin(count, kPageWindow); ++page) {
            m_frames[page] = readPage(reader, page);
            any = any || !m_frames[page].isNull();
        }
        return any;
    }

    qint64 used = 0;
    for (int page = 0; page < count; ++page) {
        if (page > 0 && !reader->jumpToImage(page))
            break;
        const QSize size = announcedSize(reader);
        // A page over the pixel cap is skipped; the others still load.
        if (!ImageLimits::sizeAllowed(size.width(), size.height())) {
            setErrorString(ImageLimits::tooLargeReason(size.width(), size.height()));
            continue;
        }
        used += frameBytes(size);
        if (used > ImageLimits::kMaxDecodedBytes)
            return false;
        const QImage frame = readPage(reader, page);
        if (!frame.isNull())
            m_frames.append(frame);
    }
    return !m_frames.isEmpty();
}

void KImageWindowsDecoder::ensurePageDecoded(int index)
{
    if (!m_lazyPageMode || !m_pageReader || !m_frames[index].isNull())
        return;
    m_frames[index] = readPage(m_pageReader.get(), index);
    const int count = m_frames.size();
    int below = index - kPageWindow;
    if (below < 0)
        below += count;
    int above = index + kPageWindow;
    if (above >= count)
        above -= count;
    if (below != index)
        m_frames[below] = QImage();
    if (above != index)
        m_frames[above] = QImage();
}

QImage KImageWindowsDecoder::frameAt(int index)
{
    if (index < 0 || index >= m_frames.size())
        return QImage();
    ensurePageDecoded(index);
    return m_frames[index];
}

int KImageWindowsDecoder::frameCount() const { return m_frames.size(); }

bool KImageWindowsDecoder::isFrameDecoded(int index) const
{
    return index >= 0 && index < m_frames.size() && !m_frames[index].isNull();
}
