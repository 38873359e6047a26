#include "HelperSandbox.h"

#include <cerrno>
#include <cstddef>
#include <vector>

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>

namespace {

bool limit(int resource, rlim_t soft, rlim_t hard)
{
    const rlimit r { soft, hard };
    return setrlimit(resource, &r) == 0;
}

bool limit(int resource, rlim_t value) { return limit(resource, value, value); }

#if defined(__x86_64__)
// A seccomp filter that answers EACCES to every call that could change the
// file system, reach the network or start another program, and to any open
// that asks for writing. Everything else is allowed.
bool installFilter()
{
    std::vector<sock_filter> f;
    auto stmt = [&f](unsigned short code, unsigned k) { f.push_back(BPF_STMT(code, k)); };
    const unsigned denied[] = { __NR_socket, __NR_socketpair, __NR_connect, __NR_bind, __NR_sendto,
        __NR_sendmsg, __NR_unlink, __NR_unlinkat, __NR_rename, __NR_renameat, __NR_renameat2,
        __NR_mkdir, __NR_mkdirat, __NR_rmdir, __NR_truncate, __NR_ftruncate, __NR_link, __NR_linkat,
        __NR_symlink, __NR_symlinkat, __NR_chmod, __NR_fchmod, __NR_fchmodat, __NR_chown,
        __NR_fchown, __NR_lchown, __NR_fchownat, __NR_mknod, __NR_mknodat, __NR_execve,
        __NR_execveat, __NR_fork, __NR_vfork, __NR_ptrace, __NR_creat, __NR_utimensat,
        __NR_setxattr, __NR_fsetxattr, __NR_lsetxattr };
    const unsigned writeFlags = O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND;

    stmt(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch));
    f.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0));
    stmt(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS);
    stmt(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr));
    // x32 system calls carry this bit; refuse them outright.
    f.push_back(BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 0x40000000, 0, 1));
    stmt(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EACCES);
    for (unsigned nr : denied) {
        f.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, nr, 0, 1));
        stmt(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EACCES);
    }
    // open(path, flags) and openat(dir, path, flags): the low word of flags.
    const struct
    {
        unsigned nr;
        unsigned flagsArg;
    } opens[] = { { __NR_open, 1 }, { __NR_openat, 2 } };
    for (const auto &o : opens) {
        f.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, o.nr, 0, 4));
        stmt(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args) + o.flagsArg * 8);
        f.push_back(BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, writeFlags, 0, 1));
        stmt(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EACCES);
        stmt(BPF_RET | BPF_K, SECCOMP_RET_ALLOW);
    }
    // New threads (LibRaw's) are fine; new processes are not.
    f.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone, 0, 4));
    stmt(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args));
    f.push_back(BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, CLONE_THREAD, 0, 1));
    stmt(BPF_RET | BPF_K, SECCOMP_RET_ALLOW);
    stmt(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EACCES);
    // clone3 passes its flags in a structure; without it the C library
    // falls back to clone.
    f.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 435 /* clone3 */, 0, 1));
    stmt(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS);
    // openat2 passes its flags in a structure the filter cannot read.
    f.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 437 /* openat2 */, 0, 1));
    stmt(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS);
    stmt(BPF_RET | BPF_K, SECCOMP_RET_ALLOW);

    sock_fprog program { static_cast<unsigned short>(f.size()), f.data() };
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0
        && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}
#else
bool installFilter() { return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0; }
#endif

} // namespace

namespace HelperSandbox {

bool enter(long long addressSpaceBytes, int cpuSeconds)
{
    bool ok = limit(RLIMIT_CORE, 0) && limit(RLIMIT_FSIZE, 0)
        && limit(RLIMIT_CPU, rlim_t(cpuSeconds), rlim_t(cpuSeconds) + 5);
    // The sanitizers reserve terabytes of address space up front; their
    // builds go without this one limit.
#if !defined(QUORVEL_SANITIZED)
    ok = ok && limit(RLIMIT_AS, rlim_t(addressSpaceBytes));
#else
    (void)addressSpaceBytes;
#endif
    return ok && installFilter();
}

} // namespace HelperSandbox
