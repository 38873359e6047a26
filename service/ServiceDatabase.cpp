#include "ServiceDatabase.h"

#include <chrono>

#include <sqlite3.h>

#include <QUuid>

namespace quorvel::service {

namespace {

std::int64_t nowSeconds()
{
    return std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string newId() { return QUuid::createUuid().toRfc4122().toHex().toStdString(); }

// A prepared statement that finalises itself.
class Statement
{
public:
    Statement(sqlite3 *db, const char *sql) { sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool valid() const { return m_stmt != nullptr; }
    Statement &bind(int index, const std::string &text)
    {
        sqlite3_bind_text(m_stmt, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement &bind(int index, std::int64_t value)
    {
        sqlite3_bind_int64(m_stmt, index, value);
        return *this;
    }
    int step() { return m_stmt ? sqlite3_step(m_stmt) : SQLITE_ERROR; }
    std::string text(int column) const
    {
        const auto *value = sqlite3_column_text(m_stmt, column);
        return value ? std::string(reinterpret_cast<const char *>(value),
                   std::size_t(sqlite3_column_bytes(m_stmt, column)))
                     : std::string();
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(m_stmt, column); }

private:
    sqlite3_stmt *m_stmt = nullptr;
};

const char *kJobColumns = "id, product, family, input_key, user_id, state, progress, code, "
                          "reason, result_key, preview_key, created, updated";

JobRecord readJob(const Statement &row)
{
    JobRecord job;
    job.id = row.text(0);
    job.product = row.text(1);
    job.family = row.text(2);
    job.inputKey = row.text(3);
    job.userId = row.text(4);
    job.state = JobState(row.integer(5));
    job.progress = int(row.integer(6));
    job.code = int(row.integer(7));
    job.reason = row.text(8);
    job.resultKey = row.text(9);
    job.previewKey = row.text(10);
    job.created = row.integer(11);
    job.updated = row.integer(12);
    return job;
}

} // namespace

const char *jobStateName(JobState state)
{
    switch (state) {
    case JobState::Queued:
        return "queued";
    case JobState::Running:
        return "running";
    case JobState::Success:
        return "success";
    case JobState::Failed:
        return "failed";
    }
    return "unknown";
}

ServiceDatabase::~ServiceDatabase()
{
    if (m_db)
        sqlite3_close(m_db);
}

bool ServiceDatabase::exec(const char *sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool ServiceDatabase::open(const std::string &path, std::string &error)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (sqlite3_open_v2(path.c_str(), &m_db,
            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr)
        != SQLITE_OK) {
        error = "cannot open " + path + ": " + (m_db ? sqlite3_errmsg(m_db) : "out of memory");
        return false;
    }
    sqlite3_busy_timeout(m_db, 5000);
    const bool ok = exec("PRAGMA journal_mode=WAL;") && exec("PRAGMA synchronous=NORMAL;")
        && exec("CREATE TABLE IF NOT EXISTS jobs ("
                " id TEXT PRIMARY KEY, product TEXT NOT NULL, family TEXT NOT NULL,"
                " input_key TEXT NOT NULL, user_id TEXT NOT NULL DEFAULT '',"
                " state INTEGER NOT NULL, progress INTEGER NOT NULL DEFAULT 0,"
                " code INTEGER NOT NULL DEFAULT 0, reason TEXT NOT NULL DEFAULT '',"
                " result_key TEXT NOT NULL DEFAULT '', preview_key TEXT NOT NULL DEFAULT '',"
                " created INTEGER NOT NULL, updated INTEGER NOT NULL);"
                "CREATE INDEX IF NOT EXISTS jobs_state ON jobs(state, created);"
                "CREATE TABLE IF NOT EXISTS users ("
                " id TEXT PRIMARY KEY, name TEXT NOT NULL UNIQUE, created INTEGER NOT NULL);"
                "CREATE TABLE IF NOT EXISTS login_codes ("
                " code TEXT PRIMARY KEY, user_id TEXT NOT NULL, expires INTEGER NOT NULL);"
                "CREATE TABLE IF NOT EXISTS feedback ("
                " id INTEGER PRIMARY KEY AUTOINCREMENT, content TEXT NOT NULL,"
                " contact TEXT NOT NULL, session_id TEXT NOT NULL, created INTEGER NOT NULL);");
    if (!ok) {
        error = "cannot prepare " + path + ": " + sqlite3_errmsg(m_db);
        return false;
    }
    return true;
}

bool ServiceDatabase::insertJob(const JobRecord &job)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement insert(m_db,
        "INSERT INTO jobs (id, product, family, input_key, user_id, state, progress,"
        " created, updated) VALUES (?, ?, ?, ?, ?, ?, 0, ?, ?)");
    const std::int64_t now = nowSeconds();
    insert.bind(1, job.id)
        .bind(2, job.product)
        .bind(3, job.family)
        .bind(4, job.inputKey)
        .bind(5, job.userId)
        .bind(6, std::int64_t(JobState::Queued))
        .bind(7, now)
        .bind(8, now);
    return insert.step() == SQLITE_DONE;
}

std::optional<JobRecord> ServiceDatabase::job(const std::string &id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement select(
        m_db, (std::string("SELECT ") + kJobColumns + " FROM jobs WHERE id = ?").c_str());
    select.bind(1, id);
    if (select.step() != SQLITE_ROW)
        return std::nullopt;
    return readJob(select);
}

std::optional<JobRecord> ServiceDatabase::claimNextQueued()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement select(m_db,
        (std::string("SELECT ") + kJobColumns
            + " FROM jobs WHERE state = ? ORDER BY created, rowid LIMIT 1")
            .c_str());
    select.bind(1, std::int64_t(JobState::Queued));
    if (select.step() != SQLITE_ROW)
        return std::nullopt;
    JobRecord job = readJob(select);
    Statement update(m_db, "UPDATE jobs SET state = ?, progress = 0, updated = ? WHERE id = ?");
    update.bind(1, std::int64_t(JobState::Running)).bind(2, nowSeconds()).bind(3, job.id);
    if (update.step() != SQLITE_DONE)
        return std::nullopt;
    job.state = JobState::Running;
    job.progress = 0;
    return job;
}

void ServiceDatabase::setProgress(const std::string &id, int progress)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement update(m_db, "UPDATE jobs SET progress = ?, updated = ? WHERE id = ? AND state = ?");
    update.bind(1, std::int64_t(progress))
        .bind(2, nowSeconds())
        .bind(3, id)
        .bind(4, std::int64_t(JobState::Running));
    update.step();
}

bool ServiceDatabase::finishJob(const std::string &id, JobState state, int code,
    const std::string &reason, const std::string &resultKey, const std::string &previewKey)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement update(m_db,
        "UPDATE jobs SET state = ?, progress = ?, code = ?, reason = ?,"
        " result_key = ?, preview_key = ?, updated = ? WHERE id = ? AND state = ?");
    update.bind(1, std::int64_t(state))
        .bind(2, std::int64_t(state == JobState::Success ? 100 : 0))
        .bind(3, std::int64_t(code))
        .bind(4, reason)
        .bind(5, resultKey)
        .bind(6, previewKey)
        .bind(7, nowSeconds())
        .bind(8, id)
        .bind(9, std::int64_t(JobState::Running));
    return update.step() == SQLITE_DONE && sqlite3_changes(m_db) == 1;
}

bool ServiceDatabase::requeue(const std::string &id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement update(
        m_db, "UPDATE jobs SET state = ?, progress = 0, updated = ? WHERE id = ? AND state = ?");
    update.bind(1, std::int64_t(JobState::Queued))
        .bind(2, nowSeconds())
        .bind(3, id)
        .bind(4, std::int64_t(JobState::Running));
    return update.step() == SQLITE_DONE && sqlite3_changes(m_db) == 1;
}

int ServiceDatabase::requeueInterrupted()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement update(m_db, "UPDATE jobs SET state = ?, progress = 0 WHERE state = ?");
    update.bind(1, std::int64_t(JobState::Queued)).bind(2, std::int64_t(JobState::Running));
    return update.step() == SQLITE_DONE ? sqlite3_changes(m_db) : 0;
}

