#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class KImageWrapper;
struct ImageFormatRecord;

// One decode of one file or buffer into frames. Created by KImageWrapper for
// each load and owned by it; used only by the thread that uses the wrapper,
// so decoders keep no locks. Several decoders may run at once in different
// threads: they share nothing but the read-only format registry.
class KImageDecoderBase
{
public:
    explicit KImageDecoderBase(KImageWrapper *wrapper);
    virtual ~KImageDecoderBase();

    // Bytes in memory; only decoders that can detect content implement it.
    virtual bool decodeData(const QByteArray &data);
    virtual bool decodeFile(const QString &path) = 0;
    // A copy of frame index, or a null image outside 0..frameCount()-1.
    // Not const: decoders may decode or compose frames on demand.
    virtual QImage frameAt(int index) = 0;
    virtual int frameCount() const;

    // Why the last decode failed, in one plain line; empty when the decoder
    // had nothing more precise to say than "damaged".
    QString errorString() const { return m_error; }

protected:
    void setErrorString(const QString &error) { m_error = error; }

    KImageWrapper *wrapper() const { return m_wrapper; }
    // The record the wrapper picked from the extension; the unknown record
    // when there is none (in-memory data).
    const ImageFormatRecord *format() const;

private:
    Q_DISABLE_COPY(KImageDecoderBase)

    KImageWrapper *m_wrapper;
    QString m_error;
};
