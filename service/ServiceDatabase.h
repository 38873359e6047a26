#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

struct sqlite3;

// Jobs, users, login codes and feedback in one SQLite file (WAL) under the data
// folder. One connection guarded by a mutex: every call is short, and the HTTP
// threads and the job workers call it concurrently.
namespace quorvel::service {

enum class JobState { Queued, Running, Success, Failed };

struct JobRecord
{
    std::string id; // 32 hex digits
    std::string product;
    std::string family; // "ocr" or "ai"
    std::string inputKey;
    std::string userId;
    JobState state = JobState::Queued;
    int progress = 0;
    int code = 0;
    std::string reason;
    std::string resultKey;
    std::string previewKey;
    std::int64_t created = 0;
    std::int64_t updated = 0;
};

struct UserRecord
{
    std::string id;
    std::string name;
    std::int64_t created = 0;
};

class ServiceDatabase
{
public:
    ServiceDatabase() = default;
    ~ServiceDatabase();
    ServiceDatabase(const ServiceDatabase &) = delete;
    ServiceDatabase &operator=(const ServiceDatabase &) = delete;

    bool open(const std::string &path, std::string &error);

    bool insertJob(const JobRecord &job);
    std::optional<JobRecord> job(const std::string &id);
    // The oldest queued job, switched to running; nullopt when none waits.
    std::optional<JobRecord> claimNextQueued();
    void setProgress(const std::string &id, int progress);
    // Ends a running job; does nothing when the job is no longer running (it was cancelled).
    bool finishJob(const std::string &id, JobState state, int code, const std::string &reason,
        const std::string &resultKey, const std::string &previewKey);
    // A running job goes back to the queue (service stopping); returns false when it is no longer
    // running.
    bool requeue(const std::string &id);
    // Jobs left running by a previous process wait again; returns how many.
    int requeueInterrupted();
    // Queued or running -> failed with the given code; false when already ended.
    bool cancelJob(const std::string &id, int code, const std::string &reason);

    UserRecord findOrCreateUser(const std::string &name);
    std::optional<UserRecord> user(const std::string &id);

    // Single-use login codes that carry a signed-in user to the callback page.
    std::string createLoginCode(const std::string &userId, std::int64_t expires);
    std::optional<std::string> takeLoginCode(const std::string &code, std::int64_t nowSeconds);

    bool addFeedback(const std::string &content, const std::string &contact,
        const std::string &sessionId, std::int64_t when);
    int feedbackCount();

private:
    bool exec(const char *sql);

    std::mutex m_mutex;
    sqlite3 *m_db = nullptr;
};

const char *jobStateName(JobState state);

} // namespace quorvel::service
