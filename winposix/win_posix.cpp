#define WINPOSIX_NO_MACROS
#include "win_posix.hpp"

#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>

namespace winposix {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr,
                        nullptr);
    return utf8;
}

namespace {

// errno for the system's last error, as the POSIX call would have set it; returns -1.
int Fail() {
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH: errno = ENOENT; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: errno = EEXIST; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: errno = EACCES; break;
    case ERROR_LOCK_VIOLATION:
    case ERROR_IO_PENDING: errno = EWOULDBLOCK; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
    case ERROR_DIR_NOT_EMPTY: errno = ENOTEMPTY; break;
    case ERROR_NOT_SAME_DEVICE: errno = EXDEV; break;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED: errno = EINVAL; break;
    default: errno = EIO; break;
    }
    return -1;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

int Open(const char* path, int flags, int /*mode*/) {
    if ((flags & O_DIRECTORY) != 0) {  // a folder has no handle to flush: nothing to open
        errno = EISDIR;
        return -1;
    }
    const int access = flags & (O_RDONLY | O_WRONLY | O_RDWR);
    const DWORD want = access == O_WRONLY ? GENERIC_WRITE
                       : access == O_RDWR ? GENERIC_READ | GENERIC_WRITE
                                          : GENERIC_READ;
    // Exclusive creation: CREATE_NEW fails when anything stands at the name.
    const DWORD how = (flags & O_CREAT) == 0   ? OPEN_EXISTING
                      : (flags & O_EXCL) != 0  ? CREATE_NEW
                      : (flags & O_TRUNC) != 0 ? CREATE_ALWAYS
                                               : OPEN_ALWAYS;
    HANDLE h = CreateFileW(Wide(path).c_str(), want, kShareAll, nullptr, how, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        // A folder opened for reading: POSIX opens it, and reading it fails later.
        if (GetLastError() == ERROR_ACCESS_DENIED) {
            const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                errno = EISDIR;
                return -1;
            }
        }
        return Fail();
    }
    const int fd =
        _open_osfhandle(reinterpret_cast<intptr_t>(h), (flags & ~(O_CREAT | O_EXCL | O_TRUNC)) | O_BINARY);
    if (fd < 0) CloseHandle(h);
    return fd;
}

int Flock(int fd, int operation) {
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (h == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    // LockFileEx locks bytes, and a locked byte cannot be read by others: the lock is taken on
    // one byte far past anything a file of ours holds, which only other locks see.
    OVERLAPPED at{};
    at.Offset = 0;
    at.OffsetHigh = 0x7FFFFFFF;
    DWORD mode = (operation & LOCK_EX) != 0 ? LOCKFILE_EXCLUSIVE_LOCK : 0;
    if ((operation & LOCK_NB) != 0) mode |= LOCKFILE_FAIL_IMMEDIATELY;
    if (LockFileEx(h, mode, 0, 1, 0, &at)) return 0;
    return Fail();
}

int Rename(const char* from, const char* to) {
    // Atomic replacement: the new file takes the old one's name in one step, on the disk
    // before the call returns.
    if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    return Fail();
}

int RenameNoReplace(const char* from, const char* to) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails when anything stands at the new name.
    if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_WRITE_THROUGH)) return 0;
    return Fail();
}

int Fsync(int fd) {
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (h != INVALID_HANDLE_VALUE && FlushFileBuffers(h)) return 0;
    return Fail();
}

int Link(const char* from, const char* to) {
    if (CreateHardLinkW(Wide(to).c_str(), Wide(from).c_str(), nullptr)) return 0;
    return Fail();
}

int Unlink(const char* path) { return DeleteFileW(Wide(path).c_str()) ? 0 : Fail(); }

int Remove(const char* path) { return _wremove(Wide(path).c_str()); }

int Rmdir(const char* path) { return RemoveDirectoryW(Wide(path).c_str()) ? 0 : Fail(); }

int Mkdir(const char* path) { return CreateDirectoryW(Wide(path).c_str(), nullptr) ? 0 : Fail(); }

int Stat(const char* path, struct stat* st) {
    struct _stat64 wide {};
    std::wstring name = Wide(path);
    // _wstat refuses a folder named with a trailing separator; the folder is meant.
    while (name.size() > 3 && (name.back() == L'/' || name.back() == L'\\')) name.pop_back();
    if (_wstat64(name.c_str(), &wide) != 0) return -1;
    *st = {};
    st->st_mode = wide.st_mode;
    st->st_size = static_cast<decltype(st->st_size)>(wide.st_size);
    st->st_mtime = static_cast<decltype(st->st_mtime)>(wide.st_mtime);
    return 0;
}

int Mkstemp(char* pattern) {
    std::string name = pattern;
    const size_t x = name.size() >= 6 ? name.size() - 6 : 0;
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937 random(static_cast<unsigned>(GetTickCount()) ^ GetCurrentProcessId());
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (size_t i = x; i < name.size(); ++i) name[i] = kLetters[random() % (sizeof kLetters - 1)];
        const int fd = Open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        if (fd >= 0 || errno != EEXIST) {
            if (fd >= 0) name.copy(pattern, name.size());
            return fd;
        }
    }
    return -1;
}

int Setenv(const char* name, const char* value) {
    return _wputenv_s(Wide(name).c_str(), Wide(value).c_str()) == 0 ? 0 : -1;
}

int Unsetenv(const char* name) {  // an empty value removes the variable
    return _wputenv_s(Wide(name).c_str(), L"") == 0 ? 0 : -1;
}

char* Realpath(const char* path) {
    const std::wstring wide = Wide(path);
    if (GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) return nullptr;
    wchar_t full[32768];
    const DWORD n = GetFullPathNameW(wide.c_str(), 32768, full, nullptr);
    if (n == 0 || n >= 32768) return nullptr;
    std::string utf8 = Utf8(std::wstring(full, n));
    for (char& c : utf8)
        if (c == '\\') c = '/';
    char* copy = static_cast<char*>(std::malloc(utf8.size() + 1));
    if (copy != nullptr) std::memcpy(copy, utf8.c_str(), utf8.size() + 1);
    return copy;
}

std::FILE* Fopen(const char* path, const char* mode) {
    return _wfopen(Wide(path).c_str(), Wide(mode).c_str());
}

}  // namespace winposix
