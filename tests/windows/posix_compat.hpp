// Included first in every test source of a Windows build: the POSIX calls the tests make, done
// the Windows way (the game's own through winposix/, the rest here), so that one test source
// serves every system. What Windows has no means for (named pipes in the file system, modes of
// folders, other users) is left to the tests that need it, which skip there saying why.
#pragma once

#if defined(_WIN32)

#include <windows.h>

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

// No FIFOs in a Windows file system.
inline int mkfifo(const char*, int) {
    errno = ENOTSUP;
    return -1;
}

inline int truncate(const char* path, long long size) {
    const std::wstring wide = winposix::Wide(path);
    HANDLE h =
        CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    LARGE_INTEGER at;
    at.QuadPart = size;
    const bool done = SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    return done ? 0 : -1;
}

inline int geteuid() { return 1000; }  // never the all-powerful user of POSIX

#else

#define GRAPPIX_POSIX_ONLY(reason) static_cast<void>(0)

#endif