bool ServiceDatabase::cancelJob(const std::string &id, int code, const std::string &reason)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement update(m_db,
        "UPDATE jobs SET state = ?, progress = 0, code = ?, reason = ?, updated = ?"
        " WHERE id = ? AND state IN (?, ?)");
    update.bind(1, std::int64_t(JobState::Failed))
        .bind(2, std::int64_t(code))
        .bind(3, reason)
        .bind(4, nowSeconds())
        .bind(5, id)
        .bind(6, std::int64_t(JobState::Queued))
        .bind(7, std::int64_t(JobState::Running));
    return update.step() == SQLITE_DONE && sqlite3_changes(m_db) == 1;
}

UserRecord ServiceDatabase::findOrCreateUser(const std::string &name)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement insert(m_db, "INSERT OR IGNORE INTO users (id, name, created) VALUES (?, ?, ?)");
    insert.bind(1, newId()).bind(2, name).bind(3, nowSeconds());
    insert.step();
    Statement select(m_db, "SELECT id, name, created FROM users WHERE name = ?");
    select.bind(1, name);
    UserRecord user;
    if (select.step() == SQLITE_ROW) {
        user.id = select.text(0);
        user.name = select.text(1);
        user.created = select.integer(2);
    }
    return user;
}

std::optional<UserRecord> ServiceDatabase::user(const std::string &id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement select(m_db, "SELECT id, name, created FROM users WHERE id = ?");
    select.bind(1, id);
    if (select.step() != SQLITE_ROW)
        return std::nullopt;
    return UserRecord { select.text(0), select.text(1), select.integer(2) };
}

std::string ServiceDatabase::createLoginCode(const std::string &userId, std::int64_t expires)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string code = newId();
    Statement purge(m_db, "DELETE FROM login_codes WHERE expires < ?");
    purge.bind(1, nowSeconds());
    purge.step();
    Statement insert(m_db, "INSERT INTO login_codes (code, user_id, expires) VALUES (?, ?, ?)");
    insert.bind(1, code).bind(2, userId).bind(3, expires);
    return insert.step() == SQLITE_DONE ? code : std::string();
}

std::optional<std::string> ServiceDatabase::takeLoginCode(
    const std::string &code, std::int64_t nowSecs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement select(m_db, "SELECT user_id, expires FROM login_codes WHERE code = ?");
    select.bind(1, code);
    if (select.step() != SQLITE_ROW)
        return std::nullopt;
    const std::string userId = select.text(0);
    const std::int64_t expires = select.integer(1);
    Statement remove(m_db, "DELETE FROM login_codes WHERE code = ?");
    remove.bind(1, code);
    remove.step();
    if (expires < nowSecs)
        return std::nullopt;
    return userId;
}

bool ServiceDatabase::addFeedback(const std::string &content, const std::string &contact,
    const std::string &sessionId, std::int64_t when)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement insert(
        m_db, "INSERT INTO feedback (content, contact, session_id, created) VALUES (?, ?, ?, ?)");
    insert.bind(1, content).bind(2, contact).bind(3, sessionId).bind(4, when);
    return insert.step() == SQLITE_DONE;
}

int ServiceDatabase::feedbackCount()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement count(m_db, "SELECT COUNT(*) FROM feedback");
    return count.step() == SQLITE_ROW ? int(count.integer(0)) : 0;
}

} // namespace quorvel::service
