// Included first in every test source of a Windows build: the POSIX calls the tests make, done
// the Windows way (the game's own through winposix/, the rest here), so that one test source
// serves every system. What Windows has no means for (named pipes in the file system, modes of
// folders, other users) is left to the tests that need it, which skip there saying why.
#pragma once

#if defined(_WIN32)

#include <windows.h>
#undef far  // 16-bit Windows' words, names of our own here
#undef near

#include <cerrno>
#include <cstdlib>
#include <string>

#define WINPOSIX_NO_MACROS  // functions, not macros: the tests call open() of streams too
#include "win_posix.hpp"

// Skips a test that cannot mean anything on Windows, giving the reason.
#define GRAPPIX_POSIX_ONLY(reason) GTEST_SKIP() << "not on Windows: " << (reason)

inline int setenv(const char* name, const char* value, int) { return winposix::Setenv(name, value); }
inline int unsetenv(const char* name) { return winposix::Unsetenv(name); }

inline char* mkdtemp(char* pattern) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = pattern;
        if (_mktemp_s(name.data(), name.size() + 1) != 0) return nullptr;
        if (winposix::Mkdir(name.c_str()) == 0) {
            name.copy(pattern, name.size());
            return pattern;
        }
        if (errno != EEXIST) return nullptr;
    }
    return nullptr;
}

// truncate to any size (mingw's takes 32 bits, and its 64-bit one writes every byte of zeros).
inline int Truncate64(const char* path, long long size) {
    HANDLE h = CreateFileW(winposix::Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    LARGE_INTEGER at;
    at.QuadPart = size;
    const bool done = SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    return done ? 0 : -1;
}
#define truncate(path, size) Truncate64(path, size)

// glibc's name of the program: the executable's, without its folder and ".exe".
inline const char* ProgramShortName() {
    static const std::string name = [] {
        char path[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, path, sizeof path);
        std::string n = path;
        n.erase(0, n.find_last_of("\\/") + 1);
        return n.size() > 4 && _stricmp(n.c_str() + n.size() - 4, ".exe") == 0 ? n.substr(0, n.size() - 4)
                                                                               : n;
    }();
    return name.c_str();
}
#define program_invocation_short_name (ProgramShortName())

#endif
