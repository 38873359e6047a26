#include "DecodeHelper.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QColorSpace>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>

#include "app/AppPaths.h"
#include "app/LargePages.h"
#include "codec/DecodeHelperProtocol.h"
#include "codec/FrameMemory.h"
#include "codec/ImageLimits.h"

namespace {

const char kHelperName[] = "quorvel-decode";
const int kPipeBytes = 1 << 20;

// Reads exactly size bytes unless the helper ends or the deadline passes.
bool readFully(int fd, void *buffer, size_t size, const QDeadlineTimer &deadline, bool *timedOut)
{
    auto *out = static_cast<char *>(buffer);
    while (size > 0) {
        pollfd p { fd, POLLIN, 0 };
        const qint64 left = deadline.remainingTime();
        if (left == 0) {
            *timedOut = true;
            return false;
        }
        const int ready = ::poll(&p, 1, int(qMin<qint64>(left, 1000)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return false;
        if (ready == 0)
            continue;
        const ssize_t n = ::read(fd, out, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        out += n;
        size -= size_t(n);
    }
    return true;
}

QString signalReason(int signal)
{
    switch (signal) {
    case SIGXCPU:
        return QStringLiteral(
            "the decoder took too long on this file (over %1 s of processor time)")
            .arg(DecodeHelper::kCpuSeconds);
    case SIGKILL:
        return QStringLiteral("the decoder took too long on this file (over %1 s)")
            .arg(DecodeHelper::kWallSeconds);
    default:
        return QStringLiteral(
            "the decoder crashed on this file (signal %1: %2); the file is damaged "
            "or made to attack the decoder")
            .arg(signal)
            .arg(QString::fromLocal8Bit(strsignal(signal)));
    }
}

void setError(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
}

} // namespace

namespace DecodeHelper {

QString helperPath()
{
    // The program and quorvel-cli sit beside the helper; the tests and
    // benchmarks one folder below it.
    // A stand-in for diagnosis and tests.
    const QString override = qEnvironmentVariable("QUORVEL_DECODE_HELPER");
    if (!override.isEmpty())
        return QFileInfo(override).isExecutable() ? override : QString();
    const QString path = ownFilePath(QLatin1String(kHelperName));
    return !path.isEmpty() && QFileInfo(path).isExecutable() ? path : QString();
}

bool decode(const QString &path, QImage *image, QString *error)
{
    return decodeWith(helperPath(), path, image, error);
}

bool decodeWith(const QString &helper, const QString &path, QImage *image, QString *error)
{
    using namespace DecodeHelperProtocol;
    if (helper.isEmpty()) {
        setError(error,
            QStringLiteral("the decoder helper %1 is missing beside the program")
                .arg(QLatin1String(kHelperName)));
        return false;
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        setError(error, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    // Library chatter (libtiff, LibRaw) is of no use to the user.
    if (qEnvironmentVariableIsEmpty("QUORVEL_DECODE_STDERR"))
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const QByteArray helperNative = QFile::encodeName(helper);
    const QByteArray fileNative = QFile::encodeName(path);
    char *argv[] = { const_cast<char *>(helperNative.constData()), const_cast<char *>("--"),
        const_cast<char *>(fileNative.constData()), nullptr };
    // The environment with the allocator's large-page setting: LibRaw's
    // pictures are the helper's big blocks.
    static const std::vector<QByteArray> environment = LargePages::environmentForChild();
    static const std::vector<char *> envp = [] {
        std::vector<char *> pointers;
        for (const QByteArray &entry : environment)
            pointers.push_back(const_cast<char *>(entry.constData()));
        pointers.push_back(nullptr);
        return pointers;
    }();
    pid_t pid = -1;
    const int spawned
        = posix_spawn(&pid, helperNative.constData(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        setError(error,
            QStringLiteral("the decoder helper could not be started: %1")
                .arg(QString::fromLocal8Bit(strerror(spawned))));
        return false;
    }

    const int fd = pipeFds[0];
    // A larger pipe moves a picture in a sixteenth of the switches between
    // the two processes; the default size still works.
    ::fcntl(fd, F_SETPIPE_SZ, kPipeBytes);
    const QDeadlineTimer deadline(kWallSeconds * 1000);
    bool timedOut = false;
    Header header;
    QString reason;
    QImage result;
    bool complete = false;
    if (readFully(fd, &header, sizeof header, deadline, &timedOut) && header.magic == kMagic
        && header.reasonBytes <= kMaxReasonBytes && header.iccBytes <= kMaxIccBytes) {
        QByteArray text(int(header.reasonBytes), Qt::Uninitialized);
        QByteArray icc(int(header.iccBytes), Qt::Uninitialized);
        if (readFully(fd, text.data(), size_t(text.size()), deadline, &timedOut)
            && readFully(fd, icc.data(), size_t(icc.size()), deadline, &timedOut)) {
            reason = QString::fromUtf8(text);
            if (header.ok && ImageLimits::sizeAllowed(header.width, header.height)) {
                result = FrameMemory::allocate(
                    QSize(header.width, header.height), QImage::Format_ARGB32);
                const bool rows = !result.isNull()
                    && readFully(
                        fd, result.bits(), size_t(result.sizeInBytes()), deadline, &timedOut);
                if (rows) {
                    result.setDotsPerMeterX(header.dotsPerMeterX);
                    result.setDotsPerMeterY(header.dotsPerMeterY);
                    if (!icc.isEmpty())
                        result.setColorSpace(QColorSpace::fromIccProfile(icc));
                    complete = true;
                } else if (result.isNull()) {
                    reason = QStringLiteral("not enough memory for %1 x %2 pixels")
                                 .arg(header.width)
                                 .arg(header.height);
                }
            }
        }
    }
    ::close(fd);
    if (timedOut)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }

    if (WIFSIGNALED(status)) {
        setError(error, signalReason(WTERMSIG(status)));
        return false;
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code == ExitOutOfMemory) {
        setError(error,
            QStringLiteral("the decoder ran out of memory on this file (limit %1 GB)")
                .arg(kAddressSpaceBytes >> 30));
        return false;
    }
    if (complete && code == 0) {
        *image = result;
        return true;
    }
    if (reason.isEmpty())
        reason = code == 0 ? QStringLiteral("the decoder helper ended without a picture")
                           : QStringLiteral("the decoder helper failed (exit code %1)").arg(code);
    setError(error, reason);
    return false;
}

} // namespace DecodeHelper
