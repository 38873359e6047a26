#include "FailureReasons.h"

#include <sys/statvfs.h>

#include <QFile>
#include <QFileInfo>

#include "codec/ImageFormats.h"
#include "codec/InputCheck.h"
#include "codec/KImageWrapper.h"

namespace FailureReasons {

QString fileProblem(const QString &path)
{
    const QString problem = InputCheck::regularFileProblem(path);
    if (!problem.isEmpty())
        return problem;
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
    // What is left when the run failed for want of space (a little is
    // always in use by the file system's own records).
    struct statvfs fs;
    if (::statvfs(QFile::encodeName(dir).constData(), &fs) == 0
        && quint64(fs.f_bavail) * fs.f_frsize < 256 * 1024)
        return QStringLiteral("no space left on the device");
    return QString();
}

QString imageProblem(const QString &path, QImage *frame)
{
    const QString extension = ImageFormats::extensionOf(QFileInfo(path).fileName()).toLower();
    if (!ImageFormats::global().isKnownExtension(extension))
        return QStringLiteral("not an image type this program reads (.%1)").arg(extension);
    KImageWrapper wrapper;
    if (!wrapper.load(path) || wrapper.loadState() != KImageWrapper::Loaded
        || wrapper.frameCount() == 0) {
        if (!wrapper.errorString().isEmpty())
            return wrapper.errorString();
        return QStringLiteral("cannot be decoded: the file is damaged or is not a %1 image")
            .arg(extension.toUpper());
    }
    if (frame)
        *frame = wrapper.frameAt(0);
    return QString();
}

QString formatName(const QString &extension)
{
    return extension == QLatin1String("jpg") ? QStringLiteral("JPG") : extension.toUpper();
}

} // namespace FailureReasons
