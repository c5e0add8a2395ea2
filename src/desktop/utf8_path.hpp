// The game's paths are UTF-8 strings with '/' between folders on every system. The file
// system's own paths are wide on Windows: these convert at that boundary without going through
// the local code page (which would lose a player's accented user name).
#pragma once

#include <cctype>
#include <filesystem>
#include <string>

namespace grappix {

inline std::filesystem::path FsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

// "/..." everywhere; on Windows also "C:/...", "C:\..." and "\\server\...".
inline bool IsAbsolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/') return true;
#if defined(_WIN32)
    if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
        (path[2] == '/' || path[2] == '\\'))
        return true;
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') return true;
#endif
    return false;
}

}  // namespace grappix
