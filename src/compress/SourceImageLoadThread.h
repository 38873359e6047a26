#pragma once

#include <QImage>
#include <QString>
#include <QThread>

// Decodes the source of a single-image tool (first frame, upright) on a
// thread of its own, through the codec's guards, so that a slow or hostile
// file never holds the interface. One thread per source; the owner keeps it
// until finished() and the destructor waits for it. Reports once, by a
// queued signal.
class SourceImageLoadThread : public QThread
{
    Q_OBJECT
public:
    enum class Kind {
        AnyImage, // every format the program reads
        GifOnly // judged by content: a renamed PNG is refused
    };

    SourceImageLoadThread(const QString &path, Kind kind, QObject *parent = nullptr);
    ~SourceImageLoadThread() override;

    QString path() const { return m_path; }

    // The work of run(), for callers already on a worker.
    static QImage load(const QString &path, Kind kind, int *frameCount, QString *error);

signals:
    // image is null on failure, with the reason in error.
    void loaded(const QString &path, const QImage &image, int frameCount, const QString &error);

protected:
    void run() override;

private:
    const QString m_path;
    const Kind m_kind;
};
