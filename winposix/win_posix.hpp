// The few POSIX file calls the game and its engine make, done the Windows way, so that the code
// that keeps the player's files is one code on every system. Included only in a Windows build,
// in place of <fcntl.h>, <sys/file.h>, <unistd.h> and <sys/stat.h>.
//
// Paths are UTF-8 in the game and UTF-16 at the system boundary (CreateFileW and the rest).
// The Windows means, each named where it is used (win_posix.cpp):
//   exclusive creation (O_CREAT | O_EXCL)        CreateFileW(CREATE_NEW)
//   flock(LOCK_EX | LOCK_NB)                     LockFileEx on one byte far past any data, so
//                                                that readers of the file are never blocked
//   rename (replacing)                           MoveFileExW(MOVEFILE_REPLACE_EXISTING |
//                                                MOVEFILE_WRITE_THROUGH)
//   renameat2(RENAME_NOREPLACE)                  MoveFileExW(MOVEFILE_WRITE_THROUGH)
//   fsync                                        FlushFileBuffers
//   link                                         CreateHardLinkW
// Files are opened sharing read, write and delete, as POSIX files are: a file another program
// holds open can still be renamed over or removed.
#pragma once

#if defined(_WIN32)

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>

namespace winposix {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

int Open(const char* path, int flags, int mode = 0);
int Flock(int fd, int operation);
int Rename(const char* from, const char* to);
int RenameNoReplace(const char* from, const char* to);
int Fsync(int fd);
int Link(const char* from, const char* to);
int Unlink(const char* path);
int Remove(const char* path);
int Rmdir(const char* path);
int Mkdir(const char* path);
int Stat(const char* path, struct stat* st);
int Mkstemp(char* pattern);
int Setenv(const char* name, const char* value);
int Unsetenv(const char* name);
char* Realpath(const char* path);
std::FILE* Fopen(const char* path, const char* mode);

}  // namespace winposix

// The flags POSIX has and Windows lacks: nothing to do there (no symbolic links are followed
// by accident, handles are not inherited, no FIFO blocks an open, no terminal is taken over).
#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0
#endif
#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
#ifndef O_NOCTTY
#define O_NOCTTY 0
#endif
#ifndef O_DIRECTORY
#define O_DIRECTORY 0x40000000
#endif
#define LOCK_EX 2
#define LOCK_NB 4
#define AT_FDCWD (-100)
#define RENAME_NOREPLACE 1
#ifndef S_ISLNK
#define S_ISLNK(m) 0
#endif
#ifndef S_ISSOCK
#define S_ISSOCK(m) 0
#endif

inline std::tm* localtime_r(const std::time_t* time, std::tm* out) {
    return localtime_s(out, time) == 0 ? out : nullptr;
}
inline std::tm* gmtime_r(const std::time_t* time, std::tm* out) {
    return gmtime_s(out, time) == 0 ? out : nullptr;
}

#if !defined(WINPOSIX_NO_MACROS)
#define open(...) winposix::Open(__VA_ARGS__)
#define flock(fd, op) winposix::Flock(fd, op)
#define renameat2(d1, from, d2, to, flags) winposix::RenameNoReplace(from, to)
#define fsync(fd) winposix::Fsync(fd)
#define link(from, to) winposix::Link(from, to)
#define unlink(path) winposix::Unlink(path)
#define rmdir(path) winposix::Rmdir(path)
#define mkdir(path, mode) winposix::Mkdir(path)
#define stat(path, st) winposix::Stat(path, st)
#define lstat(path, st) winposix::Stat(path, st)
#define mkstemp(pattern) winposix::Mkstemp(pattern)
#define fchmod(fd, mode) ((void)(fd), (void)(mode), 0)
#define setenv(name, value, overwrite) winposix::Setenv(name, value)
#define unsetenv(name) winposix::Unsetenv(name)
#define realpath(path, buffer) winposix::Realpath(path)
#endif

#endif
