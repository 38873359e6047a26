#include "FailureReasons.h"

#include <QFile>
#include <QFileInfo>

#include "codec/ImageFormats.h"
#include "codec/KImageWrapper.h"

namespace FailureReasons {

QString fileProblem(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("no such file");
    if (!info.isFile())
        return QStringLiteral("not a regular file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot be read: ") + file.errorString();
    if (file.size() == 0)
        return QStringLiteral("the file is empty");
    return QString();
}

QString outputProblem(const QString &dir)
{
    const QFileInfo info(dir);
    if (!info.exists())
        return QStringLiteral("the output folder %1 no longer exists").arg(dir);
    if (!info.isDir() || !info.isWritable())
        return QStringLiteral("cannot write into the output folder %1").arg(dir);
    return QString();
}

QString imageProblem(const QString &path, QImage *frame)
{
    const QString extension = ImageFormats::extensionOf(QFileInfo(path).fileName()).toLower();
    if (!ImageFormats::global().isKnownExtension(extension))
        return QStringLiteral("not an image type this program reads (.%1)").arg(extension);
    KImageWrapper wrapper;
    if (!wrapper.load(path) || wrapper.loadState() != KImageWrapper::Loaded
        || wrapper.frameCount() == 0)
        return QStringLiteral("cannot be decoded: the file is damaged or is not a %1 image")
            .arg(extension.toUpper());
    if (frame)
        *frame = wrapper.frameAt(0);
    return QString();
}

QString formatName(const QString &extension)
{
    return extension == QLatin1String("jpg") ? QStringLiteral("JPG") : extension.toUpper();
}

} // namespace FailureReasons
