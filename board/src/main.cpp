// grappix-board: a board of records that replays every run submitted before it lists it.
//
//   grappix-board --data DIR [--listen 127.0.0.1:PORT] [--verifier PATH]... [--workers N]
//   grappix-board --data DIR --hide-run HASH | --hide-name NAME
#include <httplib.h>
#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "board.hpp"

namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "Usage: grappix-board --data DIR [--db postgresql://...] [--listen HOST:PORT | --listen none]\n"
    "                     [--verifier PATH]... [--workers N] [--submits-per-minute N]\n"
    "                     [--max-upload BYTES]\n"
    "       grappix-board --data DIR [--db URL] --hide-run HASH | --hide-name NAME\n"
    "Serves the board of records from DIR/board.sqlite (made when missing), or from the PostgreSQL\n"
    "database --db names, which any number of servers and workers share: every run submitted is\n"
    "replayed by the game's verifier (grappix --verify) before it is listed. --workers N verifies N\n"
    "runs at a time (0: none here); --listen none makes a worker only. --verifier names a build of\n"
    "the game, one per version the board accepts (by default the grappix beside this program).\n"
    "--hide-run and --hide-name take a run or a name off the board.\n";

httplib::Server* gServer = nullptr;
volatile sig_atomic_t gStop = 0;

void Stop(int) {
    gStop = 1;
    if (gServer != nullptr) gServer->stop();
}

std::string Beside(const char* name) {
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return name;
    self[n] = '\0';
    return (fs::path(self).parent_path() / name).string();
}

int Usage(const std::string& why) {
    std::fprintf(stderr, "grappix-board: %s\n%s", why.c_str(), kUsage);
    return 2;
}

bool Count(const std::string& text, int64_t lo, int64_t hi, int64_t& out) {
    if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    out = std::stoll(text);
    return out >= lo && out <= hi;
}

}  // namespace

int main(int argc, char** argv) {
    std::string data, db, listen = "127.0.0.1:8080", hideRun, hideName;
    std::vector<std::string> verifiers;
    int64_t workers = 1;
    board::BoardOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc) return Usage("option '" + arg + "' needs a value, or is unknown");
        const std::string value = argv[++i];
        int64_t n = 0;
        if (arg == "--data")
            data = value;
        else if (arg == "--db" && value.rfind("postgresql://", 0) == 0)
            db = value;
        else if (arg == "--listen")
            listen = value;
        else if (arg == "--verifier")
            verifiers.push_back(value);
        else if (arg == "--hide-run")
            hideRun = value;
        else if (arg == "--hide-name")
            hideName = value;
        else if (arg == "--workers" && Count(value, 0, 64, n))
            workers = n;
        else if (arg == "--submits-per-minute" && Count(value, 1, 100000, n))
            options.submitsPerMinute = static_cast<int>(n);
        else if (arg == "--max-upload" && Count(value, 1024, int64_t{64} << 20, n))
            options.maxUpload = static_cast<size_t>(n);
        else
            return Usage("option '" + arg + "' with '" + value + "': unknown or out of range");
    }
    if (data.empty()) return Usage("--data DIR is needed");
    try {
        fs::create_directories(data);
        // Verifications run in scratch folders under a fresh folder the verifier's user can reach.
        const char* tmp = std::getenv("TMPDIR");
        std::string scratch =
            std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") + "/grappix-board-XXXXXX";
        if (mkdtemp(scratch.data()) == nullptr)
            throw std::runtime_error("cannot make a scratch folder in " + scratch);
        struct RemoveScratch {
            std::string path;
            ~RemoveScratch() {
                std::error_code ignored;
                fs::remove_all(path, ignored);
            }
        } removeScratch{scratch};
        fs::permissions(scratch, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        options.scratch = scratch;
        std::unique_ptr<board::Store> store =
            db.empty() ? board::OpenSqliteStore((fs::path(data) / "board.sqlite").string())
                       : board::OpenPostgresStore(db);
        if (!hideRun.empty() || !hideName.empty()) {
            if (!hideRun.empty()) store->HideRun(hideRun);
            if (!hideName.empty()) store->HideName(hideName);
            return 0;
        }
        if (verifiers.empty()) verifiers.push_back(Beside("grappix"));
        const board::Verifiers known(verifiers);
        const size_t colon = listen.rfind(':');
        int64_t port = 0;
        const bool serve = listen != "none";
        if (serve && (colon == std::string::npos || !Count(listen.substr(colon + 1), 1, 65535, port)))
            return Usage("--listen takes HOST:PORT");
        if (!serve && workers == 0) return Usage("--listen none with --workers 0 would do nothing");
        char host[256] = "";
        gethostname(host, sizeof host - 1);
        board::Board b(*store, known, options);
        httplib::Server server;
        b.Routes(server);
        b.StartWorkers(static_cast<int>(workers), std::string(host) + "-" + std::to_string(getpid()));
        gServer = &server;
        signal(SIGINT, Stop);
        signal(SIGTERM, Stop);
        signal(SIGPIPE, SIG_IGN);
        if (!serve) {
            std::fprintf(stderr, "grappix-board: verifying %s\n", known.Known().c_str());
            while (!gStop) pause();
            return 0;
        }
        if (!server.bind_to_port(listen.substr(0, colon).c_str(), static_cast<int>(port))) {
            std::fprintf(stderr, "grappix-board: cannot listen on %s\n", listen.c_str());
            return 1;
        }
        std::fprintf(stderr, "grappix-board: listening on %s, verifying %s\n", listen.c_str(),
                     known.Known().c_str());
        server.listen_after_bind();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "grappix-board: %s\n", e.what());
        return 1;
    }
}
