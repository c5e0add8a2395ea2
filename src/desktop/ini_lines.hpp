// The line grammar the game's own ini files share (settings.ini, records.ini): "key = value"
// lines, blanks and tabs around both ignored, a carriage return from another system dropped.
#pragma once

#include <cstdint>
#include <ctime>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace grappix {

inline std::string_view TrimIniBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// Splits "key = value"; false for a line without '=' or with nothing before it.
inline bool SplitIniKey(std::string_view line, std::string_view& key, std::string_view& value) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    key = TrimIniBlanks(line.substr(0, eq));
    value = TrimIniBlanks(line.substr(eq + 1));
    return !key.empty();
}

// A file's text as its lines, without their line ends (LF or CRLF).
inline std::vector<std::string> SplitIniLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// A whole number of at most `digits` decimal digits, nothing else around it.
inline bool ParseIniCount(std::string_view text, size_t digits, int64_t& out) {
    if (text.empty() || text.size() > digits) return false;
    int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

// The time now as the files write it: "2026-12-08T07:30:00Z" (UTC); "" if the clock cannot say.
inline std::string IniUtcNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    char text[32] = "";
#if defined(_WIN32)
    const bool ok = gmtime_s(&tm, &t) == 0;
#else
    const bool ok = gmtime_r(&t, &tm) != nullptr;
#endif
    if (ok) std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

}  // namespace grappix
