#include "LargePages.h"

#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

extern char **environ;

namespace {

const char kVariable[] = "GLIBC_TUNABLES";
const char kSetting[] = "glibc.malloc.hugetlb";

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kOwnAllocator = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kOwnAllocator = true;
#else
constexpr bool kOwnAllocator = false;
#endif
#else
constexpr bool kOwnAllocator = false;
#endif

bool onRequestOnly()
{
    QFile modes(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"));
    return modes.open(QIODevice::ReadOnly) && modes.readAll().contains("[madvise]");
}

} // namespace

namespace LargePages {

bool askingHelps()
{
    static const bool helps = !kOwnAllocator && onRequestOnly();
    return helps;
}

QByteArray tunablesWith(const char *current)
{
    const QByteArray existing(current ? current : "");
    // name=value pairs separated by colons.
    for (const QByteArray &pair : existing.split(':')) {
        if (pair.startsWith(QByteArray(kSetting) + '='))
            return QByteArray();
    }
    const QByteArray setting = QByteArray(kSetting) + "=1";
    return existing.isEmpty() ? setting : existing + ':' + setting;
}

std::vector<QByteArray> environmentForChild()
{
    std::vector<QByteArray> entries;
    const QByteArray prefix = QByteArray(kVariable) + '=';
    const QByteArray tunables = askingHelps() ? tunablesWith(std::getenv(kVariable)) : QByteArray();
    for (char **entry = environ; entry && *entry; ++entry) {
        if (!tunables.isEmpty()
            && std::strncmp(*entry, prefix.constData(), size_t(prefix.size())) == 0)
            continue;
        entries.emplace_back(*entry);
    }
    if (!tunables.isEmpty())
        entries.push_back(prefix + tunables);
    return entries;
}

bool worthRestarting(int argc, char **argv)
{
    qint64 total = 0;
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (std::strcmp(argument, "-o") == 0 || std::strcmp(argument, "--output") == 0
            || std::strcmp(argument, "--password-file") == 0) {
            ++i; // its value
            continue;
        }
        struct stat info;
        if (argument[0] == '-' || ::stat(argument, &info) != 0)
            continue;
        if (S_ISDIR(info.st_mode))
            return true;
        if (S_ISREG(info.st_mode))
            total += info.st_size;
        if (total >= kWorthBytes)
            return true;
    }
    return false;
}

void restart(char **argv)
{
    if (!askingHelps())
        return;
    const QByteArray tunables = tunablesWith(std::getenv(kVariable));
    if (tunables.isEmpty())
        return; // set already: by the first start, or by the user
    if (::setenv(kVariable, tunables.constData(), 1) != 0)
        return;
    ::execv("/proc/self/exe", argv);
    // Could not start again: go on without, and do not hand the setting on
    // as if this process had it.
    const QByteArray previous = QByteArray(std::getenv(kVariable));
    const int cut = previous.lastIndexOf(':');
    if (cut < 0)
        ::unsetenv(kVariable);
    else
        ::setenv(kVariable, previous.left(cut).constData(), 1);
}

} // namespace LargePages
