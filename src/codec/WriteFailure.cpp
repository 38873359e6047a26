#include "WriteFailure.h"

#include <cerrno>
#include <cstring>

namespace WriteFailure {

QString describeErrno(int error)
{
    switch (error) {
    case 0:
        return QStringLiteral("the write failed");
    case ENOSPC:
        return QStringLiteral("no space left on the device");
    case EDQUOT:
        return QStringLiteral("the disk quota is used up");
    case EACCES:
    case EPERM:
        return QStringLiteral("permission denied");
    case EROFS:
        return QStringLiteral("the device is read-only");
    case EIO:
        return QStringLiteral("input/output error on the device");
    case EFBIG:
        return QStringLiteral("the file is too large for the device");
    case ENOENT:
        return QStringLiteral("the folder does not exist");
    case ENOMEM:
        return QStringLiteral("not enough memory");
    default:
        return QString::fromLocal8Bit(std::strerror(error)).toLower();
    }
}

void report(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

} // namespace WriteFailure
