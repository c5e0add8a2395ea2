#include "desktop/file_guard.hpp"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "desktop/utf8_path.hpp"

#if defined(_WIN32)
#include "win_posix.hpp"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace grappix {

namespace {

const char* Kind(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "a special file";
}

std::string SizeText(size_t bytes) {
    return bytes % (1024 * 1024) == 0 ? std::to_string(bytes / (1024 * 1024)) + " MiB"
                                      : std::to_string(bytes / 1024) + " KiB";
}

}  // namespace

ReadStatus ReadSmallFile(const std::string& path, size_t cap, std::string& text, std::string& why) {
    text.clear();
    // O_NONBLOCK: opening a FIFO with no writer would otherwise wait forever.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        // Windows refuses to open a folder as a file: said as POSIX's fstat below says it.
        why = errno == EISDIR ? std::string(Kind(S_IFDIR)) + ", not a regular file" : std::strerror(errno);
        return errno == ENOENT || errno == ENOTDIR ? ReadStatus::Missing : ReadStatus::Unreadable;
    }
    struct stat st {};
    ReadStatus status = ReadStatus::Ok;
    if (fstat(fd, &st) != 0) {
        why = std::strerror(errno);
        status = ReadStatus::Unreadable;
    } else if (!S_ISREG(st.st_mode)) {
        why = std::string(Kind(st.st_mode)) + ", not a regular file";  // "a FIFO, not a regular file"
        status = ReadStatus::Unreadable;
    } else if (static_cast<size_t>(st.st_size) > cap) {
        why = "larger than " + SizeText(cap);
        status = ReadStatus::TooLarge;
    }
    char buffer[8192];
    while (status == ReadStatus::Ok) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            why = std::strerror(errno);
            status = ReadStatus::Unreadable;
        } else if (n == 0) {
            break;
        } else if (text.size() + static_cast<size_t>(n) > cap) {  // grew while being read
            why = "larger than " + SizeText(cap);
            status = ReadStatus::TooLarge;
        } else {
            text.append(buffer, static_cast<size_t>(n));
        }
    }
    close(fd);
    if (status != ReadStatus::Ok) {
        text.clear();
        return status;
    }
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);  // an editor's byte-order mark
    return status;
}

FileLock::FileLock(const std::string& path, int waitMs) {
    const std::string lock = path + ".lock";
    fd_ = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd_ < 0) {
        error_ = lock + ": " + std::strerror(errno);
        return;
    }
    for (int waited = 0;; waited += 10) {
        if (flock(fd_, LOCK_EX | LOCK_NB) == 0) return;
        if (errno != EWOULDBLOCK && errno != EINTR) break;
        if (waited >= waitMs) {
            errno = EWOULDBLOCK;
            break;
        }
        usleep(10000);
    }
    error_ =
        lock + ": " + (errno == EWOULDBLOCK ? std::string("held by another game") : std::strerror(errno));
    close(fd_);
    fd_ = -1;
}

FileLock::~FileLock() {
    if (fd_ >= 0) close(fd_);  // closing lets the lock go
}

std::string MoveAside(const std::string& path, std::string& aside) {
    for (int n = 0; n < 1000; ++n) {
        aside = path + ".bad" + (n == 0 ? std::string() : "." + std::to_string(n));
        if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) return {};
        if (errno == EEXIST) continue;
        if (errno != EINVAL && errno != ENOSYS) return std::strerror(errno);
        // A file system without the no-replace rename: a hard link is made only where none is.
        if (link(path.c_str(), aside.c_str()) == 0) {
            unlink(path.c_str());
            return {};
        }
        if (errno != EEXIST) return std::strerror(errno);
    }
    return "a thousand damaged copies are kept beside it already";
}

void RemoveStaleTemporaries(const std::string& path, std::time_t now) {
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(FsPath(folder), ec)) {
        const std::string name = PathText(entry.path().filename());
        // base + '.' + six of mkstemp's letters and digits
        if (name.size() != base.size() + 7 || name.compare(0, base.size(), base) != 0 ||
            name[base.size()] != '.')
            continue;
        bool temporary = true;
        for (size_t i = base.size() + 1; i < name.size(); ++i)
            temporary = temporary && (std::isalnum(static_cast<unsigned char>(name[i])) != 0);
        struct stat st {};
        const std::string full = folder + "/" + name;
        if (temporary && lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime > 60)
            unlink(full.c_str());
    }
}

void CapWarnings(std::vector<std::string>& warnings, size_t from, const std::string& file) {
    constexpr size_t kShown = 5;
    if (warnings.size() - from <= kShown) return;
    const size_t more = warnings.size() - from - kShown;
    warnings.resize(from + kShown);
    warnings.push_back(file + ": and " + std::to_string(more) + " more");
}

}  // namespace grappix
