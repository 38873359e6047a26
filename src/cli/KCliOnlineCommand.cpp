#include "KCliOnlineCommand.h"

#include <QFile>

#include "app/FileUtils.h"
#include "cli/CliOptions.h"
#include "cli/FailureReasons.h"
#include "cli/KCliOnlineJobs.h"
#include "cli/KCliRun.h"
#include "online/OnlineUploads.h"

bool KCliOnlineCommand::takesFromFolder(const QString &path) const
{
    return CliOptions::isImageFile(path);
}

void KCliOnlineCommand::beginRun(const QStringList &) { }

int KCliOnlineCommand::jobTimeoutMs()
{
    // QUORVEL_CLI_JOB_TIMEOUT_MS shortens the limit for tests of a silent service.
    const int configured = qEnvironmentVariableIntValue("QUORVEL_CLI_JOB_TIMEOUT_MS");
    return configured > 0 ? configured : 90000;
}

void KCliOnlineCommand::start(KCliRun *run)
{
    // Parented to the run, which outlives every report it sends.
    auto *jobs = new KCliOnlineJobs(this, run);
    jobs->start();
}

QSize KCliOnlineCommand::scaled(const QSize &size, double factor)
{
    return OnlineUploads::scaledSize(size, factor);
}

QSize KCliOnlineCommand::pixelTarget(
    const QSize &size, qint64 bytes, qint64 limitBytes, qint64 targetPixels)
{
    return OnlineUploads::pixelTarget(size, bytes, limitBytes, targetPixels);
}

QString KCliOnlineCommand::writeNewFile(const QString &dir, const QString &name, const QString &ext,
    const QByteArray &bytes, QString *error)
{
    const QString path = reserveUniqueFilePath(dir, name, ext);
    if (path.isEmpty()) {
        *error = FailureReasons::outputProblem(dir);
        if (error->isEmpty())
            *error = QStringLiteral("no new file can be made in %1").arg(dir);
        return QString();
    }
    if (!writeFileAtomically(path, bytes)) {
        QFile::remove(path); // the empty placeholder of the reservation
        *error = QStringLiteral("the result could not be written to %1").arg(path);
        return QString();
    }
    return path;
}
