#include "desktop/xdg_dirs.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "desktop/utf8_path.hpp"

#if defined(_WIN32)
#include <shlobj.h>
#include <windows.h>

#include "win_posix.hpp"
#else
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace grappix {

namespace {

#if defined(_WIN32)

// Windows keeps a program's files in the user's application-data folders: settings and records
// in %APPDATA% (roaming with the user), history such as replays in %LOCALAPPDATA% (this machine
// only). The variables are asked first (as the XDG ones are elsewhere), then the shell.
std::string KnownFolder(const wchar_t* variable, const KNOWNFOLDERID& id) {
    std::wstring found;
    if (const wchar_t* value = _wgetenv(variable); value != nullptr) found = value;
    if (!IsAbsolutePath(winposix::Utf8(found))) {
        found.clear();
        PWSTR shell = nullptr;
        if (SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &shell) == S_OK && shell != nullptr)
            found = shell;
        CoTaskMemFree(shell);
    }
    std::string utf8 = winposix::Utf8(found);
    for (char& c : utf8)
        if (c == '\\') c = '/';
    return utf8;
}

#else

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    // Without HOME (a service, a stripped environment) the password database still knows.
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr && pw->pw_dir[0] == '/')
        return pw->pw_dir;
    return {};
}

#endif

}  // namespace

#if defined(_WIN32)
std::string XdgHome(XdgKind kind) {
    return kind == XdgKind::State ? KnownFolder(L"LOCALAPPDATA", FOLDERID_LocalAppData)
                                  : KnownFolder(L"APPDATA", FOLDERID_RoamingAppData);
}

std::string GameFolder(XdgKind kind) {
    std::string base = XdgHome(kind);
    if (base.empty()) return base;
    while (base.size() > 3 && base.back() == '/') base.pop_back();
    return base + "/Grappix";
}
#else
std::string XdgHome(XdgKind kind) {
    const char* variable = "XDG_CONFIG_HOME";
    const char* fallback = "/.config";
    switch (kind) {
    case XdgKind::Config: break;
    case XdgKind::Data:
        variable = "XDG_DATA_HOME";
        fallback = "/.local/share";
        break;
    case XdgKind::State:
        variable = "XDG_STATE_HOME";
        fallback = "/.local/state";
        break;
    }
    // A relative path is invalid by the rules and must be ignored.
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/') return value;
    std::string home = HomeFolder();
    return home.empty() ? home : home + fallback;
}

std::string GameFolder(XdgKind kind) {
    std::string base = XdgHome(kind);
    if (base.empty()) return base;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/grappix";
}
#endif

bool MakeFolders(const std::string& path, std::string& error, std::vector<std::string>* made) {
    if (path.empty()) {
        error = "no folder to create";
        return false;
    }
    // Each prefix ending before a slash, then the whole path.
    // (On Windows the first part is the drive, "C:", or a share's "//server".)
    for (size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
        std::string part = at == std::string::npos ? path : path.substr(0, at);
#if defined(_WIN32)
        if (part.size() == 2 && part[1] == ':') continue;  // the drive
#endif
        struct stat st {};
        if (stat(part.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                error = part + " is not a folder";
                return false;
            }
        } else if (mkdir(part.c_str(), 0700) == 0) {
            if (made != nullptr) made->push_back(part);
        } else if (errno != EEXIST) {
            error = part + ": " + std::strerror(errno);
            return false;
        }
        if (at == std::string::npos) return true;
    }
}

bool MakeFoldersFor(const std::string& file, std::string& error) {
    const size_t slash = file.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return true;
    return MakeFolders(file.substr(0, slash), error);
}

}  // namespace grappix
