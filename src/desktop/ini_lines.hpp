// The line grammar the game's own ini files share (settings.ini, records.ini): "key = value"
// lines, blanks and tabs around both ignored, a carriage return from another system dropped.
#pragma once

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

}  // namespace grappix
