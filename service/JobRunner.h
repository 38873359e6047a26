#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ServiceEngine.h"

// Runs queued jobs on a pool of worker threads. The queue lives in the
// database, so a job accepted before a restart runs after it. A worker claims
// the oldest queued job, hands the uploaded object to the product's engine,
// stores what the engine returns and only then marks the job a success.
// Cancelling marks the job failed at once and makes the engine's next progress
// call return false. Owned by the service's main(); start() and stop() from
// one thread, cancel() and wake() from any.
namespace quorvel::service {

class ObjectStore;
class ServiceDatabase;

class JobRunner
{
public:
    using Logger = std::function<void(const std::string &line)>;

    JobRunner(ServiceDatabase &database, ObjectStore &store, EngineRegistry engines, Logger log);
    ~JobRunner();
    JobRunner(const JobRunner &) = delete;
    JobRunner &operator=(const JobRunner &) = delete;

    // Puts jobs an earlier process left running back in the queue and starts
    // `workers` threads (0: jobs are accepted and kept, none runs).
    void start(int workers);
    // Stops the workers; a job interrupted on its way goes back to the queue.
    void stop();
    // A new job is queued.
    void wake();
    // Ends a queued or running job as cancelled; false when it had ended already.
    bool cancel(const std::string &jobId);

private:
    void workerLoop();
    void runJob(const struct JobRecord &job);
    bool isCancelled(const std::string &jobId);

    ServiceDatabase &m_database;
    ObjectStore &m_store;
    EngineRegistry m_engines;
    Logger m_log;

    std::mutex m_mutex;
    std::condition_variable m_wakeup;
    bool m_stopping = false;
    unsigned m_generation = 0; // bumped by wake() so no wake-up is lost
    std::set<std::string> m_cancelled; // running jobs asked to stop
    std::vector<std::thread> m_workers;
};

} // namespace quorvel::service
