// The board in PostgreSQL: any number of servers and workers on one database. A job is claimed
// with FOR UPDATE SKIP LOCKED, so two workers never take one; a claim is a lease, and a worker
// that dies leaves its job to be taken again once the lease has run out.
#include <pqxx/pqxx>

#include <mutex>

#include "plot_text.hpp"
#include "store.hpp"

namespace board {

namespace {

constexpr int kMaxAttempts = 3;

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS players(name TEXT PRIMARY KEY, key_hash TEXT NOT NULL,"
    " hidden BOOLEAN NOT NULL DEFAULT FALSE);"
    "CREATE TABLE IF NOT EXISTS jobs(id BIGSERIAL PRIMARY KEY, hash TEXT NOT NULL UNIQUE, name TEXT NOT NULL,"
    " key_hash TEXT NOT NULL, address TEXT NOT NULL, state TEXT NOT NULL, reason TEXT NOT NULL DEFAULT '',"
    " version TEXT NOT NULL DEFAULT '', worker TEXT NOT NULL DEFAULT '',"
    " lease_until TIMESTAMPTZ NOT NULL DEFAULT 'epoch', attempts INTEGER NOT NULL DEFAULT 0, replay BYTEA);"
    "CREATE INDEX IF NOT EXISTS jobs_waiting ON jobs(state, id);"
    "CREATE TABLE IF NOT EXISTS entries(hash TEXT NOT NULL, mode INTEGER NOT NULL, name TEXT NOT NULL,"
    " speed BIGINT NOT NULL, date TEXT NOT NULL, version TEXT NOT NULL, plot TEXT NOT NULL,"
    " hidden BOOLEAN NOT NULL DEFAULT FALSE, PRIMARY KEY(hash, mode));"
    "CREATE INDEX IF NOT EXISTS entries_top ON entries(mode, speed DESC, date);";

const std::string kJobColumns = "id, hash, name, state, reason, version, attempts";

std::string Hex(const std::string& bytes) {
    static const char* kHex = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        hex += kHex[c >> 4];
        hex += kHex[c & 15];
    }
    return hex;
}

std::string Unhex(const std::string& hex) {
    auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(nibble(hex[i]) * 16 + nibble(hex[i + 1]));
    return bytes;
}

Job ReadJob(const pqxx::row& r) {
    Job job;
    job.id = r[0].as<int64_t>();
    job.hash = r[1].as<std::string>();
    job.name = r[2].as<std::string>();
    const std::string state = r[3].as<std::string>();
    for (JobState s : {JobState::Queued, JobState::Verifying, JobState::Accepted, JobState::Refused})
        if (state == JobStateName(s)) job.state = s;
    job.reason = r[4].as<std::string>();
    job.version = r[5].as<std::string>();
    job.attempts = r[6].as<int>();
    return job;
}

Entry ReadEntry(const pqxx::row& r) {
    Entry e;
    e.hash = r[0].as<std::string>();
    e.name = r[1].as<std::string>();
    e.date = r[2].as<std::string>();
    e.mode = r[3].as<int>();
    e.speed = r[4].as<int64_t>();
    e.version = r[5].as<std::string>();
    e.plot = ParsePlotText(r[6].as<std::string>());
    return e;
}

const std::string kEntryQuery =
    "SELECT e.hash, e.name, e.date, e.mode, e.speed, e.version, e.plot FROM entries e"
    " JOIN players p ON p.name = e.name WHERE NOT e.hidden AND NOT p.hidden ";

class PgStore : public Store {
public:
    explicit PgStore(const std::string& url) : db_(url) {
        pqxx::work w(db_);
        w.exec("SELECT pg_advisory_xact_lock(724501)");  // servers starting together make the tables once
        w.exec(kSchema);
        w.commit();
    }

    Job Submit(const Submission& s, std::string& refusal) override {
        std::lock_guard lock(mutex_);
        refusal.clear();
        pqxx::work w(db_);
        pqxx::result owner = w.exec_params("SELECT key_hash FROM players WHERE name = $1", s.name);
        if (!owner.empty() && owner[0][0].as<std::string>() != s.keyHash) {
            refusal = "the name '" + s.name + "' belongs to another player's key";
            return {};
        }
        const std::string replay = Hex(s.replay);
        w.exec_params(
            "UPDATE jobs SET state = 'queued', reason = '', attempts = 0, name = $2, key_hash = $3, address "
            "= $4,"
            " replay = decode($5, 'hex') WHERE hash = $1 AND state = 'refused'",
            s.hash, s.name, s.keyHash, s.address, replay);
        w.exec_params(
            "INSERT INTO jobs(hash, name, key_hash, address, state, replay) VALUES($1, $2, $3, $4, 'queued',"
            " decode($5, 'hex')) ON CONFLICT(hash) DO NOTHING",
            s.hash, s.name, s.keyHash, s.address, replay);
        Job job = ReadJob(w.exec_params1("SELECT " + kJobColumns + " FROM jobs WHERE hash = $1", s.hash));
        w.commit();
        return job;
    }

    std::optional<Job> FindJob(int64_t id) override {
        std::lock_guard lock(mutex_);
        pqxx::read_transaction w(db_);
        pqxx::result r = w.exec_params("SELECT " + kJobColumns + " FROM jobs WHERE id = $1", id);
        if (r.empty()) return std::nullopt;
        return ReadJob(r[0]);
    }

