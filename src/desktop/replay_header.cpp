#include "desktop/replay_header.hpp"

#include "desktop/file_guard.hpp"
#include "desktop/ini_lines.hpp"

namespace grappix {

namespace {

constexpr size_t kReplayCap = size_t{64} << 20;

// A whole number of at most 12 digits: nothing longer is a step or a format.
bool ParseCount(std::string_view text, int64_t& out) { return ParseIniCount(text, 12, out); }

}  // namespace

std::string ReadReplayHeader(const std::string& path, ReplayHeader& header) {
    std::string text, why;
    const ReadStatus status = ReadSmallFile(path, kReplayCap, text, why);
    if (status == ReadStatus::Missing) return path + ": no such file";
    if (status != ReadStatus::Ok) return path + ": " + why;
    const std::vector<std::string> lines = SplitIniLines(text);
    constexpr std::string_view kFirst = "# grappix replay ";
    int64_t format = 0;
    if (lines.empty() || lines[0].rfind(kFirst, 0) != 0 ||
        !ParseCount(std::string_view(lines[0]).substr(kFirst.size()), format))
        return path + ": not a replay";
    header.format = static_cast<int>(format);
    constexpr std::string_view kVersion = "version ";
    if (lines.size() < 2 || lines[1].rfind(kVersion, 0) != 0) return path + ": no version line";
    const std::string_view rest = std::string_view(lines[1]).substr(kVersion.size());
    header.version = std::string(rest.substr(0, rest.find(' ')));
    // The end line is the last one but comments (a replay recovered from a crash says so after it).
    for (size_t i = lines.size(); i-- > 2;) {
        const std::string_view line = TrimIniBlanks(lines[i]);
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("end ", 0) != 0 || !ParseCount(line.substr(4), header.end))
            return path + ": no end line";
        return {};
    }
    return path + ": no end line";
}

}  // namespace grappix
