#include "board.hpp"

#include <httplib.h>
#include <openssl/evp.h>

#include <ctime>
#include <nlohmann/json.hpp>

#include "desktop/ini_lines.hpp"
#include "page.hpp"

namespace board {

namespace {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr int kTopLimit = 50;
constexpr int kMaxWaitSeconds = 60;

void Answer(httplib::Response& res, int status, const json& body) {
    res.status = status;
    res.set_content(body.dump(), "application/json");
}

void Fail(httplib::Response& res, int status, const std::string& error) {
    Answer(res, status, {{"error", error}});
}

bool IsHash(const std::string& s) {
    if (s.size() != 64) return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

// The replay's game version from its first two lines, or why it is no replay.
std::string ReplayVersion(const std::string& replay, std::string& version) {
    size_t start = replay.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    const size_t end1 = replay.find('\n', start);
    if (end1 == std::string::npos || replay.compare(start, 17, "# grappix replay ") != 0)
        return "not a replay";
    const size_t end2 = replay.find('\n', end1 + 1);
    const std::string line =
        replay.substr(end1 + 1, end2 == std::string::npos ? std::string::npos : end2 - end1 - 1);
    if (line.rfind("version ", 0) != 0) return "a replay without its version line";
    version = line.substr(8, line.find(' ', 8) - 8);
    if (version.empty() || version.size() > 32) return "a replay without its version line";
    for (char c : version)
        if (!((c >= '0' && c <= '9') || c == '.')) return "a replay whose version is no version number";
    return {};
}

json JobJson(const Job& job) {
    json j = {{"job", job.id}, {"state", JobStateName(job.state)}, {"name", job.name}, {"hash", job.hash}};
    if (job.state == JobState::Refused) j["reason"] = job.reason;
    if (job.state == JobState::Accepted) j["version"] = job.version;
    return j;
}

int JobStatus(const Job& job) {
    switch (job.state) {
    case JobState::Accepted: return 200;
    case JobState::Refused: return 422;
    default: return 202;
    }
}

}  // namespace

std::string NameFault(const std::string& name) {
    if (name.empty()) return "a name is needed";
    if (name.size() > 24) return "a name has at most 24 characters";
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E)
            return "a name holds printable characters only (letters, digits, punctuation)";
        if (c == '<' || c == '>' || c == '&' || c == '"' || c == '\'')
            return "a name holds no markup (< > & \" ')";
    }
    if (name.front() == ' ' || name.back() == ' ') return "a name neither starts nor ends with a blank";
    return {};
}

std::string KeyFault(const std::string& key) {
    if (key.size() < 16 || key.size() > 128) return "a key has 16 to 128 characters";
    for (char c : key)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' ||
              c == '_'))
            return "a key holds letters, digits, '-' and '_' only";
    return {};
}

