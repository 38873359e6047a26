#include "FailureReasons.h"

#include <QFile>
#include <QFileInfo>

#include "app/FileUtils.h"
#include "codec/InputCheck.h"

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
    if (!info.isDir())
        return QStringLiteral("cannot write into the output folder %1").arg(dir);
    return folderWriteProblem(dir);
}

QString formatName(const QString &extension)
{
    return extension == QLatin1String("jpg") ? QStringLiteral("JPG") : extension.toUpper();
}

} // namespace FailureReasons
