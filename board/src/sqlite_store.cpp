// The board in one SQLite file. One connection, used by one thread at a time (the server's
// handlers and its workers share it); the file is in WAL mode, so a reader never waits on the
// writer for long.
#include <sqlite3.h>

#include <ctime>
#include <mutex>
#include <stdexcept>

#include "plot_text.hpp"
#include "store.hpp"

namespace board {

namespace {

constexpr int kMaxAttempts = 3;  // claims of one job before it is refused

class Statement {
public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string("SQLite: ") + sqlite3_errmsg(db));
    }
    ~Statement() { sqlite3_finalize(st_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement& Bind(int i, const std::string& v) {
        sqlite3_bind_text(st_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Blob(int i, const std::string& v) {
        sqlite3_bind_blob(st_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Bind(int i, int64_t v) {
        sqlite3_bind_int64(st_, i, v);
        return *this;
    }
    bool Step() {
        const int rc = sqlite3_step(st_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        throw std::runtime_error(std::string("SQLite: ") + sqlite3_errmsg(db_));
    }
    int64_t Int(int i) { return sqlite3_column_int64(st_, i); }
    std::string Text(int i) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, i));
        return p != nullptr ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(st_, i)))
                            : std::string();
    }

private:
    sqlite3* db_;
    sqlite3_stmt* st_ = nullptr;
};

JobState StateOf(const std::string& name) {
    for (JobState s : {JobState::Queued, JobState::Verifying, JobState::Accepted, JobState::Refused})
        if (name == JobStateName(s)) return s;
    return JobState::Refused;
}

constexpr const char* kJobColumns = "id, hash, name, state, reason, version, attempts";

Job ReadJob(Statement& st) {
    Job job;
    job.id = st.Int(0);
    job.hash = st.Text(1);
    job.name = st.Text(2);
    job.state = StateOf(st.Text(3));
    job.reason = st.Text(4);
    job.version = st.Text(5);
    job.attempts = static_cast<int>(st.Int(6));
    return job;
}

class SqliteStore : public Store {
public:
    explicit SqliteStore(const std::string& path) : path_(path) {
        if (sqlite3_open_v2(path.c_str(), &db_,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK) {
            std::string why = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            throw std::runtime_error(path + ": " + why);
        }
        sqlite3_busy_timeout(db_, 5000);
        Exec(
            "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
            "CREATE TABLE IF NOT EXISTS players(name TEXT PRIMARY KEY, key_hash TEXT NOT NULL,"
            " hidden INTEGER NOT NULL DEFAULT 0);"
            "CREATE TABLE IF NOT EXISTS jobs(id INTEGER PRIMARY KEY AUTOINCREMENT, hash TEXT NOT NULL UNIQUE,"
            " name TEXT NOT NULL, key_hash TEXT NOT NULL, address TEXT NOT NULL, state TEXT NOT NULL,"
            " reason TEXT NOT NULL DEFAULT '', version TEXT NOT NULL DEFAULT '', worker TEXT NOT NULL "
            "DEFAULT '',"
            " lease_until INTEGER NOT NULL DEFAULT 0, attempts INTEGER NOT NULL DEFAULT 0, replay BLOB);"
            "CREATE TABLE IF NOT EXISTS entries(hash TEXT NOT NULL, mode INTEGER NOT NULL, name TEXT NOT "
            "NULL,"
            " speed INTEGER NOT NULL, date TEXT NOT NULL, version TEXT NOT NULL, plot TEXT NOT NULL,"
            " hidden INTEGER NOT NULL DEFAULT 0, PRIMARY KEY(hash, mode));"
            "CREATE INDEX IF NOT EXISTS entries_top ON entries(mode, hidden, speed DESC, date);");
    }
    ~SqliteStore() override { sqlite3_close(db_); }

    Job Submit(const Submission& s, std::string& refusal) override {
        std::lock_guard lock(mutex_);
        refusal.clear();
        {
            Statement st(db_, "SELECT key_hash FROM players WHERE name = ?");
            if (st.Bind(1, s.name).Step() && st.Text(0) != s.keyHash) {
                refusal = "the name '" + s.name + "' belongs to another player's key";
                return {};
            }
        }
        // Content refused before (the verifier may have been busy) is verified again.
        Statement requeue(
            db_,
            "UPDATE jobs SET state = 'queued', reason = '', attempts = 0, name = ?2, key_hash = ?3,"
            " address = ?4, replay = ?5 WHERE hash = ?1 AND state = 'refused'");
        requeue.Bind(1, s.hash)
            .Bind(2, s.name)
            .Bind(3, s.keyHash)
            .Bind(4, s.address)
            .Blob(5, s.replay)
            .Step();
        Statement insert(
            db_,
            "INSERT INTO jobs(hash, name, key_hash, address, state, replay) VALUES(?, ?, ?, ?, 'queued', ?)"
            " ON CONFLICT(hash) DO NOTHING");
        insert.Bind(1, s.hash).Bind(2, s.name).Bind(3, s.keyHash).Bind(4, s.address).Blob(5, s.replay).Step();
        Statement st(db_, (std::string("SELECT ") + kJobColumns + " FROM jobs WHERE hash = ?").c_str());
        st.Bind(1, s.hash).Step();
        return ReadJob(st);
    }

    std::optional<Job> FindJob(int64_t id) override {
        std::lock_guard lock(mutex_);
        Statement st(db_, (std::string("SELECT ") + kJobColumns + " FROM jobs WHERE id = ?").c_str());
        if (!st.Bind(1, id).Step()) return std::nullopt;
        return ReadJob(st);
    }

    std::optional<Job> Claim(const std::string& worker, int64_t leaseSeconds) override {
        std::lock_guard lock(mutex_);
        const int64_t now = std::time(nullptr);
        // A job whose workers kept dying is not tried for ever.
        Statement give_up(
            db_,
            "UPDATE jobs SET state = 'refused', reason = 'verification did not finish in "
            "3 tries', replay = NULL WHERE state = 'verifying' AND lease_until < ? AND attempts >= ?");
        give_up.Bind(1, now).Bind(2, int64_t{kMaxAttempts}).Step();
        Statement st(db_, (std::string("UPDATE jobs SET state = 'verifying', worker = ?1, lease_until = ?2,"
                                       " attempts = attempts + 1 WHERE id = (SELECT id FROM jobs WHERE"
                                       " state = 'queued' OR (state = 'verifying' AND lease_until < ?3)"
                                       " ORDER BY id LIMIT 1) RETURNING ") +
                           kJobColumns + ", replay")
                              .c_str());
        if (!st.Bind(1, worker).Bind(2, now + leaseSeconds).Bind(3, now).Step()) return std::nullopt;
        Job job = ReadJob(st);
        job.replay = st.Text(7);
        return job;
    }

    bool Accept(const Job& job, const std::string& worker, const std::string& version,
                const std::vector<ModeProof>& proofs, const std::string& date) override {
        std::lock_guard lock(mutex_);
        Exec("BEGIN IMMEDIATE");
        try {
            std::string keyHash;
            if (!Holds(job.id, worker, keyHash)) {
                Exec("ROLLBACK");
                return false;
            }
            Statement owner(db_, "SELECT key_hash FROM players WHERE name = ?");
            if (owner.Bind(1, job.name).Step() && owner.Text(0) != keyHash) {
                Statement refuse(db_,
                                 "UPDATE jobs SET state = 'refused', reason = ?, replay = NULL WHERE id = ?");
                refuse.Bind(1, "the name '" + job.name + "' belongs to another player's key")
                    .Bind(2, job.id)
                    .Step();
                Exec("COMMIT");
                return true;
            }
            Statement player(db_,
                             "INSERT INTO players(name, key_hash) VALUES(?, ?) ON CONFLICT(name) DO NOTHING");
            player.Bind(1, job.name).Bind(2, keyHash).Step();
            for (const ModeProof& p : proofs) {
                Statement entry(db_,
                                "INSERT OR REPLACE INTO entries(hash, mode, name, speed, date, version, plot)"
                                " VALUES(?, ?, ?, ?, ?, ?, ?)");
                entry.Bind(1, job.hash)
                    .Bind(2, int64_t{p.mode})
                    .Bind(3, job.name)
                    .Bind(4, p.speed)
                    .Bind(5, date)
                    .Bind(6, version)
                    .Bind(7, PlotText(p.plot))
                    .Step();
            }
            Statement done(db_, "UPDATE jobs SET state = 'accepted', version = ? WHERE id = ?");
            done.Bind(1, version).Bind(2, job.id).Step();
            Exec("COMMIT");
            return true;
        } catch (...) {
            Exec("ROLLBACK");
            throw;
        }
    }

    bool Refuse(const Job& job, const std::string& worker, const std::string& reason) override {
        std::lock_guard lock(mutex_);
        Statement st(
            db_,
            "UPDATE jobs SET state = 'refused', reason = ?, replay = NULL WHERE id = ? AND worker = ?"
            " AND state = 'verifying' RETURNING id");
        return st.Bind(1, reason).Bind(2, job.id).Bind(3, worker).Step();
    }

    std::optional<std::string> Replay(const std::string& hash) override {
        std::lock_guard lock(mutex_);
        Statement st(db_, "SELECT replay FROM jobs WHERE hash = ? AND state = 'accepted'");
        if (!st.Bind(1, hash).Step()) return std::nullopt;
        return st.Text(0);
    }

    std::vector<Entry> Top(int mode, int limit) override {
        std::lock_guard lock(mutex_);
        Statement st(db_,
                     "SELECT e.hash, e.name, e.date, e.mode, e.speed, e.version, e.plot FROM entries e"
                     " JOIN players p ON p.name = e.name WHERE e.mode = ? AND e.hidden = 0 AND p.hidden = 0"
                     " ORDER BY e.speed DESC, e.date, e.hash LIMIT ?");
        st.Bind(1, int64_t{mode}).Bind(2, int64_t{limit});
        std::vector<Entry> top;
        while (st.Step()) top.push_back(ReadEntry(st));
        return top;
    }

    std::optional<Entry> FindEntry(const std::string& hash, int mode) override {
        std::lock_guard lock(mutex_);
        Statement st(db_,
                     "SELECT e.hash, e.name, e.date, e.mode, e.speed, e.version, e.plot FROM entries e"
                     " JOIN players p ON p.name = e.name WHERE e.hash = ? AND e.mode = ? AND e.hidden = 0"
                     " AND p.hidden = 0");
        if (!st.Bind(1, hash).Bind(2, int64_t{mode}).Step()) return std::nullopt;
        return ReadEntry(st);
    }

    void HideRun(const std::string& hash) override {
        std::lock_guard lock(mutex_);
        Statement(db_, "UPDATE entries SET hidden = 1 WHERE hash = ?").Bind(1, hash).Step();
    }
    void HideName(const std::string& name) override {
        std::lock_guard lock(mutex_);
        Statement(db_, "UPDATE players SET hidden = 1 WHERE name = ?").Bind(1, name).Step();
    }

private:
    static Entry ReadEntry(Statement& st) {
        Entry e;
        e.hash = st.Text(0);
        e.name = st.Text(1);
        e.date = st.Text(2);
        e.mode = static_cast<int>(st.Int(3));
        e.speed = st.Int(4);
        e.version = st.Text(5);
        e.plot = ParsePlotText(st.Text(6));
        return e;
    }

    // Whether worker still holds the job's claim; keyHash is the submitter's key.
    bool Holds(int64_t id, const std::string& worker, std::string& keyHash) {
        Statement st(db_, "SELECT key_hash FROM jobs WHERE id = ? AND worker = ? AND state = 'verifying'");
        if (!st.Bind(1, id).Bind(2, worker).Step()) return false;
        keyHash = st.Text(0);
        return true;
    }

    void Exec(const char* sql) {
        char* error = nullptr;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
            std::string why = error != nullptr ? error : "unknown error";
            sqlite3_free(error);
            throw std::runtime_error(path_ + ": " + why);
        }
    }

    std::string path_;
    sqlite3* db_ = nullptr;
    std::mutex mutex_;
};

}  // namespace

std::unique_ptr<Store> OpenSqliteStore(const std::string& path) {
    return std::make_unique<SqliteStore>(path);
}

}  // namespace board
