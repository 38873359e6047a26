#pragma once

#include <memory>

#include <QVector>

#include "codec/JpegReader.h"
#include "codec/KImageDecoderBase.h"

class QBuffer;
class QFile;
class QImageReader;

// The common raster formats (BMP, JPEG, PNG, ICO, TIFF, WEBP, XBM, XPM) and
// in-memory image data, through the toolkit's image readers with detection
// by content, so a file whose extension lies still loads. JPEG is decoded
// straight into the frame by libjpeg-turbo (JpegReader), smaller when the
// wrapper carries a size request; CMYK JPEGs go to the toolkit. Frames are 32-bit
// premultiplied ARGB, turned upright from their EXIF/TIFF orientation, with
// the embedded ICC profile as their colour space.
//
// Animations (WEBP, GIF data) give every frame; multi-page files every page.
// A TIFF of more than 40 pages (or whose pages together exceed the memory
// budget) is paged lazily: pages 0..7 are decoded at load, any other page
// when it is asked for, and asking for page i releases pages i-8 and i+8
// (wrapping around), so browsing keeps about 17 pages in memory. The file
// stays open for that until the decoder is deleted.
//
// Owned by its KImageWrapper and used by one thread at a time.
class KImageWindowsDecoder : public KImageDecoderBase
{
public:
    static constexpr int kLazyPageThreshold = 40;
    static constexpr int kPageWindow = 8;

    explicit KImageWindowsDecoder(KImageWrapper *wrapper);
    ~KImageWindowsDecoder() override;

    bool decodeData(const QByteArray &data) override;
    bool decodeFile(const QString &path) override;
    QImage frameAt(int index) override;
    int frameCount() const override;

    bool lazyPageMode() const { return m_lazyPageMode; }
    // Whether frame index currently holds decoded pixels (in lazy mode a
    // page may be waiting or released).
    bool isFrameDecoded(int index) const;

private:
    bool decodeBytes(const QByteArray &bytes, bool allowLazy);
    bool decodePngFile(const QString &path, QFile *file);
    JpegReader::Result decodeJpeg(const QByteArray &bytes);
    bool decodeReader(QImageReader *reader, bool allowLazy);
    bool decodeAnimation(QImageReader *reader);
    bool decodePages(QImageReader *reader, bool allowLazy);
    QImage readPage(QImageReader *reader, int page);
    void ensurePageDecoded(int index);
    void clear();

    QVector<QImage> m_frames;
    bool m_lazyPageMode = false;
    int m_orientation = 0;
    // Kept for lazy paging only: the open source and its reader.
    std::unique_ptr<QFile> m_file;
    std::unique_ptr<QImageReader> m_pageReader;
};
