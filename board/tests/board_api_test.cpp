// The board through its HTTP API, with the real game verifying: hostile submissions each get a
// clear status and message and leave nothing stored, a run is listed with the speed its replay
// proves, and one address cannot flood it.
#include <gtest/gtest.h>
#include <httplib.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "board.hpp"
#include "support/process.hpp"

namespace board {
namespace {

using grappix::test::TempDir;

const std::string kKey = "a-players-key-0123456789";

BoardOptions Options(const std::string& scratch, int submitsPerMinute) {
    BoardOptions o;
    o.scratch = scratch;
    o.maxUpload = 65536;
    o.submitsPerMinute = submitsPerMinute;
#ifdef __SANITIZE_ADDRESS__
    o.limits.memoryBytes = 0;  // the sanitizer reserves terabytes of address space
#endif
    return o;
}

// A board on a fresh SQLite file, served on a free local port, one worker verifying.
struct Served {
    TempDir dir;
    std::unique_ptr<Store> store = OpenSqliteStore(dir / "board.sqlite");
    Verifiers verifiers{{GRAPPIX_EXE}};
    Board board;
    httplib::Server server;
    std::thread thread;
    int port = 0;
    explicit Served(int submitsPerMinute) : board(*store, verifiers, Options(dir.Path(), submitsPerMinute)) {
        // The verifier's user (nobody, under root) reaches its scratch folders.
        std::filesystem::permissions(dir.Path(), std::filesystem::perms::others_exec,
                                     std::filesystem::perm_options::add);
        board.Routes(server);
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running()) std::this_thread::yield();
        board.StartWorkers(1, "test");
    }
    ~Served() {
        server.stop();
        thread.join();
    }
    httplib::Result Submit(const std::string& replay, const std::string& name, const std::string& key) {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(60);
        httplib::MultipartFormDataItems form = {{"replay", replay, "run.replay", ""}, {"name", name, "", ""}};
        if (!key.empty()) form.push_back({"key", key, "", ""});
        return client.Post("/api/submit?wait=50", form);
    }
    httplib::Result Get(const std::string& path) { return httplib::Client("127.0.0.1", port).Get(path); }
};

// A scripted game of Normal recorded (with its own seed), and the record the recording run kept.
struct Recorded {
    std::string replay;
    std::string best;
};
Recorded Record(int seed) {
    TempDir dir;
    std::string script =
        grappix::test::ReadFile(std::string(GRAPPIX_SOURCE_DIR) + "/tests/games/normal.script");
    grappix::test::WriteFile(dir / "run.script",
                             script.replace(script.find("seed 101"), 8, "seed " + std::to_string(seed)));
    grappix::test::Env env = grappix::test::HeadlessGameEnv(dir);
    env.push_back({"BRISEL_NODRAW", "1"});
    env.push_back({"BRISEL_INPUT", dir / "run.script"});
    grappix::test::RunProcess({GRAPPIX_EXE, "--record", dir / "run.replay"}, GRAPPIX_RUN_DIR, env, 120.0);
    const std::string records = grappix::test::ReadFile(dir / "data/grappix/records.ini");
    const size_t at = records.find("best = ", records.find("[normal]")) + 7;
    return Recorded{grappix::test::ReadFile(dir / "run.replay"),
                    records.substr(at, records.find('\n', at) - at)};
}
const Recorded& Recording() {
    static const Recorded recorded = Record(101);
    return recorded;
}

// Headless Chromium (Debian's chromium) on args, as nobody when run as root (it refuses root);
// its output, or nothing when there is no Chromium.
std::string Chromium(const TempDir& dir, std::vector<std::string> args) {
    if (!std::filesystem::exists("/usr/bin/chromium")) return {};
    std::filesystem::permissions(dir.Path(), std::filesystem::perms::all);  // nobody writes its profile here
    std::vector<std::string> argv;
    if (geteuid() == 0) argv = {"/usr/sbin/runuser", "-u", "nobody", "--"};
    // No sandbox: it needs user namespaces, which containers (and CI) do not give.
    for (const char* a :
         {"/usr/bin/chromium", "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars"})
        argv.push_back(a);
    argv.push_back("--user-data-dir=" + dir / "profile");
    argv.insert(argv.end(), args.begin(), args.end());
    return grappix::test::RunProcess(argv, dir.Path(), {{"HOME", dir.Path()}}, 120.0).out;
}

// Every piece of text between `open` and the next `close`, in order.
std::vector<std::string> AllOf(const std::string& text, const std::string& open, const std::string& close) {
    std::vector<std::string> found;
    for (size_t at = text.find(open); at != std::string::npos; at = text.find(open, at)) {
        at += open.size();
        const size_t end = text.find(close, at);
        if (end == std::string::npos) break;
        found.push_back(text.substr(at, end - at));
        at = end;
    }
    return found;
}

std::string Edit(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(BoardApiTest, HostileSubmissionsAreRefusedClearlyAndLeaveNothing) {
    // Guards against a board that stores, lists or crashes on what it should refuse.
    Served served(100);
    const std::string good = Recording().replay;
    const std::string check = good.substr(good.find("check 1800 "), 27);
    struct Case {
        const char* what;
        std::string replay, name, key;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"oversized", good + std::string(70000, '#'), "Ada", kKey, 413, "larger than 65536 bytes"},
        {"no replay", "", "Ada", kKey, 400, "not a replay"},
        {"a picture", "\x89PNG\r\n\x1a\n", "Ada", kKey, 400, "not a replay"},
        {"tampered", Edit(good, check, "check 1800 0123456789abcdef"), "Ada", kKey, 422, "at step 1800"},
        {"another version", Edit(good, "version 1.", "version 7."), "Ada", kKey, 422, "does not verify"},
        {"runs for ever", Edit(good, "\nend 3000", "\nend 999999999"), "Ada", kKey, 422, "past the limit"},
        {"markup in the name", good, "<b>Ada</b>", kKey, 400, "markup"},
        {"control bytes in the name", good, "Ada\x1b[2J", kKey, 400, "printable"},
        {"a long name", good, std::string(25, 'A'), kKey, 400, "24 characters"},
        {"no key", good, "Ada", "", 400, "key"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        httplib::Result r = served.Submit(c.replay, c.name, c.key);
        ASSERT_TRUE(r) << "the server is down";
        EXPECT_EQ(r->status, c.status) << r->body;
        EXPECT_NE(r->body.find(c.message), std::string::npos) << r->body;
        EXPECT_EQ(served.Get("/api/top/normal")->body, "[]");
        EXPECT_EQ(served.Get("/replay/" + Sha256Hex(c.replay))->status, 404);
    }
}

TEST(BoardApiTest, ARunIsListedWithTheSpeedItsReplayProvesOnceAndItsNameStaysItsPlayers) {
    // Guards against a speed taken from anything but the replayed game, a run stored twice, a
    // name taken over by another key, and a name the host hid still listed.
    Served served(100);
    httplib::Result first = served.Submit(Recording().replay, "Ada Lovelace", kKey);
    ASSERT_TRUE(first);
    ASSERT_EQ(first->status, 200) << first->body;
    EXPECT_EQ(served.Submit(Recording().replay, "Ada Lovelace", kKey)->body, first->body) << "stored once";
    EXPECT_EQ(served.Submit(Recording().replay + "#\n", "Ada Lovelace", "another-players-key-42")->status,
              403);

    const nlohmann::json top = nlohmann::json::parse(served.Get("/api/top/normal")->body);
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(top[0]["speed"], std::stoll(Recording().best));
    EXPECT_EQ(top[0]["name"], "Ada Lovelace");
    EXPECT_EQ(served.Get(top[0]["replay"].get<std::string>())->body, Recording().replay);
    EXPECT_NE(served.Get("/")->body.find("<td class=\"name\">Ada Lovelace</td>"), std::string::npos);
    EXPECT_NE(served.Get(top[0]["page"].get<std::string>())->body.find("<polyline class=\"speed\""),
              std::string::npos);
    EXPECT_EQ(served.Get("/api/top/no-block")->body, "[]");

    served.store->HideName("Ada Lovelace");
    EXPECT_EQ(served.Get("/api/top/normal")->body, "[]");
}

TEST(BoardApiTest, TheGameQueuesARecordRunOfflineSendsItLaterAndSubmitPrintsTheVerdict) {
    // Guards against a record run that never reaches the board (not closed at the game's end,
    // lost while the board was unreachable), a key that is not the player's alone, and a
    // --submit that reports a refusal as success.
    Served served(100);
    TempDir dir;
    std::filesystem::create_directories(dir / "config/grappix");
    grappix::test::WriteFile(dir / "config/grappix/settings.ini",
                             "board = true\nboard-name = Ada\nboard-address = http://127.0.0.1:1\n");
    grappix::test::Env env = grappix::test::HeadlessGameEnv(dir);
    env.push_back({"BRISEL_NODRAW", "1"});
    env.push_back({"BRISEL_INPUT", std::string(GRAPPIX_SOURCE_DIR) + "/tests/games/normal.script"});
    const grappix::test::ProcessResult played =
        grappix::test::RunProcess({GRAPPIX_EXE, "--record", dir / "run.replay"}, GRAPPIX_RUN_DIR, env, 120.0);
    ASSERT_FALSE(played.timedOut) << "the game did not end in 120 s; it said: " << played.err;
    const std::filesystem::path queue = dir / "state/grappix/board-queue";
    std::vector<std::filesystem::path> queued;
    for (const auto& f : std::filesystem::directory_iterator(queue)) queued.push_back(f.path());
    // Both games beat the record while the board was unreachable: the first was left for the
    // title, the second was still being played when the run ended.
    ASSERT_EQ(queued.size(), 2u);
    std::sort(queued.begin(), queued.end());
    const grappix::test::ProcessResult proof =
        grappix::test::RunProcess({GRAPPIX_EXE, "--verify", queued[1].string()}, GRAPPIX_RUN_DIR,
                                  grappix::test::HeadlessGameEnv(dir), 60.0);
    ASSERT_EQ(proof.status, 0) << "closed at the game's end, it plays to there: " << proof.out;
    const int64_t proven = nlohmann::json::parse(proof.out)["best"]["normal"].get<int64_t>();
    EXPECT_GT(proven, 0);
    EXPECT_EQ(
        std::filesystem::status(dir / "config/grappix/board-key").permissions() & std::filesystem::perms::all,
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    // The next run, with the board reachable, sends it from the title.
    const std::string url = "http://127.0.0.1:" + std::to_string(served.port);
    grappix::test::WriteFile(dir / "idle.script", "seed 1\n240 quit\n");
    grappix::test::Env paced = grappix::test::HeadlessGameEnv(dir);
    paced.erase(paced.begin() + 2);  // BRISEL_NOPACE: four seconds on the title
    paced.push_back({"BRISEL_INPUT", dir / "idle.script"});
    grappix::test::RunProcess({GRAPPIX_EXE, "--board", url}, GRAPPIX_RUN_DIR, paced, 60.0);
    EXPECT_TRUE(std::filesystem::is_empty(queue)) << "sent, they leave the queue";
    nlohmann::json top;
    for (int i = 0; i < 600 && top.size() < 2; ++i) {
        top = nlohmann::json::parse(served.Get("/api/top/normal")->body);
        if (top.size() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(top[0]["name"], "Ada");
    EXPECT_EQ(top[0]["speed"], proven);

    // --submit: the board's verdict, and the status that says it.
    grappix::test::WriteFile(dir / "whole.replay", Recording().replay);
    const std::string check = Recording().replay.substr(Recording().replay.find("check 1800 "), 27);
    grappix::test::WriteFile(dir / "tampered.replay",
                             Edit(Recording().replay, check, "check 1800 0123456789abcdef"));
    struct Case {
        const char* file;
        int status;
        const char* out;
        const char* err;
    };
    for (const Case& c : {Case{"whole.replay", 0, "\"accepted\"", ""},
                          Case{"tampered.replay", 1, "\"refused\"", "at step 1800"},
                          Case{"missing.replay", 1, "", "no such file"}}) {
        SCOPED_TRACE(c.file);
        const grappix::test::ProcessResult r = grappix::test::RunProcess(
            {GRAPPIX_EXE, "--submit", dir / c.file, "--board", url, "--name", "Ada"}, GRAPPIX_RUN_DIR,
            grappix::test::HeadlessGameEnv(dir), 90.0);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}

TEST(BoardPageTest, ABrowserShowsTheTopListFastestFirstAndEachRunsPlot) {
    // Guards against a page a real browser cannot read: a list out of order or missing a run,
    // a plot that draws nothing. With GRAPPIX_BOARD_SHOTS=DIR the page's pictures go there.
    Served served(100);
    TempDir browser;
    if (Chromium(browser, {"--version"}).empty()) GTEST_SKIP() << "no Chromium";
    for (int seed : {101, 102, 103})
        ASSERT_EQ(served.Submit(Record(seed).replay, "Player " + std::to_string(seed), kKey)->status, 200);
    const std::string url = "http://127.0.0.1:" + std::to_string(served.port);
    const std::string page = Chromium(browser, {"--dump-dom", url + "/"});
    const std::vector<std::string> names = AllOf(page, "<td class=\"name\">", "</td>");
    const std::vector<std::string> speeds = AllOf(page, "<td class=\"speed\">", "</td>");
    ASSERT_EQ(names.size(), 3u) << page;
    ASSERT_EQ(speeds.size(), 3u);
    for (const std::string& speed : speeds)
        ASSERT_TRUE(!speed.empty() && speed.find_first_not_of("0123456789") == std::string::npos) << speed;
    EXPECT_TRUE(std::is_sorted(speeds.begin(), speeds.end(), [](const std::string& a, const std::string& b) {
        return std::stoll(a) > std::stoll(b);
    }));
    std::vector<std::string> plots;
    for (const std::string& link : AllOf(page, "href=\"", "\""))
        if (link.starts_with("/run/") && link.ends_with("/normal") && link.size() == 5 + 64 + 7)
            plots.push_back(link);
    ASSERT_EQ(plots.size(), 3u);
    const std::string run = Chromium(browser, {"--dump-dom", url + plots[0]});
    EXPECT_NE(run.find(names[0] + ": " + speeds[0] + " in normal"), std::string::npos) << run;
    std::vector<std::string> points;
    for (const std::string& tag : AllOf(run, "<polyline class=\"speed\"", ">"))
        for (const std::string& list : AllOf(tag, " points=\"", "\"")) points.push_back(list);
    ASSERT_EQ(points.size(), 1u) << run;
    EXPECT_GE(std::count(points[0].begin(), points[0].end(), ','), 10) << "a point a second" << points[0];
    if (const char* shots = std::getenv("GRAPPIX_BOARD_SHOTS")) {
        Chromium(browser,
                 {"--window-size=1000,540", "--screenshot=" + browser / "board-page.png", url + "/"});
        Chromium(browser,
                 {"--window-size=900,520", "--screenshot=" + browser / "board-run.png", url + plots[0]});
        for (const char* shot : {"board-page.png", "board-run.png"})
            std::filesystem::copy_file(browser / shot, std::filesystem::path(shots) / shot,
                                       std::filesystem::copy_options::overwrite_existing);
    }
}

TEST(BoardApiTest, OneAddressCannotFloodTheBoard) {
    Served served(2);
    for (int status : {400, 400, 429, 429}) EXPECT_EQ(served.Submit("x", "Ada", kKey)->status, status);
    EXPECT_EQ(served.Get("/")->status, 200);
}

}  // namespace
}  // namespace board
