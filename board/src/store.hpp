// The board's records: runs submitted, their verification jobs, the runs accepted and what each
// proves per mode, the names players hold. One interface, kept in SQLite (one file in the data
// folder) or PostgreSQL (several servers and workers on one database).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace board {

inline constexpr int kModes = 3;
const char* ModeName(int mode);          // "normal", "no-block", "free-style"; null outside 0..2
int ModeIndex(const std::string& name);  // -1 for no mode

// A run as submitted: its replay is kept by content hash (lowercase hex SHA-256).
struct Submission {
    std::string hash;
    std::string name;     // the player's name, checked already
    std::string keyHash;  // SHA-256 of the player's key: the name belongs to the first key that used it
    std::string address;  // where it came from
    std::string replay;   // the file's bytes
};

// What the run proves in one mode: its best speed and the readout once a second of that game.
struct ModeProof {
    int mode = 0;
    int64_t speed = 0;
    std::vector<int64_t> plot;
};

enum class JobState { Queued, Verifying, Accepted, Refused };
const char* JobStateName(JobState state);

struct Job {
    int64_t id = 0;
    std::string hash;
    std::string name;
    JobState state = JobState::Queued;
    std::string reason;   // refused: why
    std::string version;  // the game's version that verified it
    int attempts = 0;     // claims so far (a worker that died leaves its claim to expire)
    std::string replay;   // the file's bytes, given by Claim only
};

// A run accepted on the board, as the top list shows it.
struct Entry {
    std::string hash;
    std::string name;
    std::string date;  // UTC, "2026-12-08T01:02:03Z": when it was accepted
    int mode = 0;
    int64_t speed = 0;
    std::string version;
    std::vector<int64_t> plot;
};

class Store {
public:
    virtual ~Store() = default;

    // A new job for the submission, or the job that content already has (stored once). A name
    // held by another key is refused: refusal says why, and nothing is stored.
    virtual Job Submit(const Submission& submission, std::string& refusal) = 0;
    virtual std::optional<Job> FindJob(int64_t id) = 0;
    // Takes the oldest queued job, or one whose lease has run out (its worker died), for
    // leaseSeconds; no two workers hold one job at once.
    virtual std::optional<Job> Claim(const std::string& worker, int64_t leaseSeconds) = 0;
    // The verdict of a claimed job; false when the claim was lost (its lease ran out and
    // another worker took it), and then nothing is written.
    virtual bool Accept(const Job& job, const std::string& worker, const std::string& version,
                        const std::vector<ModeProof>& proofs, const std::string& date) = 0;
    // The replay is dropped: nothing of a refused run is kept but the reason.
    virtual bool Refuse(const Job& job, const std::string& worker, const std::string& reason) = 0;
    // An accepted run's replay.
    virtual std::optional<std::string> Replay(const std::string& hash) = 0;

    // The best runs of a mode, fastest first (earlier first among equals), hidden ones left out.
    virtual std::vector<Entry> Top(int mode, int limit) = 0;
    virtual std::optional<Entry> FindEntry(const std::string& hash, int mode) = 0;
    // The host's say: a run or a name no longer listed.
    virtual void HideRun(const std::string& hash) = 0;
    virtual void HideName(const std::string& name) = 0;
};

// SQLite in the file at path (made when missing). Throws std::runtime_error naming the file.
std::unique_ptr<Store> OpenSqliteStore(const std::string& path);
// PostgreSQL at url ("postgresql://user@host:port/db"). Throws on a connection that fails.
std::unique_ptr<Store> OpenPostgresStore(const std::string& url);

}  // namespace board