std::string Sha256Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr);
    static const char* kHex = "0123456789abcdef";
    std::string hex;
    for (unsigned i = 0; i < size; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

Board::Board(Store& store, const Verifiers& verifiers, BoardOptions options)
    : store_(store), verifiers_(verifiers), options_(std::move(options)) {}

Board::~Board() { StopWorkers(); }

bool Board::Allow(const std::string& address, bool submit) {
    std::lock_guard lock(rateMutex_);
    const auto now = Clock::now();
    auto within = [&](auto& table, int limit) {
        auto& times = table[address];
        while (!times.empty() && now - times.front() > std::chrono::minutes(1)) times.pop_front();
        if (static_cast<int>(times.size()) >= limit) return false;
        times.push_back(now);
        return true;
    };
    if (requests_.size() > 100000) requests_.clear();  // a flood of addresses forgets, not grows
    if (submits_.size() > 100000) submits_.clear();
    return within(requests_, options_.requestsPerMinute) &&
           (!submit || within(submits_, options_.submitsPerMinute));
}

void Board::Wake() {
    std::lock_guard lock(doneMutex_);
    done_.notify_all();
}

void Board::Routes(httplib::Server& server) {
    server.set_payload_max_length(options_.maxUpload);
    server.set_read_timeout(10);
    server.set_write_timeout(10);
    server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        const bool submit = req.method == "POST" && req.path == "/api/submit";
        if (Allow(req.remote_addr, submit)) return httplib::Server::HandlerResponse::Unhandled;
        Fail(res, 429,
             submit ? "too many submissions from this address: at most " +
                          std::to_string(options_.submitsPerMinute) + " a minute"
                    : "too many requests from this address: at most " +
                          std::to_string(options_.requestsPerMinute) + " a minute");
        return httplib::Server::HandlerResponse::Handled;
    });
    server.set_error_handler([this](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty()) return;
        if (res.status == 413)
            Fail(res, 413, "the upload is larger than " + std::to_string(options_.maxUpload) + " bytes");
        else if (res.status == 404)
            Fail(res, 404, "no such page");
        else
            Fail(res, res.status, "the request could not be served");
    });
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        Fail(res, 500, "the board failed to answer; nothing was stored");
    });

    server.Post("/api/submit", [this](const httplib::Request& req, httplib::Response& res) {
        if (!req.is_multipart_form_data() || !req.has_file("replay"))
            return Fail(res, 400, "send multipart/form-data with the fields replay (the file), name and key");
        Submission s;
        s.replay = req.get_file_value("replay").content;
        s.name = req.has_file("name") ? req.get_file_value("name").content : std::string();
        const std::string key = req.has_file("key") ? req.get_file_value("key").content : std::string();
        if (std::string why = NameFault(s.name); !why.empty()) return Fail(res, 400, "name: " + why);
        if (std::string why = KeyFault(key); !why.empty()) return Fail(res, 400, "key: " + why);
        std::string version;
        if (std::string why = ReplayVersion(s.replay, version); !why.empty())
            return Fail(res, 400, "replay: " + why);
        if (verifiers_.For(version).empty())
            return Fail(res, 422,
                        "replay: made by version " + version +
                            " of the game, which this board does not verify (it verifies " +
                            verifiers_.Known() + ")");
        s.hash = Sha256Hex(s.replay);
        s.keyHash = Sha256Hex(key);
        s.address = req.remote_addr;
        std::string refusal;
        Job job = store_.Submit(s, refusal);
        if (!refusal.empty()) return Fail(res, 403, refusal);
        const int wait = req.has_param("wait")
                             ? std::clamp(std::atoi(req.get_param_value("wait").c_str()), 0, kMaxWaitSeconds)
                             : 0;
        const auto deadline = Clock::now() + std::chrono::seconds(wait);
        while (JobStatus(job) == 202 && Clock::now() < deadline) {
            {
                std::unique_lock lock(doneMutex_);
                done_.wait_for(lock, std::chrono::milliseconds(100));
            }
            if (std::optional<Job> now = store_.FindJob(job.id)) job = *now;
        }
        Answer(res, JobStatus(job), JobJson(job));
    });

    server.Get(R"(/api/job/(\d{1,18}))", [this](const httplib::Request& req, httplib::Response& res) {
        std::optional<Job> job = store_.FindJob(std::stoll(req.matches[1]));
        if (!job) return Fail(res, 404, "no such job");
        Answer(res, 200, JobJson(*job));
    });

    server.Get(R"(/api/top/([a-z-]{1,16}))", [this](const httplib::Request& req, httplib::Response& res) {
        const int mode = ModeIndex(req.matches[1]);
        if (mode < 0) return Fail(res, 404, "no such mode (normal, no-block or free-style)");
        int limit = kTopLimit;
        if (req.has_param("limit"))
            limit = std::clamp(std::atoi(req.get_param_value("limit").c_str()), 1, kTopLimit);
        json list = json::array();
        int rank = 0;
        for (const Entry& e : store_.Top(mode, limit))
            list.push_back({{"rank", ++rank},
                            {"name", e.name},
                            {"speed", e.speed},
                            {"date", e.date},
                            {"version", e.version},
                            {"replay", "/replay/" + e.hash},
                            {"page", std::string("/run/") + e.hash + "/" + ModeName(mode)}});
        Answer(res, 200, list);
    });

    server.Get(R"(/replay/([0-9a-f]{64}))", [this](const httplib::Request& req, httplib::Response& res) {
        std::optional<std::string> replay = store_.Replay(req.matches[1]);
        if (!replay) return Fail(res, 404, "no such run");
        res.set_header("Content-Disposition",
                       "attachment; filename=\"" + std::string(req.matches[1]) + ".replay\"");
        res.set_content(*replay, "application/octet-stream");
    });

    server.Get("/", [this](const httplib::Request&, httplib::Response& res) {
        std::array<std::vector<Entry>, kModes> tops;
        for (int m = 0; m < kModes; ++m) tops[static_cast<size_t>(m)] = store_.Top(m, kTopLimit);
        res.set_content(BoardPage(tops), "text/html; charset=utf-8");
    });

    auto entryOf = [this](const httplib::Request& req) -> std::optional<Entry> {
        const int mode = ModeIndex(req.matches[2]);
        if (!IsHash(req.matches[1]) || mode < 0) return std::nullopt;
        return store_.FindEntry(req.matches[1], mode);
    };
    server.Get(R"(/run/([0-9a-f]{64})/([a-z-]{1,16}))",
               [entryOf](const httplib::Request& req, httplib::Response& res) {
                   std::optional<Entry> e = entryOf(req);
                   if (!e) return Fail(res, 404, "no such run");
                   res.set_content(RunPage(*e), "text/html; charset=utf-8");
               });
    server.Get(R"(/plot/([0-9a-f]{64})/([a-z-]{1,16})\.svg)",
               [entryOf](const httplib::Request& req, httplib::Response& res) {
                   std::optional<Entry> e = entryOf(req);
                   if (!e) return Fail(res, 404, "no such run");
                   res.set_content(PlotSvg(*e), "image/svg+xml");
               });
}

