#include "desktop/board_files.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "desktop/atomic_file.hpp"
#include "desktop/file_guard.hpp"
#include "desktop/utf8_path.hpp"
#include "desktop/xdg_dirs.hpp"

namespace grappix {

namespace {

constexpr size_t kKeyHexDigits = 64;
constexpr size_t kMostReplay = size_t(64) << 20;  // the engine plays no larger one

bool IsKey(const std::string& key) {
    if (key.size() < 16 || key.size() > 128) return false;
    return std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' ||
               c == '_';
    });
}

std::string ReadKey(const std::string& path, ReadStatus& status, std::string& error) {
    std::string text, why;
    status = ReadSmallFile(path, 1024, text, why);
    if (status == ReadStatus::Missing) return {};
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    if (status != ReadStatus::Ok) {
        error = path + ": cannot read the board key (" + why + ")";
        return {};
    }
    if (!IsKey(text)) {
        error = path + ": not a board key (16 to 128 letters, digits, - or _)";
        return {};
    }
    return text;
}

}  // namespace

std::string BoardKeyPath() {
    const std::string folder = GameFolder(XdgKind::Config);
    return folder.empty() ? folder : folder + "/board-key";
}

std::string BoardQueueFolder() {
    const std::string folder = GameFolder(XdgKind::State);
    return folder.empty() ? folder : folder + "/board-queue";
}

std::string LoadOrMakeBoardKey(const std::string& path, std::string& error) {
    if (path.empty()) {
        error = "no folder for the board key: neither XDG_CONFIG_HOME nor HOME names one";
        return {};
    }
    ReadStatus status = ReadStatus::Missing;
    std::string key = ReadKey(path, status, error);
    if (status != ReadStatus::Missing) return key;
    std::random_device random;  // the system's source of random bytes
    static const char kHex[] = "0123456789abcdef";
    key.clear();
    while (key.size() < kKeyHexDigits) {
        const unsigned word = random();
        for (int i = 0; i < 8; ++i) key += kHex[(word >> (4 * i)) & 15];
    }
    if (!MakeFoldersFor(path, error)) return {};
    std::string why = WriteFileAtomically(path, key + "\n", false, 0600);
    if (why.empty()) return key;
    if (why.find(std::strerror(EEXIST)) == std::string::npos) {
        error = "cannot keep the board key: " + why;
        return {};
    }
    return ReadKey(path, status, error);  // another game made it first: that one is the key
}

std::string CloseReplayAt(const std::string& recording, int64_t step, std::string& closed) {
    std::string text, why;
    for (const std::string& path : {recording + ".part", recording}) {
        const ReadStatus status = ReadSmallFile(path, kMostReplay, text, why);
        if (status == ReadStatus::Missing) continue;
        if (status != ReadStatus::Ok) return path + ": cannot read the replay (" + why + ")";
        const std::string check = "\ncheck " + std::to_string(step) + " ";
        const size_t at = text.find(check);
        const size_t end = at == std::string::npos ? at : text.find('\n', at + 1);
        if (end == std::string::npos) return path + ": no check of step " + std::to_string(step);
        closed = text.substr(0, end + 1) + "end " + std::to_string(step) + "\n";
        return {};
    }
    return recording + ": the replay is not there";
}

std::string QueueReplay(const std::string& folder, const std::string& name, const std::string& text) {
    std::string error;
    if (folder.empty()) return "no folder for the board's queue: neither XDG_STATE_HOME nor HOME names one";
    if (!MakeFolders(folder, error)) return error;
    return WriteFileAtomically(folder + "/" + name + ".replay", text, false);
}

std::vector<std::string> QueuedReplays(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    if (folder.empty()) return files;
    for (const auto& entry : std::filesystem::directory_iterator(FsPath(folder), ec)) {
        const std::string name = PathText(entry.path().filename());
        if (name.size() > 7 && name.ends_with(".replay") && entry.is_regular_file(ec))
            files.push_back(folder + "/" + name);
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace grappix
