#include "UploadFile.h"

#include <QFile>
#include <QFileInfo>

UploadFile UploadFile::fromPath(const QString &path)
{
    UploadFile file;
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return file;
    const QFileInfo info(path);
    file.data = in.readAll();
    file.name = info.fileName();
    const int dot = file.name.lastIndexOf(QLatin1Char('.'));
    file.suffix = dot >= 0 ? file.name.mid(dot + 1) : QString();
    file.size = file.data.size();
    return file;
}
