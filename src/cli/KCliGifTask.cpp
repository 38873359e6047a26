#include "KCliGifTask.h"

#include <vector>

#include <QByteArrayList>
#include <QFile>
#include <QFileInfo>

#include "app/FileUtils.h"
#include "codec/ImageLoadFailure.h"
#include "codec/KImageWrapper.h"
#include "compress/GifCompressArguments.h"
#include "compress/GifSourceFacts.h"

KCliGifTask::KCliGifTask(const QString &runFolder, const QVector<QPair<QString, int>> &files,
    const GifCompressRequest &request, GifConverterFunction convert, GifReleaseFunction release)
    : m_runFolder(runFolder)
    , m_files(files)
    , m_request(request)
    , m_convert(convert)
    , m_release(release)
{
    registerWorkerMetaTypes();
}

void KCliGifTask::run()
{
    for (const auto &file : m_files) {
        emit processStatusChanged({ file.second, BatchResult::Processing, QString(), QString() });
        QString error;
        const QString written = shrinkOne(file.first, &error);
        if (written.isEmpty())
            emit processStatusChanged({ file.second, BatchResult::Failed, QString(), error });
        else
            emit processStatusChanged({ file.second, BatchResult::Succeeded, written, QString() });
    }
}

QString KCliGifTask::shrinkOne(const QString &path, QString *error) const
{
    if (!m_convert || !m_release) {
        *error = QStringLiteral("the GIF converter library is missing");
        return QString();
    }
    const GifSourceFacts facts = readGifSourceFacts(path);
    if (!facts.valid) {
        *error = ImageLoadFailure::explain(path);
        return QString();
    }
    GifCompressRequest request = m_request;
    request.sourcePath = path;

    // The library takes 8-bit strings in the local character set; the byte
    // arrays keep them alive for the call.
    QByteArrayList storage;
    for (const QString &argument : GifCompressArguments::build(request, facts))
        storage.append(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &argument : storage)
        argv.push_back(argument.data());

    QByteArray bytes;
    const GifConverterResult *result = m_convert(int(argv.size()), argv.data());
    if (result && result->count > 0 && result->bytes)
        bytes = QByteArray(reinterpret_cast<const char *>(result->bytes), result->count);
    m_release();
    if (bytes.isEmpty()) {
        // Damaged pixel data is found by the converter; say what is wrong
        // with the file when the program's decoder cannot read it either.
        KImageWrapper source;
        *error = source.load(path)
            ? QStringLiteral("the GIF converter could not make a GIF of it with these settings")
            : ImageLoadFailure::explain(path);
        return QString();
    }

    // What the library returned must be a picture before it is written.
    {
        KImageWrapper check;
        if (!check.loadFromData(bytes) || check.loadState() != KImageWrapper::Loaded) {
            *error = QStringLiteral("the GIF converter returned a damaged GIF");
            return QString();
        }
    }

    const QString output = reserveUniqueFilePath(
        m_runFolder, QFileInfo(path).fileName(), QStringLiteral("gif"), error);
    if (output.isEmpty())
        return QString();
    if (!writeFileAtomically(output, bytes, error)) {
        releaseReservedPath(output);
        return QString();
    }
    return output;
}