bool Board::WorkOnce(const std::string& worker) {
    std::optional<Job> job = store_.Claim(worker, options_.leaseSeconds);
    if (!job) return false;
    std::string version;
    const std::string why = ReplayVersion(job->replay, version);
    const std::string program = why.empty() ? verifiers_.For(version) : std::string();
    if (program.empty()) {
        store_.Refuse(
            *job, worker,
            why.empty() ? "made by version " + version + ", which this board does not verify" : why);
    } else {
        const Verdict v = RunVerifier(program, job->replay, options_.scratch, options_.limits);
        if (!v.verified)
            store_.Refuse(*job, worker, v.fault);
        else if (v.proofs.empty())
            store_.Refuse(*job, worker, "the run holds no speed in any mode");
        else
            store_.Accept(*job, worker, v.version, v.proofs, grappix::IniUtcNow());
    }
    Wake();
    return true;
}

void Board::StartWorkers(int count, const std::string& name) {
    for (int i = 0; i < count; ++i)
        workers_.emplace_back([this, id = name + "-" + std::to_string(i)] {
            while (!stopping_) {
                bool worked = false;
                try {
                    worked = WorkOnce(id);
                } catch (const std::exception& e) {
                    std::fprintf(stderr, "grappix-board: %s: %s\n", id.c_str(), e.what());
                }
                if (!worked) {
                    std::unique_lock lock(doneMutex_);
                    done_.wait_for(lock, std::chrono::milliseconds(200));
                }
            }
        });
}

void Board::StopWorkers() {
    stopping_ = true;
    Wake();
    for (std::thread& t : workers_) t.join();
    workers_.clear();
}

}  // namespace board
