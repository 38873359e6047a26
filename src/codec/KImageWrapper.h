#pragma once

#include <functional>
#include <memory>

#include <QImage>
#include <QObject>
#include <QString>

class KImageDecoderBase;
struct ImageFormatRecord;

// Turns one image file (or image bytes) into frames through the one decoder
// its extension names, and writes the first frame in an output format.
//
// One wrapper per file. Create it in the thread that uses it (usually a
// worker) and use it from that thread only; any number of wrappers may work
// in parallel. Owned by its creator; it owns its decoder and frames.
// Failures are reported by results (false, empty path, null image); nothing
// is printed to the user and no file is ever overwritten.
class KImageWrapper : public QObject
{
    Q_OBJECT
public:
    enum LoadState { Idle = 0, Loading = 1, Loaded = 2, Failed = 3 };

    KImageWrapper();
    ~KImageWrapper() override;

    // Decodes the file with the decoder chosen by its extension (case does
    // not matter). Replaces any earlier load. True when the state ends at 2.
    // Only regular files are read: FIFOs, devices and sockets, also behind
    // symbolic links, fail at once without being opened for reading.
    bool load(const QString &path);
    // Decodes image bytes with content detection (no extension, so no GIF
    // colour count). Replaces any earlier load.
    bool loadFromData(const QByteArray &data);

    // For callers that will shrink the first frame: given the picture's
    // upright size, the smallest size they need. Decoders that can decode
    // smaller for less work (JPEG) then hand out a frame between that size
    // and the full one; the others ignore it. Set before load().
    using SizeRequest = std::function<QSize(const QSize &)>;
    void setSizeRequest(const SizeRequest &request) { m_sizeRequest = request; }
    bool hasSizeRequest() const { return bool(m_sizeRequest); }
    QSize requestedSizeFor(const QSize &full) const
    {
        return m_sizeRequest ? m_sizeRequest(full) : QSize();
    }

    int loadState() const { return m_state; }
    // Why the last load failed, in one plain line ("not a regular file",
    // "too large: ...", "truncated: ...", "the decoder crashed on this file
    // ..."); empty after a success.
    QString errorString() const { return m_error; }
    QString path() const { return m_path; }
    // The record chosen by the last load(); the unknown record after
    // loadFromData() and before any load.
    const ImageFormatRecord *format() const { return m_format; }
    // The decoder of the last load, for callers that need facts only one
    // decoder has (GIF delays, TIFF paging). Null before the first load.
    KImageDecoderBase *decoder() const { return m_decoder.get(); }

    // 0 and null images unless the last load succeeded.
    int frameCount() const;
    QImage frameAt(int index) const;

    // For GIF files: the index of the first opaque black entry of the
    // global palette (the colours in use), 256 without one; 0 otherwise.
    int gifColorCount() const;

    // Writes frame 0 as outDir/baseName.ext (or baseName(n).ext when taken),
    // ext being the format's first extension. baseName is used as it is
    // (callers strip the source suffix). JPEG and BMP are flattened onto
    // white; PNG, WEBP and TIFF keep alpha. Only BMP, JPEG, PNG, TIFF and
    // WEBP are written. The file appears complete or not at all.
    bool saveFirstFrame(
        const ImageFormatRecord *format, const QString &outDir, const QString &baseName) const;
    // The same, returning the written path (empty on failure, with why in error).
    QString saveFirstFrameAs(const ImageFormatRecord *format, const QString &outDir,
        const QString &baseName, QString *error = nullptr) const;

    // Converts the picture in path into format, as load() and then
    // saveFirstFrameAs() do. An upright JPEG into JPEG, PNG, TIFF or BMP goes
    // from the file to the output a block of rows at a time without the
    // whole picture ever being held: the same bytes, in a fraction of the
    // memory. An HEIF picture into JPEG keeps its decoder's YCbCr samples
    // when they are JPEG's own, rather than going through RGB and back; other
    // opaque 8-bit HEIF pictures go into these formats from libheif's RGB
    // planes without a frame, to the same bytes as the frame would give. The
    // wrapper then holds no frames. Returns the written path; empty on
    // failure, with why in error.
    QString convertFileAs(const QString &path, const ImageFormatRecord *format,
        const QString &outDir, const QString &baseName, QString *error = nullptr);

private:
    // The row by row path of convertFileAs(). False when it does not apply or
    // the picture could not be read (the whole load then says why); true
    // when it wrote *written or failed to write, with why in error.
    bool convertJpegByRows(const QString &path, const ImageFormatRecord *format,
        const QString &outDir, const QString &baseName, QString *written, QString *error);
    // The same for an opaque 8-bit HEIF picture into JPEG, PNG, TIFF or BMP:
    // from its decoder's YCbCr planes into a JPEG when they are JPEG's own
    // samples, otherwise a block of rows at a time from its RGB planes
    // (KImageHeicDecoder::decodePlanes).
    bool convertHeifByPlanes(const QString &path, const ImageFormatRecord *format,
        const QString &outDir, const QString &baseName, QString *written, QString *error);
    // Reserves the output's name (reserveWithoutFrames) and has write fill
    // it; a reservation write fails on is released. The written path, empty
    // on failure, with why in error.
    QString writeWithoutFrames(const QString &path, const ImageFormatRecord *format,
        const QString &outDir, const QString &baseName, QString *error,
        const std::function<bool(const QString &target)> &write);
    // What the two paths above take over from a load: the wrapper forgets
    // its frames and holds path; then the output's name is reserved (empty
    // on failure, with why in error).
    QString reserveWithoutFrames(const QString &path, const ImageFormatRecord *format,
        const QString &outDir, const QString &baseName, QString *error);

    QString m_path;
    QString m_error;
    const ImageFormatRecord *m_format;
    std::unique_ptr<KImageDecoderBase> m_decoder;
    int m_state = Idle;
    SizeRequest m_sizeRequest;
};
