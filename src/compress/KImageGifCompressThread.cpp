#include "KImageGifCompressThread.h"

#include <QFile>
#include <QMutexLocker>
#include <QVector>

#include "app/AppPaths.h"
#include "codec/KImageWrapper.h"
#include "compress/GifCompressArguments.h"
#include "compress/GifSourceFacts.h"

namespace {

// Keeps the 8-bit strings alive for as long as the library may read argv.
class ArgumentVector
{
public:
    explicit ArgumentVector(const QStringList &args)
    {
        m_storage.reserve(args.size());
        // The source path goes to the library's fopen: the file-system encoding.
        for (int i = 0; i < args.size(); ++i)
            m_storage.append(i == 1 ? QFile::encodeName(args[i]) : args[i].toLocal8Bit());
        for (QByteArray &arg : m_storage)
            m_pointers.append(arg.data());
        m_pointers.append(nullptr);
    }

    int count() const { return m_storage.size(); }
    char **data() { return m_pointers.data(); }

private:
    QVector<QByteArray> m_storage;
    QVector<char *> m_pointers;
};

} // namespace

KImageGifCompressThread::KImageGifCompressThread(QObject *parent)
    : KImageGifCompressThread(defaultLibraryPath(), parent)
{
}

KImageGifCompressThread::KImageGifCompressThread(const QString &libraryPath, QObject *parent)
    : QThread(parent)
    , m_library(libraryPath)
{
    qRegisterMetaType<GifCompressResult>();
    qRegisterMetaType<GifCompressResult::Status>();
    if (m_library.load()) {
        m_convert = reinterpret_cast<GifConverterFunction>(m_library.resolve("GifConverter"));
        m_release = reinterpret_cast<GifReleaseFunction>(m_library.resolve("Release"));
    }
}

KImageGifCompressThread::~KImageGifCompressThread()
{
    stopWorker();
    // The library is linked to stay mapped (its OpenMP helpers outlive a
    // call), so this only drops our reference.
    if (m_library.isLoaded())
        m_library.unload();
}

QString KImageGifCompressThread::defaultLibraryPath()
{
    return appDir() + QStringLiteral("/libqvgifconv.so");
}

int KImageGifCompressThread::request(
    const QString &path, int width, int height, int colorPercent, int frameOption)
{
    if (m_quit)
        return 0;
    int id = 0;
    {
        QMutexLocker lock(&m_mutex);
        id = ++m_lastJobId;
        m_request.jobId = id;
        m_request.sourcePath = path;
        m_request.width = width;
        m_request.height = height;
        m_request.colorPercent = colorPercent;
        m_request.frameOption = frameOption;
    }
    if (!isRunning() && !m_quit)
        start();
    m_work.release();
    return id;
}

void KImageGifCompressThread::stopWorker()
{
    const bool wasQuit = m_quit.exchange(true);
    if (wasQuit || !isRunning()) {
        wait();
        return;
    }
    m_work.release();
    // A job in progress cannot be interrupted inside the library: this
    // waits for it to return.
    m_finished.acquire();
    wait();
}

void KImageGifCompressThread::run()
{
    for (;;) {
        m_work.acquire();
        if (m_quit) {
            m_finished.release();
            return;
        }
        GifCompressRequest job;
        {
            QMutexLocker lock(&m_mutex);
            job = m_request;
        }
        const GifCompressResult result = runJob(job);
        emit jobFinished(result);
        emit processStatus(result.status);
    }
}

GifCompressResult KImageGifCompressThread::runJob(const GifCompressRequest &request) const
{
    GifCompressResult result;
    result.jobId = request.jobId;
    if (!isLibraryLoaded()) {
        result.error = tr("The GIF compressor is missing, please reinstall");
        return result;
    }
    const GifSourceFacts facts = readGifSourceFacts(request.sourcePath);
    if (!facts.valid) {
        result.error = tr("The GIF file could not be read");
        return result;
    }

    ArgumentVector argv(GifCompressArguments::build(request, facts));
    const GifConverterResult *converted = m_convert(argv.count(), argv.data());
    if (converted && converted->count > 0 && converted->bytes) {
        // The record belongs to the library (and to this thread): copy, then release.
        result.bytes
            = QByteArray(reinterpret_cast<const char *>(converted->bytes), converted->count);
    }
    m_release();
    if (result.bytes.isEmpty()) {
        // Damaged pixel data is found by the converter, not by the facts.
        KImageWrapper source;
        result.error = source.load(request.sourcePath)
            ? tr("The GIF could not be compressed with these settings")
            : tr("The GIF file could not be read");
        return result;
    }

    // Only bytes that decode count as a result; the wrapper stays in this thread.
    KImageWrapper decoded;
    if (decoded.loadFromData(result.bytes)) {
        result.frameCount = decoded.frameCount();
        result.firstFrame = decoded.frameAt(0);
    }
    if (result.frameCount < 1 || result.firstFrame.isNull()) {
        result.bytes.clear();
        result.firstFrame = QImage();
        result.frameCount = 0;
        result.error = tr("The GIF could not be compressed with these settings");
        return result;
    }
    result.status = GifCompressResult::Status::Succeeded;
    return result;
}
