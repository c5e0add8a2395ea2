#include "records/records_file.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string_view>

#include "desktop/atomic_file.hpp"
#include "desktop/file_guard.hpp"
#include "desktop/ini_lines.hpp"
#include "desktop/utf8_path.hpp"
#include "desktop/xdg_dirs.hpp"

namespace grappix {

namespace {

constexpr const char* kModeNames[kRecordModes] = {"normal", "no-block", "free-style"};

constexpr const char* kHeader =
    "# Grappix records: the best speed of each mode. The game rewrites the values below when a\n"
    "# record is beaten and keeps every other line.\n";

// The keys of a mode's section, in the order they are written.
enum Field { kBest, kDate, kReplay, kStep, kFieldCount };
constexpr const char* kFieldNames[kFieldCount] = {"best", "date", "replay", "step"};

bool IsComment(std::string_view line) {
    line = TrimIniBlanks(line);
    return line.empty() || line.front() == '#' || line.front() == ';';
}

// "[name]" gives true and the name.
bool IsSection(std::string_view line, std::string& name) {
    line = TrimIniBlanks(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') return false;
    name = std::string(TrimIniBlanks(line.substr(1, line.size() - 2)));
    return true;
}

int FieldIndex(std::string_view key) {
    for (int i = 0; i < kFieldCount; ++i)
        if (key == kFieldNames[i]) return i;
    return -1;
}

bool ParseWhole(std::string_view text, size_t maxDigits, int64_t high, int64_t& out) {
    if (text.empty() || text.size() > maxDigits) return false;
    int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v > high) return false;
    out = v;
    return true;
}

// Reads one known key into the record; "" or what is wrong with the value.
std::string ReadField(int field, std::string_view value, Record& record) {
    switch (field) {
    case kBest:
        if (!ParseWhole(value, 6, kMaxRecordSpeed, record.best))
            return "best must be a whole number from 0 to 99999, not '" + std::string(value) + "'";
        return {};
    case kStep:
        if (!ParseWhole(value, 15, 999999999999999, record.step))
            return "step must be a whole number of frame steps, not '" + std::string(value) + "'";
        return {};
    case kDate: record.date = std::string(value); return {};
    case kReplay: record.replay = std::string(value); return {};
    default: return {};
    }
}

std::string WriteField(int field, const Record& record) {
    switch (field) {
    case kBest: return std::to_string(record.best);
    case kStep: return std::to_string(record.step);
    case kDate: return record.date;
    case kReplay: return record.replay;
    default: return {};
    }
}

// What a file holds, or why it could not be read: "" and text, or the reason; corrupt tells a
// file that was read but is no records file from one that could not be read at all, missing
// one that is not there.
std::string ReadWhole(const std::string& path, std::string& text, bool& corrupt, bool* missing = nullptr) {
    std::string why;
    const ReadStatus status = ReadSmallFile(path, kSmallFileCap, text, why);
    corrupt = status == ReadStatus::TooLarge;
    if (missing != nullptr) *missing = status == ReadStatus::Missing;
    if (status == ReadStatus::TooLarge) why += ", too large for a records file";
    return status == ReadStatus::Ok ? std::string() : why;
}

}  // namespace

const char* RecordModeName(int mode) { return mode >= 0 && mode < kRecordModes ? kModeNames[mode] : nullptr; }

int RecordModeIndex(const std::string& name) {
    for (int i = 0; i < kRecordModes; ++i)
        if (name == kModeNames[i]) return i;
    return -1;
}

std::string RecordsPath() {
    std::string folder = GameFolder(XdgKind::Data);
    return folder.empty() ? folder : folder + "/records.ini";
}

std::string ParseRecords(const std::string& text, RecordTable& table) {
    table = RecordTable{};
    if (text.find('\0') != std::string::npos) return "not a text file";
    // A mode's section or key given twice (two files joined by hand, say) is read as one more
    // record of that mode: the highest of them stands, with its own date, replay and step.
    int mode = -1;  // the section the lines belong to: -1 before any or in another version's
    Record record;
    bool seen[kFieldCount] = {};
    auto settle = [&] {
        if (mode >= 0 && record.best > table[static_cast<size_t>(mode)].best)
            table[static_cast<size_t>(mode)] = record;
        record = Record{};
        for (bool& s : seen) s = false;
    };
    int number = 0;
    for (const std::string& line : SplitIniLines(text)) {
        ++number;
        if (IsComment(line)) continue;
        std::string section;
        if (IsSection(line, section)) {
            settle();
            mode = RecordModeIndex(section);
            continue;
        }
        std::string_view key, value;
        if (!SplitIniKey(line, key, value))
            return "line " + std::to_string(number) + ": not a '[mode]' or 'key = value' line: '" + line +
                   "'";
        const int field = FieldIndex(key);
        if (mode < 0 || field < 0) continue;  // another version's: kept, not ours to judge
        if (seen[field]) settle();
        seen[field] = true;
        std::string fault = ReadField(field, value, record);
        if (!fault.empty()) return "line " + std::to_string(number) + ": " + fault;
    }
    settle();
    return {};
}

bool ReplaysNamedByRecords(const std::string& recordsPath, std::vector<std::string>& replays) {
    if (recordsPath.empty()) return true;
    RecordTable table;
    std::string text, why;
    bool whole = true;
    const ReadStatus status = ReadSmallFile(recordsPath, kSmallFileCap, text, why);
    if (status != ReadStatus::Missing && (status != ReadStatus::Ok || !ParseRecords(text, table).empty()))
        whole = false;
    for (const Record& r : table)
        if (r.best > 0 && !r.replay.empty()) replays.push_back(r.replay);
    // Damaged files kept aside: every replay line they hold, however damaged the rest.
    const size_t slash = recordsPath.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : recordsPath.substr(0, slash + 1);
    const std::string aside = recordsPath.substr(slash + 1) + ".bad";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(FsPath(folder), ec)) {
        if (PathText(entry.path().filename()).rfind(aside, 0) != 0) continue;
        if (ReadSmallFile(PathText(entry.path()), kSmallFileCap, text, why) != ReadStatus::Ok) {
            whole = false;
            continue;
        }
        for (const std::string& line : SplitIniLines(text)) {
            std::string_view key, value;
            if (SplitIniKey(line, key, value) && key == "replay" && !value.empty())
                replays.emplace_back(value);
        }
    }
    return whole;
}

