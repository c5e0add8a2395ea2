#include "desktop/game_folder.hpp"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace grappix {

std::string EnterGameFolder() {
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0)
        return std::string("cannot find the game's own folder (/proc/self/exe: ") + std::strerror(errno) +
               ")";
    std::string folder(exe, static_cast<size_t>(n));
    folder.erase(folder.rfind('/') == 0 ? 1 : folder.rfind('/'));

    std::string caller;
    const char* given = std::getenv("GRAPPIX_CALLER_DIR");
    if (given != nullptr && given[0] == '/') {
        caller = given;
    } else {
        char here[PATH_MAX];
        if (getcwd(here, sizeof here) != nullptr) caller = here;
        if (!caller.empty()) setenv("GRAPPIX_CALLER_DIR", caller.c_str(), 1);
    }
    for (const char* name :
         {"BRISEL_INPUT", "BRISEL_TRACE", "BRISEL_TIMES", "BRISEL_SHOTS", "BRISEL_RECORD", "BRISEL_REPLAY"}) {
        const char* value = std::getenv(name);
        if (value == nullptr || value[0] == '\0' || value[0] == '/') continue;
        if (caller.empty())
            return std::string(name) + "=" + value + ": the working folder is gone, give a full path";
        setenv(name, (caller + "/" + value).c_str(), 1);
    }
    if (chdir(folder.c_str()) != 0)
        return folder + ": cannot enter the game's folder (" + std::strerror(errno) + ")";
    return {};
}

}  // namespace grappix
