// The board: the HTTP API and page over a Store, and the workers that verify what is submitted.
//
//   POST /api/submit            multipart: replay (the file), name, key; ?wait=S waits up to S
//                               seconds (at most 60) for the verdict. 202 queued {job, state},
//                               200 accepted, 422 refused {reason}; 400 a bad field or no
//                               replay, 403 a name held by another key, 413 too large, 429 too
//                               many from one address
//   GET  /api/job/ID            the job: {job, state, reason, name, hash, version}
//   GET  /api/top/MODE          normal | no-block | free-style: [{rank, name, speed, date,
//                               version, replay, page}], ?limit=N (at most 50)
//   GET  /replay/HASH           an accepted run's replay
//   GET  /                      the page: the top 50 of each mode
//   GET  /run/HASH/MODE         a run's page with its plot; /plot/HASH/MODE.svg the plot alone
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "store.hpp"
#include "verifier.hpp"

namespace httplib {
class Server;
}

namespace board {

struct BoardOptions {
    std::string scratch;                 // where verifications get their scratch folders
    size_t maxUpload = size_t{1} << 20;  // a whole request's body
    int submitsPerMinute = 12;           // from one address
    int requestsPerMinute = 600;         // from one address, everything counted
    int64_t leaseSeconds = 180;          // a worker's hold on a job (longer than a verification's limits)
    Limits limits;
};

// A player's name: 1 to 24 printable ASCII characters, no markup (< > & " '), no blanks at its
// ends. Returns "" or why not.
std::string NameFault(const std::string& name);
// A player's key: 16 to 128 letters, digits, '-' or '_'.
std::string KeyFault(const std::string& key);
// Lowercase hex SHA-256.
std::string Sha256Hex(const std::string& bytes);

class Board {
public:
    Board(Store& store, const Verifiers& verifiers, BoardOptions options);
    ~Board();

    void Routes(httplib::Server& server);
    // Verifies one job if one is waiting; false when none was.
    bool WorkOnce(const std::string& worker);
    void StartWorkers(int count, const std::string& name);
    void StopWorkers();

private:
    bool Allow(const std::string& address, bool submit);
    void Wake();

    Store& store_;
    const Verifiers& verifiers_;
    BoardOptions options_;
    std::mutex rateMutex_;
    std::map<std::string, std::deque<std::chrono::steady_clock::time_point>> requests_, submits_;
    std::mutex doneMutex_;
    std::condition_variable done_;  // a job got its verdict
    std::atomic<bool> stopping_{false};
    std::vector<std::thread> workers_;
};

}  // namespace board
