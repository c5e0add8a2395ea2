// The board under load, on this machine over loopback: N five-minute runs (different seeds)
// submitted at once to a board on SQLite (one server, two workers) and on PostgreSQL (two
// servers, two workers, each on its own connection), while a client asks for a top list
// without pause. Prints runs verified per second per core, against `grappix --verify` run
// alone one run after another in the same process (the baseline), and the top list's
// latency (median, p99) under load against the same board idle.
//
// Run: build/board/bench/board_load [runs] [minutes]   (default 1000 runs; bounded: a store's
// round ends after that many minutes, 30 by default, whatever is left)
#include <httplib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include <nlohmann/json.hpp>

#include "board.hpp"
#include "pg_server.hpp"
#include "support/process.hpp"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Five minutes of Normal: the scripted game's opening and play, then idle until step 18000.
std::vector<std::string> RecordRuns(int count, const grappix::test::TempDir& dir) {
    std::string script =
        grappix::test::ReadFile(std::string(GRAPPIX_SOURCE_DIR) + "/tests/games/normal.script");
    script.replace(script.find("3000 quit"), 9, "18000 quit");
    std::vector<std::string> runs(static_cast<size_t>(count));
    std::atomic<int> next{0};
    auto record = [&] {
        for (int i; (i = next++) < count;) {
            const std::string base = dir / ("run" + std::to_string(i));
            std::string seeded = script;
            seeded.replace(seeded.find("seed 101"), 8, "seed " + std::to_string(5000 + i));
            grappix::test::WriteFile(base + ".script", seeded);
            grappix::test::Env env = grappix::test::HeadlessGameEnv(dir);
            // No trace: a five-minute game's is 40 MB, and recording it took two thirds of the time.
            env.erase(std::remove_if(env.begin(), env.end(),
                                     [](const auto& v) { return v.first == "BRISEL_TRACE"; }),
                      env.end());
            env.push_back({"BRISEL_NODRAW", "1"});
            env.push_back({"BRISEL_INPUT", base + ".script"});
            grappix::test::RunProcess({GRAPPIX_EXE, "--record", base + ".replay"}, GRAPPIX_RUN_DIR, env,
                                      600.0);
            runs[static_cast<size_t>(i)] = grappix::test::ReadFile(base + ".replay");
        }
    };
    std::thread a(record), b(record);
    a.join();
    b.join();
    return runs;
}

struct Latency {
    double median = 0, p99 = 0;
};
Latency Percentiles(std::vector<double> ms) {
    if (ms.empty()) return {};
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)]};
}

std::vector<double> AskTop(int port, const std::atomic<bool>& stop, int atMost) {
    httplib::Client client("127.0.0.1", port);
    std::vector<double> ms;
    while (!stop && static_cast<int>(ms.size()) < atMost) {
        const auto t = Clock::now();
        if (!client.Get("/api/top/normal")) continue;
        ms.push_back(Seconds(Clock::now() - t) * 1000);
    }
    return ms;
}

