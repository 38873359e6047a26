#include "JobRunner.h"

#include <chrono>

#include "ObjectStore.h"
#include "ServiceDatabase.h"

namespace quorvel::service {

JobRunner::JobRunner(
    ServiceDatabase &database, ObjectStore &store, EngineRegistry engines, Logger log)
    : m_database(database)
    , m_store(store)
    , m_engines(std::move(engines))
    , m_log(std::move(log))
{
}

JobRunner::~JobRunner() { stop(); }

void JobRunner::start(int workers)
{
    const int requeued = m_database.requeueInterrupted();
    if (requeued > 0)
        m_log(std::to_string(requeued) + " interrupted job(s) queued again");
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = false;
    }
    for (int i = 0; i < workers; ++i)
        m_workers.emplace_back([this] { workerLoop(); });
}

void JobRunner::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wakeup.notify_all();
    for (std::thread &worker : m_workers)
        worker.join();
    m_workers.clear();
}

void JobRunner::wake()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_generation;
    }
    m_wakeup.notify_one();
}

bool JobRunner::cancel(const std::string &jobId)
{
    const auto before = m_database.job(jobId);
    if (!before || !m_database.cancelJob(jobId, kJobCancelled, "cancelled"))
        return false;
    // A queued job never reaches a worker now; a running one stops at its next step.
    // (A job claimed in between runs on, but its end can no longer overwrite the cancel.)
    if (before->state == JobState::Running) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_cancelled.insert(jobId);
    }
    return true;
}

bool JobRunner::isCancelled(const std::string &jobId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stopping || m_cancelled.count(jobId) > 0;
}

void JobRunner::workerLoop()
{
    for (;;) {
        unsigned seen = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stopping)
                return;
            seen = m_generation;
        }
        if (auto job = m_database.claimNextQueued()) {
            runJob(*job);
            continue;
        }
        std::unique_lock<std::mutex> lock(m_mutex);
        // The periodic wake-up also picks up jobs another process queued.
        m_wakeup.wait_for(
            lock, std::chrono::seconds(5), [&] { return m_stopping || m_generation != seen; });
    }
}

void JobRunner::runJob(const JobRecord &job)
{
    const auto started = std::chrono::steady_clock::now();
    EngineOutcome outcome;
    const std::string inputPath = m_store.pathFor(job.inputKey);
    const auto engine = m_engines.find(job.product);
    if (engine == m_engines.end() || !engine->second) {
        outcome = EngineOutcome::failure(
            kJobEngineUnavailable, "engine-unavailable: no engine for " + job.product);
    } else if (!m_store.exists(job.inputKey)) {
        outcome = EngineOutcome::failure(
            kJobInputMissing, "input-missing: the uploaded object has expired");
    } else {
        int lastProgress = 0;
        const std::string jobId = job.id;
        EngineProgress progress = [this, jobId, &lastProgress](int percent) {
            if (isCancelled(jobId))
                return false;
            percent = std::max(0, std::min(99, percent));
            if (percent > lastProgress) {
                lastProgress = percent;
                m_database.setProgress(jobId, percent);
            }
            return true;
        };
        EngineJob input { job.product, inputPath, ObjectStore::suffixOfKey(job.inputKey),
            job.userId };
        try {
            outcome = engine->second(input, progress);
        } catch (const std::exception &e) {
            outcome = EngineOutcome::failure(
                kJobEngineFailed, std::string("engine-error: ") + e.what());
        } catch (...) {
            outcome = EngineOutcome::failure(kJobEngineFailed, "engine-error: unknown exception");
        }
        if (outcome.ok() && outcome.result.empty())
            outcome = EngineOutcome::failure(kJobEngineFailed, "engine-error: empty result");
    }

    bool stopping = false;
    bool cancelled = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        stopping = m_stopping;
        cancelled = m_cancelled.erase(job.id) > 0;
    }
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started)
                            .count();
    const std::string tag = "job " + job.id + " " + job.product;
    if (cancelled) {
        m_log(tag + " cancelled after " + std::to_string(millis) + " ms");
        return;
    }
    if (stopping && outcome.code == kJobCancelled) {
        // Interrupted by the shutdown, not by the client: run it again next time.
        m_database.requeue(job.id);
        m_log(tag + " interrupted by shutdown, queued again");
        return;
    }

    std::string resultKey;
    std::string previewKey;
    if (outcome.ok()) {
        const std::string folder = job.family + "/results/" + job.id + "/";
        resultKey = folder + "result." + outcome.resultSuffix;
        std::string error;
        if (!ObjectStore::isResultKey(resultKey)
            || !m_store.put(resultKey, outcome.result, error)) {
            outcome = EngineOutcome::failure(
                kJobStorageFailed, "storage: cannot store the result: " + error);
        } else if (!outcome.preview.empty()) {
            previewKey = folder + "preview." + outcome.previewSuffix;
            if (!ObjectStore::isResultKey(previewKey)
                || !m_store.put(previewKey, outcome.preview, error))
                outcome = EngineOutcome::failure(
                    kJobStorageFailed, "storage: cannot store the preview: " + error);
        }
    }
    if (outcome.ok()) {
        m_database.finishJob(job.id, JobState::Success, kJobOk, {}, resultKey, previewKey);
        m_log(tag + " succeeded in " + std::to_string(millis) + " ms (" + resultKey + ")");
    } else {
        m_database.finishJob(job.id, JobState::Failed, outcome.code, outcome.reason, {}, {});
        m_log(tag + " failed with code " + std::to_string(outcome.code) + " after "
            + std::to_string(millis) + " ms: " + outcome.reason);
    }
}

} // namespace quorvel::service
