#include "frame/board_link.hpp"

#include <chrono>
#include <cstdio>
#include <thread>

#include "desktop/atomic_file.hpp"
#include "desktop/board_files.hpp"
#include "desktop/replay_header.hpp"
#include "desktop/terminal_line.hpp"
#include "desktop/utf8_path.hpp"
#include "desktop/xdg_dirs.hpp"
#include "frame/engine.hpp"
#include "frame/fault.hpp"
#include "frame/media.hpp"
#include "frame/replay_link.hpp"
#include "records/records_file.hpp"

namespace grappix {

namespace {

BoardLink* gActive = nullptr;

struct JsonReader {
    const std::string& t;
    size_t i = 0;

    void Blank() {
        while (i < t.size() && (t[i] == ' ' || t[i] == '\n' || t[i] == '\r' || t[i] == '\t')) ++i;
    }
    bool At(char c) {
        Blank();
        if (i >= t.size() || t[i] != c) return false;
        ++i;
        return true;
    }
    bool Hex4(unsigned& v) {
        if (i + 4 > t.size()) return false;
        v = 0;
        for (int k = 0; k < 4; ++k) {
            const char h = t[i++];
            const int d = h >= '0' && h <= '9'   ? h - '0'
                          : h >= 'a' && h <= 'f' ? h - 'a' + 10
                          : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                 : -1;
            if (d < 0) return false;
            v = v * 16 + static_cast<unsigned>(d);
        }
        return true;
    }
    bool String(std::string& out) {
        if (!At('"')) return false;
        while (i < t.size()) {
            const char c = t[i++];
            const unsigned char u = static_cast<unsigned char>(c);
            if (c == '"') return true;
            if (u < 0x20) return false;
            if (u >= 0x80) {  // one '?' for the whole character
                while (i < t.size() && (static_cast<unsigned char>(t[i]) & 0xC0) == 0x80) ++i;
                out += '?';
                continue;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i >= t.size()) return false;
            const char e = t[i++];
            unsigned v = 0;
            switch (e) {
            case '"':
            case '\\':
            case '/': out += e; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'b':
            case 'f': out += ' '; break;
            case 'u':
                if (!Hex4(v)) return false;
                out += v < 0x80 ? static_cast<char>(v) : '?';
                break;
            default: return false;
            }
        }
        return false;
    }
    bool Scalar(std::string& out) {
        Blank();
        const size_t from = i;
        while (i < t.size() && ((t[i] >= '0' && t[i] <= '9') || (t[i] >= 'a' && t[i] <= 'z') || t[i] == '-' ||
                                t[i] == '+' || t[i] == '.' || t[i] == 'E'))
            ++i;
        out = t.substr(from, i - from);
        return i > from;
    }
    bool Object(JsonFields& fields) {
        if (!At('{')) return false;
        if (At('}')) return true;
        do {
            std::string key, value;
            if (!String(key) || !At(':')) return false;
            Blank();
            if (!(i < t.size() && t[i] == '"' ? String(value) : Scalar(value))) return false;
            fields[key] = value;
        } while (At(','));
        return At('}');
    }
};

// The name of mode as the board's addresses give it.
std::string ModePath(int mode) {
    const char* name = RecordModeName(mode);
    return name != nullptr ? name : "normal";
}

std::string Trimmed(std::string address) {
    while (!address.empty() && address.back() == '/') address.pop_back();
    return address;
}

// The reason a board's answer gives (a refusal's reason, an error), or the answer itself.
std::string Reason(const std::string& body) {
    std::vector<JsonFields> objects;
    if (ReadJsonObjects(body, objects) && objects.size() == 1) {
        for (const char* key : {"reason", "error"})
            if (auto it = objects[0].find(key); it != objects[0].end()) return Printable(it->second);
    }
    return Printable(body.substr(0, 200));
}

// The overlay's lines for a top list: "1. name  speed" each.
std::string TopText(const std::vector<JsonFields>& entries) {
    std::string text;
    for (const JsonFields& e : entries) {
        auto name = e.find("name"), speed = e.find("speed"), rank = e.find("rank");
        if (name == e.end() || speed == e.end() || rank == e.end()) continue;
        if (!text.empty()) text += '\n';
        text += Printable(rank->second) + ". " + Printable(name->second) + "  " + Printable(speed->second);
    }
    return text;
}

// A request made and waited for, outside play (the command line's board options).
int64_t Fetch(const EngineTable& e, const std::string& url, const std::string& fields,
              const std::string& file, std::string& body) {
    const int64_t id = e.HttpStart(url.c_str(), fields.empty() ? nullptr : fields.c_str(),
                                   file.empty() ? nullptr : "replay", file.empty() ? nullptr : file.c_str());
    if (id == 0) {
        body = "this build of the engine has no network: the board is not available";
        return -1;
    }
    int64_t status = 0;
    while ((status = e.HttpStatus(id)) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const char* text = e.HttpBody(id);
    body = text != nullptr ? text : "";
    e.HttpFree(id);
    return status;
}

// The engine library bound for its network alone (no Init: no window, no sound).
std::string BindNetwork(const char* enginePath, EngineLibrary& library, EngineTable& table) {
    try {
        library.Load(enginePath);
        library.Bind(table);
    } catch (const BriselFailure& failure) {
        ExceptionPlace() = 0;
        return std::string("the engine library cannot be loaded: ") +
               (failure.Message() != nullptr ? failure.Message() : enginePath);
    }
    if (table.HttpStart == nullptr || table.HttpStatus == nullptr || table.HttpBody == nullptr ||
        table.HttpFree == nullptr)
        return "this engine library has no network: the board is not available";
    return {};
}

}  // namespace

bool ReadJsonObjects(const std::string& text, std::vector<JsonFields>& out) {
    JsonReader r{text};
    out.clear();
    if (r.At('[')) {
        if (!r.At(']')) {
            do {
                out.emplace_back();
                if (!r.Object(out.back())) return false;
            } while (r.At(','));
            if (!r.At(']')) return false;
        }
    } else {
        out.emplace_back();
        if (!r.Object(out.back())) return false;
    }
    r.Blank();
    return r.i == text.size();
}

BoardLink* ActiveBoard() { return gActive; }
void SetActiveBoard(BoardLink* link) { gActive = link; }

BoardLink::BoardLink(std::string queueFolder, std::string keyPath)
    : queueFolder_(std::move(queueFolder)), keyPath_(std::move(keyPath)) {}

BoardLink::~BoardLink() {
    Forget(sending_);
    for (int64_t& r : topRequests_) Forget(r);
}

void BoardLink::Forget(int64_t& request) {
    if (request != 0 && Engine().HttpFree != nullptr) Engine().HttpFree(request);
    request = 0;
}

void BoardLink::Pump(const Settings& settings) {
    const EngineTable& e = Engine();
    if (e.HttpStart == nullptr || e.HttpStatus == nullptr || e.HttpBody == nullptr || ReplayingBack()) return;
    if (sending_ != 0) TakeAnswer(settings);
    TakeTops();
    if (!settings.board || settings.boardAddress.empty()) {
        tops_ = {};  // off: the title shows nothing of the board
        topsAt_ = -1;
        wantTops_ = false;
        return;
    }
    if (sending_ == 0) SendNext(settings);
    if (wantTops_) AskTops(settings);
    wantTops_ = false;
}

void BoardLink::TakeAnswer(const Settings&) {
    const int64_t status = Engine().HttpStatus(sending_);
    if (status == 0) return;
    const char* text = Engine().HttpBody(sending_);
    const std::string body = text != nullptr ? text : "";
    Forget(sending_);
    const bool refused = status >= 400 && status < 500 && status != 408 && status != 429;
    if (status == 200 || status == 202 || refused) {
        if (refused) WarnLine("the board refused " + sendingFile_ + ": " + Reason(body));
        std::remove(sendingFile_.c_str());  // sent, or never to be taken: it leaves the queue
        return;
    }
    // Not reached, busy or failing: the run stays queued and goes later.
    retryAt_ = FrameCount() + kRetryFrames;
    lookQueueAt_ = 0;
}

void BoardLink::SendNext(const Settings& settings) {
    if (FrameCount() < retryAt_ || settings.boardName.empty()) return;
    if (FrameCount() >= lookQueueAt_) {
        queue_ = QueuedReplays(queueFolder_);
        lookQueueAt_ = FrameCount() + kQueueLookFrames;
    }
    if (queue_.empty()) return;
    if (key_.empty()) {
        if (keyFailed_) return;
        std::string error;
        key_ = LoadOrMakeBoardKey(keyPath_, error);
        if (key_.empty()) {
            keyFailed_ = true;
            WarnLine("the board: " + error);
            return;
        }
    }
    sendingFile_ = queue_.front();
    queue_.erase(queue_.begin());
    const std::string fields = "name=" + settings.boardName + "\nkey=" + key_;
    sending_ = Engine().HttpStart((Trimmed(settings.boardAddress) + "/api/submit").c_str(), fields.c_str(),
                                  "replay", sendingFile_.c_str());
    if (sending_ == 0) retryAt_ = FrameCount() + kRetryFrames;  // no network in this engine
}

void BoardLink::TakeTops() {
    for (size_t m = 0; m < topRequests_.size(); ++m) {
        if (topRequests_[m] == 0) continue;
        const int64_t status = Engine().HttpStatus(topRequests_[m]);
        if (status == 0) continue;
        std::vector<JsonFields> entries;
        const char* body = Engine().HttpBody(topRequests_[m]);
        tops_[m] = status == 200 && body != nullptr && ReadJsonObjects(body, entries) ? TopText(entries) : "";
        Forget(topRequests_[m]);
    }
}

void BoardLink::AskTops(const Settings& settings) {
    for (int64_t r : topRequests_)
        if (r != 0) return;
    if (topsAt_ >= 0 && FrameCount() - topsAt_ < kTopFrames && topsAddress_ == settings.boardAddress) return;
    if (topsAddress_ != settings.boardAddress) tops_ = {};
    topsAt_ = FrameCount();
    topsAddress_ = settings.boardAddress;
    for (size_t m = 0; m < topRequests_.size(); ++m) {
        const std::string url =
            Trimmed(settings.boardAddress) + "/api/top/" + ModePath(static_cast<int>(m)) + "?limit=3";
        topRequests_[m] = Engine().HttpStart(url.c_str(), nullptr, nullptr, nullptr);
    }
}

void BoardLink::ShowTop(int mode, double x, double y) {
    wantTops_ = true;
    if (mode < 0 || mode >= static_cast<int>(tops_.size()) || tops_[static_cast<size_t>(mode)].empty() ||
        Engine().OverlayText == nullptr)
        return;
    Engine().OverlayText(x, y, 28, tops_[static_cast<size_t>(mode)].c_str());
}

void BoardLink::GameEnded(const Settings& settings, bool beatRecord) {
    const EngineTable& e = Engine();
    if (ReplayingBack() || e.SealReplay == nullptr) return;
    const std::string recording = RecordingPath();
    if (recording.empty()) return;
    const int64_t step = e.SealReplay();  // the replay so far, closed by a check of this step
    if (step < 0 || !beatRecord || !settings.board || e.HttpStart == nullptr) return;
    std::string closed;
    std::string why = CloseReplayAt(recording, step, closed);
    if (why.empty()) {
        std::string name = PathText(FsPath(recording).stem());
        why = QueueReplay(queueFolder_, name + "-" + std::to_string(step), closed);
    }
    if (!why.empty()) {
        WarnLine("cannot queue the run for the board: " + why);
        return;
    }
    lookQueueAt_ = 0;
}

int SubmitToBoard(const CommandLine& line, const char* enginePath) {
    ReplayHeader header;
    if (std::string why = ReadReplayHeader(line.submitFile, header); !why.empty()) {
        std::fprintf(stderr, "grappix: %s\n", Printable(why).c_str());
        return 1;
    }
    EngineLibrary library;
    EngineTable table;
    std::string why = BindNetwork(enginePath, library, table);
    std::string key;
    if (why.empty()) key = LoadOrMakeBoardKey(BoardKeyPath(), why);
    if (!why.empty()) {
        std::fprintf(stderr, "grappix: %s\n", Printable(why).c_str());
        return 1;
    }
    std::string body;
    const int64_t status = Fetch(table, Trimmed(line.boardAddress) + "/api/submit?wait=50",
                                 "name=" + line.boardName + "\nkey=" + key, line.submitFile, body);
    std::vector<JsonFields> answer;
    const bool json = ReadJsonObjects(body, answer) && answer.size() == 1;
    if (json) std::printf("%s\n", Printable(body).c_str());
    if (status == 200 && json && answer[0]["state"] == "accepted") return 0;
    if (status < 0)
        std::fprintf(stderr, "grappix: the board cannot be reached: %s\n", Printable(body).c_str());
    else if (status == 202)
        std::fprintf(stderr, "grappix: %s: the board has not verified it yet (job %s)\n",
                     Printable(line.submitFile).c_str(), json ? answer[0]["job"].c_str() : "?");
    else
        std::fprintf(stderr, "grappix: the board refused %s: %s\n", Printable(line.submitFile).c_str(),
                     Reason(body).c_str());
    return 1;
}

std::string FetchBoardRun(const char* enginePath, const std::string& address, const std::string& mode,
                          int64_t rank, const std::string& folder, std::string& path) {
    if (address.empty())
        return "--watch-board: no board's address (--board URL, or board-address in the settings)";
    EngineLibrary library;
    EngineTable table;
    if (std::string why = BindNetwork(enginePath, library, table); !why.empty()) return why;
    std::string body;
    const std::string base = Trimmed(address);
    int64_t status = Fetch(table, base + "/api/top/" + mode + "?limit=" + std::to_string(rank), "", "", body);
    std::vector<JsonFields> top;
    if (status < 0) return "the board cannot be reached: " + Printable(body);
    if (status != 200 || !ReadJsonObjects(body, top))
        return "the board did not give its " + mode + " runs: " + Reason(body);
    if (static_cast<int64_t>(top.size()) < rank)
        return "the board has " + std::to_string(top.size()) + " " + mode + " run" +
               (top.size() == 1 ? "" : "s") + ", none at rank " + std::to_string(rank);
    const std::string replay = top[static_cast<size_t>(rank - 1)]["replay"];
    const size_t slash = replay.rfind('/');
    const std::string hash = slash == std::string::npos ? "" : replay.substr(slash + 1);
    if (replay.rfind("/replay/", 0) != 0 || hash.size() != 64 ||
        hash.find_first_not_of("0123456789abcdef") != std::string::npos)
        return "the board gave no replay for that run";
    status = Fetch(table, base + replay, "", "", body);
    if (status != 200) return "the board did not give the run's replay: " + Reason(body);
    std::string error;
    if (!MakeFolders(folder, error)) return error;
    path = folder + "/" + hash + ".replay";
    return WriteFileAtomically(path, body);
}

}  // namespace grappix
