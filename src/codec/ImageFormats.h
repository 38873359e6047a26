#pragma once

#include <memory>

#include <QHash>
#include <QObject>
#include <QVector>

#include "codec/ImageFormatRecord.h"

// The table of image formats: extension -> format (and so decoder and writer),
// which extensions are accepted, and the open-dialog filters. Built once,
// never changed afterwards, read concurrently from every thread.
class ImageFormats : public QObject
{
    Q_OBJECT
public:
    ImageFormats();
    ~ImageFormats() override;

    // The process-wide registry, built on first use (thread-safe).
    static const ImageFormats &global();

    // Case-insensitive; never null (the unknown record when nothing matches).
    const ImageFormatRecord *formatForExtension(const QString &ext) const;
    const ImageFormatRecord *record(int type) const;
    const ImageFormatRecord *unknownRecord() const { return &m_unknown; }
    bool isKnownExtension(const QString &ext) const;

    QString openFilter() const;
    QString rawOpenFilter() const;
    QString jpegPngFilter() const;

    // The text after the last "." of a file name (the whole name without a dot).
    static QString extensionOf(const QString &fileName);

private:
    void add(int type, bool animated, const QString &description, const QStringList &extensions);
    static QString entry(const ImageFormatRecord &record);

    QVector<ImageFormatRecord *> m_records;
    QHash<QString, int> m_byExtension;
    ImageFormatRecord m_unknown;
};