std::string RecordsFile::Peek(const std::string& path, RecordTable& table) {
    table = RecordTable{};
    std::string text;
    bool corrupt = false;
    std::string why = ReadWhole(path, text, corrupt);
    if (why.empty()) why = ParseRecords(text, table);
    return why.empty() ? why : path + ": " + why;
}

RecordTable RecordsFile::Load(std::vector<std::string>& warnings) {
    RecordTable table;
    if (path_.empty()) return table;
    RemoveStaleTemporaries(path_, std::time(nullptr));
    std::string text;
    bool corrupt = false, missing = false;
    std::string fault = ReadWhole(path_, text, corrupt, &missing);
    if (missing) return table;  // a first run, with no records yet
    if (!fault.empty() && !corrupt) {
        warnings.push_back(path_ + ": cannot read the records (" + fault + "); playing without them");
        return table;
    }
    if (fault.empty()) fault = ParseRecords(text, table);
    if (fault.empty()) return table;
    table = RecordTable{};
    MoveDamagedAside(fault, warnings);
    return table;
}

// A damaged file is the player's history: kept beside the new one, never written over.
bool RecordsFile::MoveDamagedAside(const std::string& fault, std::vector<std::string>& warnings) {
    std::string aside;
    std::string why = MoveAside(path_, aside);
    if (why.empty()) {
        warnings.push_back(path_ + ": " + fault + "; moved aside to " + aside + ", starting without records");
        return true;
    }
    warnings.push_back(path_ + ": " + fault + "; it cannot be moved aside (" + why +
                       "), so this run's records are not saved");
    return false;
}

std::string RecordsFile::Save(const RecordTable& mine, RecordTable* merged,
                              std::vector<std::string>* warnings) {
    if (path_.empty()) return "no folder for them: neither XDG_DATA_HOME nor HOME names one";
    std::string error;
    if (!MakeFoldersFor(path_, error)) return error;

    // Another game on the same folders may have saved since this one read the file: under the
    // lock every game takes, what the file holds now is read again and the higher record of
    // each mode is kept, whichever game set it.
    FileLock lock(path_);
    std::string now;
    bool corrupt = false, missing = false;
    std::string fault = ReadWhole(path_, now, corrupt, &missing);
    if (!missing && !fault.empty() && !corrupt)
        return path_ + ": the file could not be read (" + fault + "), so it is not replaced";
    RecordTable held;
    if (!missing && fault.empty()) fault = ParseRecords(now, held);
    std::vector<std::string> lines;
    if (!missing && !fault.empty()) {
        std::vector<std::string> ignored;
        if (!MoveDamagedAside(fault, warnings != nullptr ? *warnings : ignored))
            return path_ + ": the file is damaged and cannot be moved aside, so it is not replaced";
    } else if (!missing) {
        lines = SplitIniLines(now);
    }
    RecordTable table = mine;
    for (int m = 0; m < kRecordModes; ++m)
        if (held[static_cast<size_t>(m)].best > table[static_cast<size_t>(m)].best)
            table[static_cast<size_t>(m)] = held[static_cast<size_t>(m)];

    bool written[kRecordModes][kFieldCount] = {};
    bool seen[kRecordModes] = {};
    std::string text = lines.empty() ? kHeader : "";
    int mode = -1;
    // The keys a mode's section lacks go at its end, so the section stays whole.
    auto finishSection = [&] {
        if (mode < 0) return;
        const Record& r = table[static_cast<size_t>(mode)];
        for (int f = 0; f < kFieldCount; ++f)
            if (!written[mode][f] && r.best > 0)
                text += std::string(kFieldNames[f]) + " = " + WriteField(f, r) + "\n";
    };
    for (const std::string& line : lines) {
        std::string section;
        if (!IsComment(line) && IsSection(line, section)) {
            finishSection();
            mode = RecordModeIndex(section);
            if (mode >= 0) seen[mode] = true;
            text += line + "\n";
            continue;
        }
        std::string_view key, value;
        const int field = !IsComment(line) && SplitIniKey(line, key, value) ? FieldIndex(key) : -1;
        if (mode >= 0 && field >= 0) {
            text += std::string(kFieldNames[field]) + " = " +
                    WriteField(field, table[static_cast<size_t>(mode)]) + "\n";
            written[mode][field] = true;
        } else {
            text += line + "\n";
        }
    }
    finishSection();
    for (int m = 0; m < kRecordModes; ++m) {
        const Record& r = table[static_cast<size_t>(m)];
        if (seen[m] || r.best <= 0) continue;
        text += std::string("\n[") + kModeNames[m] + "]\n";
        for (int f = 0; f < kFieldCount; ++f)
            text += std::string(kFieldNames[f]) + " = " + WriteField(f, r) + "\n";
    }
    error = WriteFileAtomically(path_, text);
    if (error.empty() && merged != nullptr) *merged = table;
    return error;
}

}  // namespace grappix