struct Served {
    std::unique_ptr<board::Store> store;
    std::unique_ptr<board::Board> board;
    httplib::Server server;
    std::thread thread;
    int port = 0;
    Served(std::unique_ptr<board::Store> s, const board::Verifiers& v, const std::string& scratch,
           int workers, bool serve) {
        store = std::move(s);
        board::BoardOptions o;
        o.scratch = scratch;
        o.submitsPerMinute = 1 << 30;
        o.requestsPerMinute = 1 << 30;
        board = std::make_unique<board::Board>(*store, v, o);
        if (serve) {
            board->Routes(server);
            port = server.bind_to_any_port("127.0.0.1");
            thread = std::thread([this] { server.listen_after_bind(); });
            while (!server.is_running()) std::this_thread::yield();
        }
        board->StartWorkers(workers, "bench-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
    }
    ~Served() {
        board->StopWorkers();
        if (thread.joinable()) {
            server.stop();
            thread.join();
        }
    }
};

// Submits every run to the servers in turn, then waits for every verdict; asks for the top
// list meanwhile. Returns the wall time from the first submission to the last verdict.
double Round(const char* what, std::vector<Served*> servers, const std::vector<std::string>& runs, int cores,
             double baselinePerCore, const Latency& idle, int minutes) {
    std::atomic<bool> stop{false};
    std::vector<double> ms;
    std::thread asker([&] { ms = AskTop(servers[0]->port, stop, 1 << 30); });
    const auto start = Clock::now();
    std::vector<std::pair<Served*, int64_t>> jobs;
    for (size_t i = 0; i < runs.size(); ++i) {
        Served* s = servers[i % servers.size()];
        httplib::Client client("127.0.0.1", s->port);
        httplib::MultipartFormDataItems form = {
            {"replay", runs[i], "run.replay", ""},
            {"name", "Bench " + std::to_string(i % 50), "", ""},
            {"key", "bench-key-" + std::to_string(i % 50) + "-0123456789", "", ""}};
        httplib::Result r = client.Post("/api/submit", form);
        if (r && r->status == 202)
            jobs.emplace_back(s, nlohmann::json::parse(r->body)["job"].get<int64_t>());
        else if (jobs.size() + 5 > i)  // the first few answered otherwise, said
            std::printf("           not queued: %d %s\n", r ? r->status : -1,
                        r ? r->body.c_str() : "no answer");
    }
    int accepted = 0, refused = 0;
    const auto deadline = start + std::chrono::minutes(minutes);
    for (auto& [s, id] : jobs) {
        while (Clock::now() < deadline) {
            std::optional<board::Job> job = s->store->FindJob(id);
            if (job && job->state == board::JobState::Accepted) {
                ++accepted;
                break;
            }
            if (job && job->state == board::JobState::Refused) {
                if (refused++ < 5) std::printf("           refused: %s\n", job->reason.c_str());
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    const double wall = Seconds(Clock::now() - start);
    stop = true;
    asker.join();
    const Latency load = Percentiles(ms);
    const double perCore = accepted / wall / cores;
    std::printf(
        "%-10s %4zu submitted, %4d accepted, %d refused in %.1f s: %.3f runs/s/core (x%.2f of the bare "
        "verifier)\n"
        "           top list under load: median %.2f ms (x%.1f idle), p99 %.2f ms (x%.1f idle), %zu asked\n",
        what, runs.size(), accepted, refused, wall, perCore, perCore / baselinePerCore, load.median,
        load.median / idle.median, load.p99, load.p99 / idle.p99, ms.size());
    return wall;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(2, std::atoi(argv[1])) : 1000;
    const int minutes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 30;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as it comes, even if stopped
    const int cores = std::min(2, static_cast<int>(std::thread::hardware_concurrency()));
    grappix::test::TempDir dir;
    fs::permissions(dir.Path(), fs::perms::others_exec, fs::perm_options::add);
    auto t = Clock::now();
    const std::vector<std::string> runs = RecordRuns(count, dir);
    std::printf(
        "recorded %d five-minute runs (%zu bytes each on average) in %.1f s\n", count,
        [&] {
            size_t all = 0;
            for (const std::string& r : runs) all += r.size();
            return all / runs.size();
        }(),
        Seconds(Clock::now() - t));

    const board::Verifiers verifiers({GRAPPIX_EXE});
    // The baseline: the verifier alone, in the same sandbox, one run after another.
    const int bare = std::min(count, 10);
    t = Clock::now();
    for (int i = 0; i < bare; ++i)
        board::RunVerifier(GRAPPIX_EXE, runs[static_cast<size_t>(i)], dir.Path(), {});
    const double baselinePerCore = bare / Seconds(Clock::now() - t);
    std::printf("bare verifier: %.3f runs/s on one core\n", baselinePerCore);

    {
        Served one(board::OpenSqliteStore(dir / "board.sqlite"), verifiers, dir.Path(), 2, true);
        std::atomic<bool> never{false};
        const Latency idle = Percentiles(AskTop(one.port, never, 200));
        Round("SQLite", {&one}, runs, cores, baselinePerCore, idle, minutes);
    }
    std::string why;
    board::test::PgServer* pg = board::test::PgServer::Shared(why);
    if (pg == nullptr) {
        std::printf("PostgreSQL: skipped (%s)\n", why.c_str());
        return 0;
    }
    const std::string url = pg->NewDatabase();
    Served a(board::OpenPostgresStore(url), verifiers, dir.Path(), 0, true);
    Served b(board::OpenPostgresStore(url), verifiers, dir.Path(), 0, true);
    std::atomic<bool> never{false};
    const Latency idle = Percentiles(AskTop(a.port, never, 200));
    Served w1(board::OpenPostgresStore(url), verifiers, dir.Path(), 1, false);
    Served w2(board::OpenPostgresStore(url), verifiers, dir.Path(), 1, false);
    Round("PostgreSQL", {&a, &b}, runs, cores, baselinePerCore, idle, minutes);
    return 0;
}
