#include "desktop/atomic_file.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include "win_posix.hpp"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace grappix {

namespace {

std::string Reason(const std::string& path) { return path + ": " + std::strerror(errno); }

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

}  // namespace

std::string WriteFileAtomically(const std::string& path, const std::string& contents, bool replace,
                                unsigned newMode) {
    mode_t mode = static_cast<mode_t>(newMode);
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;

    std::string temp = path + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) return Reason(path);
    bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, contents) && fsync(fd) == 0;
    std::string error = ok ? std::string() : Reason(path);
    if (close(fd) != 0 && ok) {
        ok = false;
        error = Reason(path);
    }
#if defined(_WIN32)
    // Windows: MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) (win_posix.hpp).
    if (ok && replace && winposix::Rename(temp.c_str(), path.c_str()) != 0) {
#else
    if (ok && replace && rename(temp.c_str(), path.c_str()) != 0) {
#endif
        ok = false;
        error = Reason(path);
    }
    if (ok && !replace && renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) != 0) {
        // A file system without the no-replace rename: a hard link is made only where none is.
        if ((errno != EINVAL && errno != ENOSYS) || link(temp.c_str(), path.c_str()) != 0) {
            ok = false;
            error = Reason(path);
        }
        unlink(temp.c_str());
    }
    if (!ok) {
        unlink(temp.c_str());
        return error;
    }
    // The rename itself reaches the disk with the folder's entry.
    size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return {};
}

}  // namespace grappix
