#include "SourceImageLoadThread.h"

#include <QFile>

#include "codec/InputCheck.h"
#include "codec/KImageWrapper.h"

SourceImageLoadThread::SourceImageLoadThread(const QString &path, Kind kind, QObject *parent)
    : QThread(parent)
    , m_path(path)
    , m_kind(kind)
{
}

SourceImageLoadThread::~SourceImageLoadThread() { wait(); }

QImage SourceImageLoadThread::load(const QString &path, Kind kind, int *frameCount, QString *error)
{
    *frameCount = 0;
    *error = InputCheck::regularFileProblem(path);
    if (!error->isEmpty())
        return QImage();
    if (kind == Kind::GifOnly) {
        QFile file(path);
        const QByteArray head = file.open(QIODevice::ReadOnly) ? file.read(6) : QByteArray();
        if (head != "GIF87a" && head != "GIF89a") {
            *error = QStringLiteral("not a GIF file");
            return QImage();
        }
    }
    // Through the image wrapper rather than the toolkit's reader alone, so
    // that every format the open dialog offers (HEIC, camera RAW, PSD ...)
    // can be opened, within the codec's limits; it also turns the picture
    // upright.
    KImageWrapper wrapper;
    if (!wrapper.load(path) || wrapper.loadState() != KImageWrapper::Loaded) {
        *error = wrapper.errorString().isEmpty() ? QStringLiteral("cannot be decoded")
                                                 : wrapper.errorString();
        return QImage();
    }
    const QImage first = wrapper.frameAt(0);
    if (first.isNull()) {
        *error = QStringLiteral("not enough memory for the image");
        return QImage();
    }
    *frameCount = wrapper.frameCount();
    return first;
}

void SourceImageLoadThread::run()
{
    int frames = 0;
    QString error;
    const QImage image = load(m_path, m_kind, &frames, &error);
    emit loaded(m_path, image, frames, error);
}
