// quorvel-service: the recognition and enhancement service the desktop program
// talks to. Serves on one thread pool, runs jobs on worker threads; the main
// thread only serves, a control thread waits for signals and watches the parent.

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <sys/prctl.h>
#include <unistd.h>

#include "ServiceEngines.h"
#include "ServiceOptions.h"
#include "ServiceServer.h"

using namespace quorvel::service;

namespace {

bool processGone(long pid) { return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH; }

} // namespace

int main(int argc, char **argv)
{
    // Tesseract's OpenMP threads fight each other when several jobs run at once (and
    // spin on a busy machine): one core per job, parallelism comes from --workers.
    // libgomp reads the limit when it loads, so set it and start again.
    if (!std::getenv("OMP_THREAD_LIMIT")) {
        ::setenv("OMP_THREAD_LIMIT", "1", 1);
        ::execv("/proc/self/exe", argv);
        // Not fatal: carry on with the library's own default.
    }

    ServiceOptions options;
    bool help = false;
    std::string error;
    if (!parseServiceOptions(argc, argv, options, help, error)) {
        std::fprintf(stderr, "quorvel-service: %s\n\n%s", error.c_str(), serviceUsage().c_str());
        return 2;
    }
    if (help) {
        std::fputs(serviceUsage().c_str(), stdout);
        return 0;
    }

    // SIGTERM and SIGINT are taken by the control thread; every other thread inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const pid_t originalParent = ::getppid();
    if (options.parentPid > 0) {
        // When our direct parent is the one to watch, the kernel tells us at once.
        if (options.parentPid == long(originalParent))
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (processGone(options.parentPid)) {
            std::fprintf(
                stderr, "quorvel-service: process %ld is not running\n", options.parentPid);
            return 1;
        }
    }

    ServiceServer server(options, ServiceKeys::fromEnvironment(), builtinEngines());
    if (!server.open(error)) {
        std::fprintf(stderr, "quorvel-service: %s\n", error.c_str());
        return 1;
    }
    std::printf("listening on http://%s:%d\n", options.host.c_str(), server.port());
    std::fflush(stdout);
    server.log(
        "data in " + options.dataDir + ", " + std::to_string(options.workers) + " worker(s)");

    std::atomic<bool> serving { true };
    std::thread control([&] {
        auto nextSweep = std::chrono::steady_clock::now();
        const timespec tick { 0, 250 * 1000 * 1000 };
        while (serving) {
            if (std::chrono::steady_clock::now() >= nextSweep) {
                server.sweepObjects();
                nextSweep = std::chrono::steady_clock::now() + std::chrono::minutes(10);
            }
            const int signal = sigtimedwait(&stopSignals, nullptr, &tick);
            if (signal == SIGTERM || signal == SIGINT) {
                server.log(signal == SIGTERM ? "SIGTERM: stopping" : "SIGINT: stopping");
                break;
            }
            if (options.parentPid > 0
                && (processGone(options.parentPid)
                    || (options.parentPid == long(originalParent)
                        && ::getppid() != originalParent))) {
                server.log(
                    "parent process " + std::to_string(options.parentPid) + " ended: stopping");
                break;
            }
        }
        server.stop();
    });

    server.run();
    serving = false;
    server.stop();
    control.join();
    server.log("stopped");
    return 0;
}