    std::optional<Job> Claim(const std::string& worker, int64_t leaseSeconds) override {
        std::lock_guard lock(mutex_);
        pqxx::work w(db_);
        w.exec_params(
            "UPDATE jobs SET state = 'refused', reason = 'verification did not finish in 3 tries', replay = "
            "NULL"
            " WHERE state = 'verifying' AND lease_until < now() AND attempts >= $1",
            kMaxAttempts);
        pqxx::result r = w.exec_params(
            "UPDATE jobs SET state = 'verifying', worker = $1, lease_until = now() + make_interval(secs => "
            "$2),"
            " attempts = attempts + 1 WHERE id = (SELECT id FROM jobs WHERE state = 'queued' OR"
            " (state = 'verifying' AND lease_until < now()) ORDER BY id LIMIT 1 FOR UPDATE SKIP LOCKED)"
            " RETURNING " +
                kJobColumns + ", encode(replay, 'hex')",
            worker, static_cast<double>(leaseSeconds));
        w.commit();
        if (r.empty()) return std::nullopt;
        Job job = ReadJob(r[0]);
        job.replay = Unhex(r[0][7].as<std::string>(""));
        return job;
    }

    bool Accept(const Job& job, const std::string& worker, const std::string& version,
                const std::vector<ModeProof>& proofs, const std::string& date) override {
        std::lock_guard lock(mutex_);
        pqxx::work w(db_);
        pqxx::result held = w.exec_params(
            "SELECT key_hash FROM jobs WHERE id = $1 AND worker = $2 AND state = 'verifying' FOR UPDATE",
            job.id, worker);
        if (held.empty()) return false;
        const std::string keyHash = held[0][0].as<std::string>();
        w.exec_params("INSERT INTO players(name, key_hash) VALUES($1, $2) ON CONFLICT(name) DO NOTHING",
                      job.name, keyHash);
        if (w.exec_params1("SELECT key_hash FROM players WHERE name = $1", job.name)[0].as<std::string>() !=
            keyHash) {
            w.exec_params("UPDATE jobs SET state = 'refused', reason = $2, replay = NULL WHERE id = $1",
                          job.id, "the name '" + job.name + "' belongs to another player's key");
            w.commit();
            return true;
        }
        for (const ModeProof& p : proofs)
            w.exec_params(
                "INSERT INTO entries(hash, mode, name, speed, date, version, plot) VALUES($1, $2, $3, $4, "
                "$5, $6, $7)"
                " ON CONFLICT(hash, mode) DO UPDATE SET speed = EXCLUDED.speed, plot = EXCLUDED.plot",
                job.hash, p.mode, job.name, p.speed, date, version, PlotText(p.plot));
        w.exec_params("UPDATE jobs SET state = 'accepted', version = $2 WHERE id = $1", job.id, version);
        w.commit();
        return true;
    }

    bool Refuse(const Job& job, const std::string& worker, const std::string& reason) override {
        std::lock_guard lock(mutex_);
        pqxx::work w(db_);
        pqxx::result r = w.exec_params(
            "UPDATE jobs SET state = 'refused', reason = $3, replay = NULL WHERE id = $1 AND worker = $2"
            " AND state = 'verifying' RETURNING id",
            job.id, worker, reason);
        w.commit();
        return !r.empty();
    }

    std::optional<std::string> Replay(const std::string& hash) override {
        std::lock_guard lock(mutex_);
        pqxx::read_transaction w(db_);
        pqxx::result r = w.exec_params(
            "SELECT encode(replay, 'hex') FROM jobs WHERE hash = $1 AND state = 'accepted'", hash);
        if (r.empty()) return std::nullopt;
        return Unhex(r[0][0].as<std::string>(""));
    }

    std::vector<Entry> Top(int mode, int limit) override {
        std::lock_guard lock(mutex_);
        pqxx::read_transaction w(db_);
        std::vector<Entry> top;
        for (const pqxx::row& r : w.exec_params(
                 kEntryQuery + "AND e.mode = $1 ORDER BY e.speed DESC, e.date, e.hash LIMIT $2", mode, limit))
            top.push_back(ReadEntry(r));
        return top;
    }

    std::optional<Entry> FindEntry(const std::string& hash, int mode) override {
        std::lock_guard lock(mutex_);
        pqxx::read_transaction w(db_);
        pqxx::result r = w.exec_params(kEntryQuery + "AND e.hash = $1 AND e.mode = $2", hash, mode);
        if (r.empty()) return std::nullopt;
        return ReadEntry(r[0]);
    }

    void HideRun(const std::string& hash) override {
        Exec("UPDATE entries SET hidden = TRUE WHERE hash = $1", hash);
    }
    void HideName(const std::string& name) override {
        Exec("UPDATE players SET hidden = TRUE WHERE name = $1", name);
    }

private:
    void Exec(const std::string& sql, const std::string& arg) {
        std::lock_guard lock(mutex_);
        pqxx::work w(db_);
        w.exec_params(sql, arg);
        w.commit();
    }

    pqxx::connection db_;
    std::mutex mutex_;
};

}  // namespace

std::unique_ptr<Store> OpenPostgresStore(const std::string& url) { return std::make_unique<PgStore>(url); }

}  // namespace board
