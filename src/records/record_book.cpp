#include "records/record_book.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>

#include "desktop/ini_lines.hpp"
#include "desktop/replay_files.hpp"
#include "desktop/utf8_path.hpp"

#if defined(_WIN32)
#include "win_posix.hpp"
#else
#include <sys/stat.h>
#endif

namespace grappix {

namespace {

RecordBook* gActive = nullptr;

// A path goes into the file as one line's value, trimmed when read back: one that could not
// come back as it went in is not kept (the record stands, without its replay).
std::string Storable(const std::string& path) {
    if (path.empty() || path.front() == ' ' || path.front() == '\t' || path.back() == ' ' ||
        path.back() == '\t')
        return {};
    for (char c : path)
        if (c == '\n' || c == '\r' || c == '\0') return {};
    return path;
}

bool ParseSpeed(const std::string& text, int64_t& out) { return ParseIniCount(text, 5, out); }

// The line a replay cut short by a crash ends with (see RecoverCutReplay), as one line naming it.
std::string CutShortNote(const std::string& replay, const std::string& what) {
    std::ifstream in(FsPath(replay), std::ios::binary);
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (!in || size <= 0) return {};
    in.seekg(std::max<std::streamoff>(0, size - 200));
    std::string tail(static_cast<size_t>(std::min<std::streamoff>(size, 200)), '\0');
    in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
    const size_t at = tail.rfind(kCutShortNote);
    if (at == std::string::npos) return {};
    std::string rest = tail.substr(at + 2);  // "the recording was cut short at step N: ..."
    if (!rest.empty() && rest.back() == '\n') rest.pop_back();
    return what + ": " + rest;
}

}  // namespace

std::string RecordNoteKey(int mode) {
    const char* name = RecordModeName(mode);
    return name != nullptr ? std::string("best.") + name : std::string();
}

RecordBook::RecordBook(std::unique_ptr<RecordsFile> file, Warn warn)
    : now(&IniUtcNow), file_(std::move(file)), warn_(std::move(warn)) {
    if (file_ == nullptr) return;
    std::vector<std::string> warnings;
    table_ = file_->Load(warnings);
    loadedWhole_ = warnings.empty();
    for (const std::string& w : warnings) warn_(w);
}

RecordBook::RecordBook(const std::function<std::optional<std::string>(const std::string&)>& note, Warn warn)
    : now(&IniUtcNow), warn_(std::move(warn)) {
    for (int m = 0; m < kRecordModes; ++m) {
        std::optional<std::string> value = note(RecordNoteKey(m));
        int64_t best = 0;
        if (value && ParseSpeed(*value, best)) table_[static_cast<size_t>(m)].best = best;
    }
}

std::vector<std::pair<std::string, std::string>> RecordBook::Notes() const {
    std::vector<std::pair<std::string, std::string>> notes;
    for (int m = 0; m < kRecordModes; ++m)
        notes.emplace_back(RecordNoteKey(m), std::to_string(table_[static_cast<size_t>(m)].best));
    return notes;
}

void RecordBook::BeginGame(int mode, const std::string& replayFile, int64_t step) {
    mode_ = mode >= 0 && mode < kRecordModes ? mode : -1;
    beaten_ = false;
    if (watcher != nullptr) watcher->GameBegins(mode_);
    gameReplay_ = Storable(replayFile);
    gameStep_ = gameReplay_.empty() ? 0 : step;
}

bool RecordBook::Offer(int64_t figure) {
    if (watcher != nullptr) watcher->Figure(figure);
    if (mode_ < 0 || figure > kMaxRecordSpeed) return false;
    Record& r = table_[static_cast<size_t>(mode_)];
    if (figure <= r.best) return false;
    r.best = figure;
    r.date = now ? now() : std::string();
    r.replay = gameReplay_;
    r.step = gameStep_;
    dirty_ = !ReadOnly();
    beaten_ = true;
    return true;
}

void RecordBook::Save() {
    if (!dirty_ || file_ == nullptr) return;
    // The file is about to name this run's replay: what it holds so far reaches the disk first,
    // so a crash from here on leaves a replay that plays up to the record.
    if (seal && !gameReplay_.empty())
        for (const Record& r : table_)
            if (r.replay == gameReplay_) {
                seal();
                break;
            }
    std::vector<std::string> warnings;
    std::string error = file_->Save(table_, &table_, &warnings);
    for (const std::string& w : warnings)
        if (warn_) warn_(w);
    if (error.empty()) {
        dirty_ = false;
        return;
    }
    // Tried again at the next chance (the folder may come back); said once.
    if (saveWarned_) return;
    saveWarned_ = true;
    if (warn_) warn_("cannot save the records (" + error + "); they last until the game ends");
}

const Record& RecordBook::Get(int mode) const {
    static const Record kNone;
    return mode >= 0 && mode < kRecordModes ? table_[static_cast<size_t>(mode)] : kNone;
}

std::vector<std::string> RecordBook::ReplayFiles() const {
    std::vector<std::string> files;
    for (const Record& r : table_)
        if (r.best > 0 && !r.replay.empty()) files.push_back(r.replay);
    return files;
}

RecordBook* ActiveRecords() { return gActive; }
void SetActiveRecords(RecordBook* book) { gActive = book; }

bool ReplayFilesOfRecords(std::vector<std::string>& files) {
    bool known = ReplaysNamedByRecords(RecordsPath(), files);
    if (gActive != nullptr) {
        for (const std::string& f : gActive->ReplayFiles()) files.push_back(f);
        known = known && gActive->LoadedWhole();
    }
    return known;
}

std::string PrepareWatch(const std::string& recordsPath, const std::string& modeName, int64_t& step,
                         std::string* note) {
    const int mode = RecordModeIndex(modeName);
    if (mode < 0) return "'" + modeName + "' is not a mode (normal, no-block or free-style)";
    struct stat st {};
    if (recordsPath.empty() || (stat(recordsPath.c_str(), &st) != 0 && errno == ENOENT))
        return "no " + modeName + " record to watch: no records are kept yet" +
               (recordsPath.empty() ? std::string() : " (" + recordsPath + ")");
    RecordTable table;
    std::string fault = RecordsFile::Peek(recordsPath, table);
    if (!fault.empty()) return "cannot read the records: " + fault;
    const Record& r = table[static_cast<size_t>(mode)];
    if (r.best <= 0) return "no " + modeName + " record to watch yet (" + recordsPath + ")";
    const std::string speed = std::to_string(r.best);
    if (r.replay.empty())
        return "the " + modeName + " record (" + speed + ") has no replay: its run was not recorded";
    if (stat(r.replay.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return "the replay of the " + modeName + " record (" + speed + ") is gone: " + r.replay;
    if (note != nullptr)
        *note = CutShortNote(r.replay, "the replay of the " + modeName + " record (" + speed + ")");
    setenv("BRISEL_REPLAY", r.replay.c_str(), 1);
    setenv("BRISEL_REPLAY_FROM", std::to_string(r.step).c_str(), 1);
    step = r.step;
    return {};
}

}  // namespace grappix
